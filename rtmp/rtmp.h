// RTMP client connection: the TCP transport, handshake and chunk layer
// (rtmp.cpp) and the command flow that plays a stream (rtmp_commands.cpp).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/tcp_socket.h"
#include "rtmp/connection_params.h"
#include "rtmp/rtmp_packet.h"

class AMFObject;

class CRTMP {
 public:
  // Results of GetNextMediaPacket.
  enum MediaResult { MEDIA_CLOSED = 0, MEDIA_PACKET = 1, MEDIA_END = 2 };

  static constexpr int kDefaultPort = 1935;
  static constexpr int kDefaultChunkSize = 128;
  static constexpr int kBufferSize = 16384;
  // An acknowledgement goes out each time this many more bytes came in.
  static constexpr uint32_t kAckWindow = 614400;
  // Bodies of messages still arriving, summed over all chunk streams, may not
  // exceed this: a server could otherwise open 16 MiB messages on thousands
  // of chunk streams.
  static constexpr uint64_t kMaxPartialBodyBytes = 64u << 20;

  CRTMP();
  virtual ~CRTMP();
  CRTMP(const CRTMP&) = delete;
  CRTMP& operator=(const CRTMP&) = delete;

  // Texts are borrowed and must outlive the connection; null or empty means
  // not given. True when connected, the handshake done and "connect" sent.
  bool Connect(int protocol, const char* host, int port, const char* playpath, const char* tcUrl,
               const char* swfUrl, const char* pageUrl, const char* app, const char* auth,
               const char* flashVer, const char* subscribePath, double seek, double length,
               bool liveStream, int timeoutMs);
  // The same from a parameter set, whose texts are borrowed likewise; its
  // buffer time is not applied (SetBufferMS).
  bool Connect(const RtmpConnectionParams& params);
  bool IsConnected() const;
  // Runs the connection over an already-connected stream socket, taking it
  // over: no handshake, nothing sent. Lets tests and the fuzz targets feed
  // the chunk reader bytes without a server.
  bool AdoptSocket(int fd);
  // Safe from any thread. From a thread other than the one that connected it
  // only shuts the socket down, which ends a blocked read there; that thread's
  // own Close then releases the channel state. Such a close is a stop: a
  // connection being made, or made later, on this object fails.
  void Close();

  // Reads until a media message (MEDIA_PACKET), the end of the stream
  // (MEDIA_END, connection closed) or a failure (MEDIA_CLOSED).
  int GetNextMediaPacket(RTMPPacket& packet);
  void SetBufferMS(int ms) { bufferMS_ = ms; }
  int GetBufferMS() const { return bufferMS_; }
  // Tells the server the buffer time (set buffer length of stream 1).
  void UpdateBufferMS();
  double GetDuration() const { return duration_; }
  double GetFileSize() const { return fileSize_; }
  // The failure status code or "close" with which the server ended this
  // connection; empty when it did not.
  const std::string& GetCloseReason() const { return closeReason_; }
  // Takes "duration" and "filesize" from decoded metadata, listing nested objects.
  void ReadMetaData(const AMFObject& object);

  // Transport. ReadN and SendRTMP are where the tunnelled client (CRTMPT)
  // carries the same chunks in HTTP requests instead.
  virtual int ReadN(uint8_t* buffer, int n);
  bool WriteN(const uint8_t* buffer, int n);
  // Reads one chunk into `packet`, whose channel may name a message in
  // progress. True when a chunk was read; the message may still be incomplete.
  bool ReadPacket(RTMPPacket& packet);
  virtual bool SendRTMP(RTMPPacket& packet);
  void HandleChangeChunkSize(const RTMPPacket& packet);
  bool SendBytesReceived();

  // State, for the recorder and for tests.
  int GetChunkSize() const { return chunkSize_; }
  int GetStreamId() const { return streamId_; }
  bool IsPlaying() const { return playing_; }
  uint32_t GetBytesReceived() const { return bytesIn_; }
  const std::deque<std::string>& GetPendingCalls() const { return pendingCalls_; }

  // Command handling, reachable for tests of single messages.
  int HandleInvoke(const uint8_t* body, uint32_t size);
  void HandlePing(const RTMPPacket& packet);
  bool HandleMetadata(const uint8_t* data, uint32_t size);

  // Commands.
  bool SendConnectPacket();
  bool SendCreateStream();
  bool SendFCSubscribe(const char* path);
  bool SendPlay();
  bool SendCheckBWResult();
  bool SendServerBW();
  bool SendPing(int16_t type, uint32_t value1, uint32_t value2);

 protected:
  static constexpr int kHandshakeSize = 1536;

  // Port used when Connect is given 0.
  virtual int DefaultPort() const { return kDefaultPort; }
  // On a connected socket: the handshake and the "connect" command.
  virtual bool Open();
  // Puts one message's chunk bytes on the wire. `pieceEnds` gives, in order,
  // the end offset of the first header and of every body piece and
  // continuation header after it.
  virtual bool WriteChunks(const uint8_t* bytes, size_t size, const std::vector<size_t>& pieceEnds);
  // An accepted "onMetaData" notify.
  virtual void OnMetaData(const AMFObject& object);
  // C0 and C1 (1 + kHandshakeSize bytes): version 3, time and zero fields 0,
  // then pseudo-random filler.
  static void MakeC0C1(uint8_t* c0c1);

  // The receive buffer, for transports of their own.
  bool FillBuffer();
  int Buffered() const { return bufferCount_; }
  int TakeBuffered(uint8_t* out, int n);
  // Counts bytes delivered to the chunk reader and acknowledges every
  // kAckWindow of them; false when the acknowledgement could not be sent.
  bool CountReceived(int n);
  platform::TcpSocket& Socket() { return socket_; }
  void SetDuration(double seconds) { duration_ = seconds; }

  // A type-0 chunk on a channel that holds part of a message fails the read
  // instead of starting a new message there.
  bool failRestartedMessage_ = false;
  // An aggregate tag that runs past the end of the body is logged.
  bool warnCorruptAggregate_ = true;

 private:
  bool HandShake();
  bool SendInvoke(int channel, uint8_t headerType, int32_t timestamp, int32_t streamId,
                  const uint8_t* body, uint32_t size);
  void FailRead(RTMPPacket& packet, int channel);
  void DropPartialBody(RTMPPacket& packet);
  void WalkAggregate(const RTMPPacket& packet);

  // Connection parameters (borrowed).
  int protocol_ = 0;
  const char* host_ = nullptr;
  int port_ = kDefaultPort;
  const char* playpath_ = nullptr;
  const char* tcUrl_ = nullptr;
  const char* swfUrl_ = nullptr;
  const char* pageUrl_ = nullptr;
  const char* app_ = nullptr;
  const char* auth_ = nullptr;
  const char* flashVer_ = nullptr;
  const char* subscribePath_ = nullptr;
  double seek_ = 0;
  double length_ = 0;
  bool liveStream_ = false;
  int timeoutMs_ = 0;

  int streamId_ = 0;
  int bufferMS_ = 300;
  int32_t bwCheckCounter_ = 0;
  std::deque<std::string> pendingCalls_;
  bool playing_ = false;
  double duration_ = 0;
  double fileSize_ = 0;
  std::string closeReason_;

  // Transport state.
  platform::TcpSocket socket_;
  int chunkSize_ = kDefaultChunkSize;
  uint32_t bytesIn_ = 0;
  uint32_t bytesInAcked_ = 0;
  std::unique_ptr<uint8_t[]> buffer_;
  int bufferPos_ = 0;
  int bufferCount_ = 0;
  std::unique_ptr<RTMPPacket[]> channelsIn_;
  std::unique_ptr<RTMPPacket[]> channelsOut_;
  std::unique_ptr<uint32_t[]> channelTimestamps_;
  uint64_t partialBodyBytes_ = 0;

  std::mutex closeLock_;
  std::atomic<std::thread::id> owner_;
  std::atomic<bool> stopped_{false};
};
