// TLS over an already-connected socket, for the HTTP client: the handshake
// with SNI, TLS 1.2 or newer, and verification of the server's certificate
// against the system's trust store (OpenSSL's default paths, so
// SSL_CERT_FILE and SSL_CERT_DIR are honoured) and the host name. The socket
// stays owned by the caller; shutting it down from another thread ends a
// blocked handshake or read, as it does for a plain socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/socket.h"

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

class TlsSession {
 public:
  enum class Result { Ok, CertificateRejected, Failed };

  // A read that waited this long without a whole record gives up for now
  // (ReceiveSome returns kWouldBlock); the record goes on with the next read.
  static constexpr int64_t kWouldBlock = -2;

  TlsSession() = default;
  ~TlsSession() { Reset(); }
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  // Handshakes on `s` with the server named `host` (a name or a dotted quad).
  // On failure *why says in words what went wrong.
  Result Start(platform::SocketHandle s, const std::string& host, int readWaitMs, std::string* why);
  bool Active() const { return ssl_ != nullptr; }
  // Frees the session without a closing exchange (the connection is not reused).
  void Reset();

  // Bytes sent, or -1.
  int64_t Send(const void* data, size_t size);
  // Bytes read (> 0), 0 when the server closed, kWouldBlock, or -1 on an error.
  int64_t ReceiveSome(void* data, size_t size);
  // Bytes already decrypted and waiting: a read takes them without the socket.
  size_t Buffered() const;

 private:
  SSL_CTX* context_ = nullptr;
  SSL* ssl_ = nullptr;
};
