#include "tests/support/test_pki.h"

#include "tests/support/child_process.h"

namespace testsupport {

bool TestPki::Run(const std::string& script) {
  return RunCommand({"sh", "-c", "cd '" + box_.dir() + "' && { " + script + "; } >openssl.log 2>&1"}) == 0;
}

bool TestPki::Make() {
  if (!HaveProgram("openssl")) return false;
  box_.WriteFile("ca.cnf",
                 "[ ca ]\ndefault_ca = testca\n"
                 "[ testca ]\ndir = .\ndatabase = index.txt\nnew_certs_dir = issued\n"
                 "certificate = ca.pem\nprivate_key = ca.key\nserial = serial\n"
                 "default_md = sha256\npolicy = anything\nunique_subject = no\n"
                 "[ anything ]\ncommonName = supplied\n"
                 "[ local ]\nsubjectAltName = DNS:localhost,IP:127.0.0.1\n"
                 "[ other ]\nsubjectAltName = DNS:elsewhere.test\n");
  box_.WriteFile("index.txt", "");
  box_.WriteFile("serial", "01\n");
  const std::string sign = "openssl ca -batch -notext -config ca.cnf -in server.csr ";
  return Run("mkdir -p issued && "
             "openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 -subj /CN=TestCA && "
             "openssl req -x509 -newkey rsa:2048 -nodes -keyout stranger.key -out stranger.pem -days 30 "
             "-subj /CN=StrangerCA && "
             "openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj /CN=localhost && " +
             sign + "-out good.pem -extensions local -days 30 && " +
             sign + "-out expired.pem -extensions local -startdate 20200101000000Z -enddate 20200201000000Z && " +
             sign + "-out other-host.pem -extensions other -days 30 && "
             "openssl x509 -req -in server.csr -CA stranger.pem -CAkey stranger.key -CAcreateserial "
             "-out untrusted.pem -days 30 -extfile ca.cnf -extensions local");
}

}  // namespace testsupport
