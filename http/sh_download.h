// The HTTP/1.1 client a download worker drives: one GET with an optional
// resume range over a plain TCP connection, the response header read and
// split, and the body handed out in chunks, over a plain or a TLS connection.
// No keep-alive. Used by one thread; only Abort may come from another.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "http/tls_session.h"
#include "platform/socket.h"

class shDownLoad {
 public:
  static constexpr int kBufferSize = 5120;   // request and header buffers
  static constexpr int kHeaderLimit = 1024;  // bytes of the response header kept
  static constexpr int kReceiveWaitMs = 2000;
  // How far past the kept part a long header is read to find where it ends.
  static constexpr int kHeaderSkipLimit = 64 * 1024;

  // One header line; name and value point into the header buffer.
  struct HeaderField {
    const char* name;
    int nameLength;
    const char* value;
    int valueLength;
  };

  shDownLoad();
  virtual ~shDownLoad();
  shDownLoad(const shDownLoad&) = delete;
  shDownLoad& operator=(const shDownLoad&) = delete;

  // Fails when already connected or when the system has no socket for us.
  bool CreateSocket();
  // Closes the socket when there is one; false (state kept) when that fails.
  bool Close();
  // Resolves `host` (first IPv4 address) and connects; closes an existing
  // connection first and starts a fresh response.
  bool Connect(const char* host, int port);
  // Turns the connection into a TLS one for `host`, verifying the server's
  // certificate. On failure the socket is closed and *why says why.
  TlsSession::Result StartTls(const char* host, std::string* why);
  bool IsSecure() const { return tls_.Active(); }
  // Composes the GET request into the request buffer. A text that would not
  // fit the buffer, or that holds a line break, is refused: the buffer stays
  // empty, the result is nullptr and *length 0, and Send fails.
  const char* BuildRequest(const char* host, const char* object, const char* referer,
                           const char* userAgent, const char* cookie, int64_t rangeStart,
                           int64_t rangeEnd, int* length);
  // Sends the request and reads and parses the response header.
  bool Send();
  // Copies the next header line (with its CR LF, unterminated) into `buffer`;
  // -1 at the end of the header, after which reading starts over.
  int ReadLine(char* buffer, int capacity);
  int Status() const { return status_; }
  // Value of the first field whose name matches `name` over the shorter of
  // the two lengths, ignoring case. Copies at most `capacity` bytes and a NUL:
  // `buffer` must hold capacity + 1 bytes.
  bool FindField(const char* name, char* buffer, int capacity);
  // Value of the first field named exactly `name` (ignoring case) anywhere in
  // the header, also past the kept part, as it follows the colon. For the
  // fields whose absence would change what is done with the body.
  bool FindFullHeaderField(const char* name, std::string* value) const;
  // Body bytes: the count, 0 for nothing this time (also after the server
  // closed), -1 for a failure (the socket is then closed).
  int Receive(char* buffer, int capacity);
  // A receive saw the server close its side: no more body bytes will come.
  bool PeerClosed() const { return peerClosed_; }
  // From any thread: breaks the connection so that a blocked connect, wait or
  // receive returns, and keeps later sockets from being made. The owner
  // still closes the socket.
  void Abort();
  // Takes over a socket that is already connected (one end of a socket pair
  // in tests); false when connected or aborted already.
  bool AdoptSocket(platform::SocketHandle s);

  bool IsConnected() const { return connected_ != 0; }
  bool HeaderReceived() const { return headerReceived_ != 0; }
  // The blank line that ends the header was seen (the body starts after it).
  bool HeaderComplete() const { return headerComplete_ != 0; }
  const char* AddressText() const { return address_.data(); }
  const char* RequestText() const { return request_.data(); }
  const char* HeaderText() const { return header_.data(); }
  int HeaderLength() const { return headerLength_; }
  const std::vector<HeaderField>& Fields() const { return fields_; }

 private:
  bool Aborted();
  void ResetResponse();
  void ReadHeader();
  void ParseHeader();
  // One read of the connection, plain or TLS: the count, 0 when the peer
  // closed, -1 on an error. Waits as long as it takes.
  int64_t TransportReceive(void* data, size_t size);
  int64_t TransportSend(const void* data, size_t size);
  int ReceivePlain(char* buffer, int capacity);
  int ReceiveSecure(char* buffer, int capacity);

  // Written by the owner under the lock; Abort reads it under the lock, so it
  // never shuts down a descriptor that has been closed and handed out again.
  platform::SocketHandle socket_ = platform::kNoSocket;
  std::mutex socketLock_;
  bool aborted_ = false;  // guarded by socketLock_
  int port_ = 80;
  int readPosition_ = 0;
  int headerLength_ = -1;
  int connected_ = 0;
  // Bytes the last bytes-waiting query counted that are not taken yet: they
  // are in the socket's buffer, so the next receives need neither the
  // readiness wait nor the query. Owner thread only.
  int64_t knownWaiting_ = 0;
  int headerReceived_ = 0;
  bool peerClosed_ = false;
  bool peerReset_ = false;
  int headerComplete_ = 0;
  std::array<char, 16> address_{};
  std::array<char, kBufferSize> request_{};
  std::array<char, kBufferSize> header_{};
  // Every header byte received, the kept part and what was read past it,
  // at most kHeaderLimit + kHeaderSkipLimit bytes.
  std::string fullHeader_;
  std::vector<HeaderField> fields_;
  int status_ = 0;
  TlsSession tls_;  // active over socket_ for https
};
