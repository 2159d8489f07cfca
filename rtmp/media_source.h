// The connection a recording attempt reads media from. CRTMP and the
// tunnelled CRTMPT offer the same operations; the recorder works through
// this interface so that one FLV writer and one recording loop serve both.
#pragma once

#include <string>

#include "core/stream_worker.h"
#include "rtmp/rtmp_packet.h"

class AMFObject;

class MediaSource : public StreamConnection {
 public:
  // CRTMP::MediaResult: 0 closed or failed, 1 a media message, 2 end of stream.
  virtual int GetNextMediaPacket(RTMPPacket& packet) = 0;
  virtual bool IsConnected() const = 0;
  virtual double GetDuration() const = 0;
  virtual double GetFileSize() const = 0;
  virtual void SetBufferMS(int ms) = 0;
  virtual void UpdateBufferMS() = 0;
  virtual void ReadMetaData(const AMFObject& object) = 0;
  // The status code (or "close") with which the server ended the stream,
  // empty when it did not.
  virtual std::string CloseReason() const { return {}; }
};

// Borrows a connection object of any class with those operations.
template <class Client>
class MediaSourceOf final : public MediaSource {
 public:
  explicit MediaSourceOf(Client& client) : client_(client) {}
  void Close() override { client_.Close(); }
  int GetNextMediaPacket(RTMPPacket& packet) override { return client_.GetNextMediaPacket(packet); }
  bool IsConnected() const override { return client_.IsConnected(); }
  double GetDuration() const override { return client_.GetDuration(); }
  double GetFileSize() const override { return client_.GetFileSize(); }
  void SetBufferMS(int ms) override { client_.SetBufferMS(ms); }
  void UpdateBufferMS() override { client_.UpdateBufferMS(); }
  void ReadMetaData(const AMFObject& object) override { client_.ReadMetaData(object); }
  std::string CloseReason() const override { return client_.GetCloseReason(); }

 private:
  Client& client_;
};
