#include "http/tls_session.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cerrno>

namespace {

bool IsIpLiteral(const std::string& host) {
  in_addr v4;
  in6_addr v6;
  return inet_pton(AF_INET, host.c_str(), &v4) == 1 || inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

std::string CertificateText(long verifyResult) {
  switch (verifyResult) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return "The server's certificate has expired.";
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return "The server's certificate is not valid yet.";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return "The server's certificate was issued for another host name.";
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
      return "The server's certificate is not trusted.";
    default:
      return std::string("The server's certificate failed verification: ") +
             X509_verify_cert_error_string(verifyResult) + ".";
  }
}

}  // namespace

TlsSession::Result TlsSession::Start(platform::SocketHandle s, const std::string& host,
                                     int readWaitMs, std::string* why) {
  Reset();
  why->clear();
  // A context per connection: it reads the trust store as the environment
  // names it now, and a download lasts far longer than loading it takes.
  context_ = SSL_CTX_new(TLS_client_method());
  if (!context_ || SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION) != 1 ||
      SSL_CTX_set_default_verify_paths(context_) != 1) {
    *why = "Failed to set up a secure connection.";
    Reset();
    return Result::Failed;
  }
  SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
  // Servers often close without the closing alert: that is the body's end
  // (or a cut the length tells), as it is for a plain connection.
  SSL_CTX_set_options(context_, SSL_OP_IGNORE_UNEXPECTED_EOF);
  ssl_ = SSL_new(context_);
  bool ready = ssl_ && SSL_set_fd(ssl_, s) == 1;
  if (ready && IsIpLiteral(host)) {
    ready = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str()) == 1;
  } else if (ready) {
    // Names only: an address is never sent as the server name.
    ready = SSL_set_tlsext_host_name(ssl_, host.c_str()) == 1 && SSL_set1_host(ssl_, host.c_str()) == 1;
  }
  if (!ready) {
    *why = "Failed to set up a secure connection.";
    Reset();
    return Result::Failed;
  }
  ERR_clear_error();
  if (SSL_connect(ssl_) != 1) {
    long verify = SSL_get_verify_result(ssl_);
    Result result = Result::Failed;
    if (verify != X509_V_OK) {
      *why = CertificateText(verify);
      result = Result::CertificateRejected;
    } else {
      *why = "The secure connection could not be set up.";
    }
    ERR_clear_error();
    Reset();
    return result;
  }
  // From now on a read waits at most this long for the rest of a record, so
  // a stalled server looks like a quiet one to the receive loop.
  platform::SocketSetReceiveTimeout(s, readWaitMs);
  return Result::Ok;
}

void TlsSession::Reset() {
  if (ssl_) SSL_free(ssl_);
  if (context_) SSL_CTX_free(context_);
  ssl_ = nullptr;
  context_ = nullptr;
}

int64_t TlsSession::Send(const void* data, size_t size) {
  if (!ssl_) return -1;
  size_t written = 0;
  ERR_clear_error();
  if (SSL_write_ex(ssl_, data, size, &written) != 1) {
    ERR_clear_error();
    return -1;
  }
  return static_cast<int64_t>(written);
}

int64_t TlsSession::ReceiveSome(void* data, size_t size) {
  if (!ssl_) return -1;
  size_t n = 0;
  ERR_clear_error();
  if (SSL_read_ex(ssl_, data, size, &n) == 1) return static_cast<int64_t>(n);
  const int error = SSL_get_error(ssl_, 0);
  const int savedErrno = errno;
  ERR_clear_error();
  if (error == SSL_ERROR_ZERO_RETURN) return 0;
  if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) return kWouldBlock;
  // A receive time-out shows as a system error with EAGAIN on some versions.
  if (error == SSL_ERROR_SYSCALL && (savedErrno == EAGAIN || savedErrno == EWOULDBLOCK)) return kWouldBlock;
  return -1;
}

size_t TlsSession::Buffered() const {
  return ssl_ ? static_cast<size_t>(SSL_pending(ssl_)) : 0;
}
