// A certificate authority of its own for TLS tests, made with the openssl
// program in a sandbox: server certificates for 127.0.0.1 and localhost that
// are good or expired, one for another host, and one from an authority no
// client trusts. Point SSL_CERT_FILE at ca_file() to trust it.
#pragma once

#include <string>

#include "tests/support/sandbox.h"

namespace testsupport {

class TestPki {
 public:
  // False when openssl is missing or a step failed.
  bool Make();

  const std::string& dir() const { return box_.dir(); }
  std::string ca_file() const { return box_.path("ca.pem"); }
  std::string key_file() const { return box_.path("server.key"); }
  // Certificates for the one server key, each as its own file.
  std::string good_cert() const { return box_.path("good.pem"); }
  std::string expired_cert() const { return box_.path("expired.pem"); }
  std::string other_host_cert() const { return box_.path("other-host.pem"); }
  std::string untrusted_cert() const { return box_.path("untrusted.pem"); }

 private:
  bool Run(const std::string& script);
  Sandbox box_;
};

}  // namespace testsupport
