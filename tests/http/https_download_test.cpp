#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "http/socket_download.h"
#include "http/task_events.h"
#include "platform/file_system.h"
#include "tests/http/worker_harness.h"
#include "tests/peers/fault_proxy.h"
#include "tests/support/child_process.h"
#include "tests/support/nginx_peer.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_pki.h"

namespace {

using testsupport::Attempt;
using testsupport::RunAttempt;
using Lines = std::vector<std::string>;

bool Contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class HttpsTest : public ::testing::Test {
 protected:
  static constexpr size_t kSize = 300 * 1024 + 13;

  static void SetUpTestSuite() {
    pki_ = new testsupport::TestPki;
    pkiMade_ = pki_->Make();
  }
  static void TearDownTestSuite() {
    delete pki_;
    pki_ = nullptr;
  }

  void SetUp() override {
    if (!testsupport::NginxPeer::Available()) GTEST_SKIP() << "nginx is not installed";
    ASSERT_TRUE(pkiMade_) << testsupport::ReadWholeFile(pki_->dir() + "openssl.log");
    trust_ = std::make_unique<testsupport::ScopedEnv>("SSL_CERT_FILE", pki_->ca_file().c_str());
    source_ = testsupport::RandomBytes(kSize, 443);
    platform::CreateFolders(box_.path("www/"));
    box_.WriteFile("www/clip.bin", source_);
    platform::CreateFolders(box_.path("save/"));
  }

  void StartNginx(const std::string& cert, const std::string& extra = {}) {
    ASSERT_TRUE(nginx_.StartTls(box_.path("www"), cert, pki_->key_file(), extra)) << nginx_.ErrorLog();
  }

  std::string temp() const { return box_.path("save/{4321_clip}.TMP!"); }
  std::string TempContent() const { return testsupport::ReadWholeFile(temp()); }
  void WritePartial() const { testsupport::WriteWholeFile(temp(), source_.substr(0, 1000)); }

  static testsupport::TestPki* pki_;
  static bool pkiMade_;
  std::unique_ptr<testsupport::ScopedEnv> trust_;
  testsupport::Sandbox box_;
  std::string source_;
  testsupport::NginxPeer nginx_;
};

testsupport::TestPki* HttpsTest::pki_ = nullptr;
bool HttpsTest::pkiMade_ = false;

TEST_F(HttpsTest, DownloadsByHostName) {
  StartNginx(pki_->good_cert());
  Attempt a = RunAttempt(nginx_.SecureUrl("/clip.bin", "localhost"), temp(), 0);
  EXPECT_EQ(a.last, TE_COMPLETED);
  EXPECT_TRUE(Contains(a.summary, "0 0 Connecting localhost:" + std::to_string(nginx_.port()) + "..."));
  ASSERT_FALSE(a.header.empty());
  EXPECT_EQ(a.header.front(), "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(a.total, static_cast<int64_t>(kSize));
  EXPECT_TRUE(TempContent() == source_);
}

TEST_F(HttpsTest, ResumesAfterTwoCutsByteIdentical) {
  StartNginx(pki_->good_cert());
  // The cuts count encrypted bytes, well inside the body.
  testpeers::FaultProxy proxy;
  ASSERT_TRUE(proxy.Start(nginx_.port(), {90 * 1024, 110 * 1024}));
  const std::string url = "https://127.0.0.1:" + std::to_string(proxy.port()) + "/clip.bin";

  Attempt first = RunAttempt(url, temp(), 0);
  ASSERT_TRUE(first.last == TE_RECV_FAILED || first.last == TE_RECV_ERROR) << first.last;
  const size_t afterFirst = TempContent().size();
  ASSERT_GT(afterFirst, 0u);
  ASSERT_LT(afterFirst, kSize);

  Attempt second = RunAttempt(url, temp(), first.total);
  ASSERT_TRUE(second.last == TE_RECV_FAILED || second.last == TE_RECV_ERROR) << second.last;
  ASSERT_EQ(second.request.size(), 1u);
  EXPECT_NE(second.request[0].find("Range: bytes=" + std::to_string(afterFirst) + "-\r\n"),
            std::string::npos);
  const size_t afterSecond = TempContent().size();
  ASSERT_GT(afterSecond, afterFirst);

  Attempt third = RunAttempt(url, temp(), second.total);
  EXPECT_EQ(third.last, TE_COMPLETED);
  EXPECT_EQ(third.header.front(), "HTTP/1.1 206 Partial Content\r\n");
  EXPECT_EQ(proxy.cuts(), 2);
  EXPECT_TRUE(TempContent() == source_);
}

TEST_F(HttpsTest, RejectedCertificatesSayWhyAndWriteNothing) {
  struct Case {
    const char* what;
    std::string cert;
    const char* why;
  } cases[] = {
      {"untrusted", pki_->untrusted_cert(), "The server's certificate is not trusted."},
      {"expired", pki_->expired_cert(), "The server's certificate has expired."},
      {"wrong host", pki_->other_host_cert(), "The server's certificate was issued for another host name."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    StartNginx(c.cert);
    SocketDownLoad worker;
    Attempt a = testsupport::RunAttemptWith(worker, nginx_.SecureUrl("/clip.bin"), temp(), 0);
    EXPECT_EQ(a.last, TE_CONNECT_FAILED);
    EXPECT_TRUE(Contains(a.summary, std::string("0 3 ") + c.why));
    EXPECT_TRUE(Contains(a.summary, "0 3 Failed to connect to the server."));
    EXPECT_FALSE(Contains(a.summary, "TE_CONNECTED"));
    EXPECT_TRUE(a.request.empty());
    EXPECT_EQ(worker.certificateRejected, 1);
    EXPECT_FALSE(platform::FileExists(temp()));
    nginx_.Stop();
  }
}

TEST_F(HttpsTest, StopDuringAStalledBodyEndsWithinOneReceiveWait) {
  // After the first part the server sends a byte a second: as good as stalled.
  StartNginx(pki_->good_cert(), "    limit_rate_after 100k;\n    limit_rate 1;");
  std::chrono::steady_clock::time_point asked;
  Attempt a = RunAttempt(nginx_.SecureUrl("/clip.bin"), temp(), 0, {}, [&](SocketDownLoad& w) {
    ASSERT_TRUE(testsupport::WaitForBytes(w, 90 * 1024));
    std::this_thread::sleep_for(std::chrono::milliseconds(shDownLoad::kReceiveWaitMs / 4));
    asked = std::chrono::steady_clock::now();
    w.Stop();
  });
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(shDownLoad::kReceiveWaitMs));
  EXPECT_EQ(a.last, TE_CANCELED);
  const std::string part = TempContent();
  EXPECT_GE(part.size(), 90u * 1024);
  EXPECT_TRUE(part == source_.substr(0, part.size()));
}

class RedirectTest : public HttpsTest {
 protected:
  void SetUp() override {
    HttpsTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    platform::CreateFolders(box_.path("www/sub/"));
    box_.WriteFile("www/sub/clip.bin", source_);
    // Both servers know each other's port before either starts.
    securePort_ = testsupport::FreeTcpPort();
    const std::string plainRedirects =
        "    absolute_redirect off;\n"
        "    location = /hop1 { return 301 /hop2; }\n"
        "    location = /hop2 { return 302 /clip.bin; }\n"
        "    location = /sub/relative { return 303 clip.bin; }\n"
        "    location = /up { return 307 https://127.0.0.1:" + std::to_string(securePort_) +
        "/clip.bin; }\n"
        "    location = /loop { return 302 /loop; }\n";
    ASSERT_TRUE(plain_.Start(box_.path("www"), plainRedirects)) << plain_.ErrorLog();
    const std::string secureRedirects =
        "    location = /down { return 308 http://127.0.0.1:" + std::to_string(plain_.port()) +
        "/clip.bin; }\n";
    ASSERT_TRUE(nginx_.StartTls(box_.path("www"), pki_->good_cert(), pki_->key_file(), secureRedirects,
                                securePort_))
        << nginx_.ErrorLog();
  }

  static Lines Redirects(const Attempt& a) {
    Lines out;
    for (const std::string& line : a.summary)
      if (line.rfind("0 3 Redirected to ", 0) == 0) out.push_back(line.substr(18));
    return out;
  }

  int securePort_ = 0;
  testsupport::NginxPeer plain_;
};

TEST_F(RedirectTest, ChainsEndInTheFile) {
  const std::string plain = "http://127.0.0.1:" + std::to_string(plain_.port());
  const std::string secure = "https://127.0.0.1:" + std::to_string(securePort_);
  const struct {
    const char* what;
    std::string url;
    size_t partial;
    Lines hops;
  } cases[] = {
      {"http to http", plain + "/hop1", 0, {plain + "/hop2", plain + "/clip.bin"}},
      {"http to https", plain + "/up", 0, {secure + "/clip.bin"}},
      {"relative location", plain + "/sub/relative", 0, {plain + "/sub/clip.bin"}},
      {"resumed through the chain", plain + "/hop1", 5000, {plain + "/hop2", plain + "/clip.bin"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    platform::DeleteFile(temp());
    if (c.partial) testsupport::WriteWholeFile(temp(), source_.substr(0, c.partial));
    Attempt a = RunAttempt(c.url, temp(), c.partial ? static_cast<int64_t>(kSize) : 0);
    EXPECT_EQ(a.last, TE_COMPLETED);
    EXPECT_EQ(Redirects(a), c.hops);
    ASSERT_EQ(a.request.size(), c.hops.size() + 1);
    if (c.partial) {
      for (const std::string& request : a.request)
        EXPECT_NE(request.find("Range: bytes=5000-\r\n"), std::string::npos);
    }
    EXPECT_TRUE(TempContent() == source_);
  }
  // The server really sends the relative form resolved above.
  platform::DeleteFile(temp());
  Attempt relative = RunAttempt(plain + "/sub/relative", temp(), 0);
  EXPECT_TRUE(Contains(relative.header, "Location: clip.bin\r\n"));
}

TEST_F(RedirectTest, LoopsAndDowngradesFail) {
  const std::string plain = "http://127.0.0.1:" + std::to_string(plain_.port());
  const struct {
    const char* what;
    std::string url;
    size_t hops;
    const char* text;
  } cases[] = {
      {"loop", plain + "/loop", 10, "0 3 Too many redirects."},
      {"https to http", nginx_.SecureUrl("/down"), 0,
       "0 3 Refused to follow a redirect from a secure address to an insecure one."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WritePartial();
    Attempt a = RunAttempt(c.url, temp(), static_cast<int64_t>(kSize));
    EXPECT_EQ(a.last, TE_BAD_RESPONSE);
    EXPECT_EQ(Redirects(a).size(), c.hops);
    ASSERT_FALSE(a.summary.empty());
    EXPECT_EQ(a.summary[a.summary.size() - 2], c.text);
    // What was on disk stays: the file itself was never answered for.
    EXPECT_TRUE(TempContent() == source_.substr(0, 1000));
  }
}

}  // namespace
