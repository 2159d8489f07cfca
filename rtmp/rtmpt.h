// RTMP tunnelled through HTTP (rtmpt://): the same chunks, commands and
// message handling as CRTMP, carried in the bodies of POST requests on one
// persistent connection. Server data comes back in the bodies of the
// answers, which the client asks for with idle requests when it has nothing
// to send.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rtmp/http_header.h"
#include "rtmp/rtmp.h"

class CRTMPT : public CRTMP {
 public:
  static constexpr int kDefaultPort = 80;
  static constexpr int kStartPollingMs = 20;
  static constexpr size_t kSessionIdSize = 128;  // 127 characters and the terminator
  static constexpr size_t kPathSize = 128;
  // C2 and the "connect" message travel in one request of at most this size.
  static constexpr size_t kHandshakeBodySize = 3072;
  // A response header longer than this is not a tunnel server's.
  static constexpr int kMaxHeaderBytes = 16384;

  CRTMPT();
  ~CRTMPT() override;

  // Reads exactly n bytes of RTMP data from the answers' bodies, polling with
  // idle requests while the server has nothing. Returns n, or less when the
  // connection ended; 0 or -1 (an error status) when an answer failed.
  int ReadN(uint8_t* buffer, int n) override;
  // Header, every body piece and every continuation header each go out as a
  // request of their own.
  bool SendRTMP(RTMPPacket& packet) override;

  // One request: the template's header for `path` followed by the body.
  bool SendHTTP(const char* path, const uint8_t* body, int size);
  // Reads the next answer's header unless body bytes of the current one are
  // left: 1 when there is a body to read, 0 when no answer came, -1 for a
  // status other than 2xx or a header that is not HTTP.
  int ReadHTTPHeader();

  const char* GetSessionId() const { return sessionId_; }
  uint32_t GetSequence() const { return sequence_; }
  int GetPollingInterval() const { return pollingMs_; }
  const CHTTPHeader& GetHeaderTemplate() const { return header_; }

 protected:
  int DefaultPort() const override { return kDefaultPort; }
  bool Open() override;
  bool WriteChunks(const uint8_t* bytes, size_t size,
                   const std::vector<size_t>& pieceEnds) override;
  void OnMetaData(const AMFObject& object) override;

 private:
  bool HandShake();
  // A "/send" or "/idle" request with the session id and the next sequence
  // number.
  bool SendTunnel(const char* command, const uint8_t* body, size_t size);
  bool SendIdle();
  bool ReadSessionId();
  // Makes sure the receive buffer holds a byte; false when the connection
  // failed or the server closed it.
  bool WaitBuffered();
  // Sleeps the polling interval, waking early when the connection is closed.
  void PollWait();

  CHTTPHeader header_;
  char sessionId_[kSessionIdSize] = {};
  uint32_t sequence_ = 0;
  uint32_t bodyLeft_ = 0;
  bool responseStart_ = false;
  int pollingMs_ = kStartPollingMs;
  // Requests whose answer has not been read yet. Every request gets exactly
  // one answer, so with none outstanding a read must ask with an idle request.
  int outstanding_ = 0;

  bool gathering_ = false;
  uint8_t handshakeBody_[kHandshakeBodySize] = {};
  size_t handshakeBodySize_ = 0;
};
