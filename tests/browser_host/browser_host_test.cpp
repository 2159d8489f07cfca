// The host against a stand-in Tamborel: what reaches the capture history for
// each message, in this process and through the real program on its pipes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "app/capture/browser/browser_host.h"
#include "app/capture/browser/native_messaging.h"
#include "platform/shared_memory.h"
#include "tests/capture/fake_tamborel.h"
#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

using testsupport::CaptureBlocksLeft;
using testsupport::FakeTamborel;

constexpr char kBrowser[] = "chromium";

std::string Answer(const char* result) { return std::string(R"({"type":"result","result":")") + result + "\"}"; }

std::string CaptureJson(const std::string& url, const std::string& extra = "") {
  return R"({"type":"capture","url":")" + url + "\"" + extra + "}";
}

class BrowserHostTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SharedMemory::Unlink(capture::kMonitorMapName); }
  void TearDown() override { EXPECT_TRUE(CaptureBlocksLeft().empty()); }

  browserhost::HostOptions Options(const std::string& browser = kBrowser) {
    browserhost::HostOptions o;
    o.browser = browser;
    o.logPath = sandbox.path("host.log");
    o.now = [this] { return now; };
    return o;
  }

  testsupport::Sandbox sandbox;
  testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", sandbox.dir().c_str()};
  browserhost::Clock::time_point now{std::chrono::hours(1)};
};

TEST_F(BrowserHostTest, EachMessageIsCapturedOrRefusedForItsReason) {
  FakeTamborel tamborel;
  ASSERT_TRUE(tamborel.Start());
  browserhost::BrowserHost host(Options());
  const std::string page = "http://127.0.0.1:8080/page.html";
  const struct {
    const char* name;
    std::string json;
    std::string answer;  // empty: none
    std::string address = "", pattern = "", referer = "", userAgent = "", cookie = "";
  } cases[] = {
      {"a video with all its headers",
       CaptureJson("http://127.0.0.1:8080/v/clip.mp4",
                   R"(,"method":"GET","referer":")" + page +
                       R"(","userAgent":"Mozilla/5.0 X11","cookie":"s=1; t=2","contentType":"video/mp4")"),
       Answer("sent"), "http://127.0.0.1:8080/v/clip.mp4", "*.mp4", page, "Mozilla/5.0 X11", "s=1; t=2"},
      {"no file type in the address: the content type tells",
       CaptureJson("http://127.0.0.1:8080/stream?id=7", R"(,"contentType":"video/x-flv; charset=binary")"),
       Answer("sent"), "http://127.0.0.1:8080/stream?id=7", "*.flv"},
      {"a secure address, optional fields missing or null", CaptureJson("https://h.example/a/b.MP4", R"(,"referer":null)"),
       Answer("sent"), "https://h.example/a/b.MP4", "*.mp4"},
      {"not a media type in the path", CaptureJson("http://h/get.php?v=1", R"(,"contentType":"video/mp4")"),
       Answer("sent"), "http://h/get.php?v=1", "*.mp4"},
      {"a type that is not monitored", CaptureJson("http://h/movie.swf"), Answer("type-not-monitored")},
      {"a page, not a video", CaptureJson("http://h/index", R"(,"contentType":"text/html")"),
       Answer("type-not-monitored")},
      {"ftp", CaptureJson("ftp://h/a.flv"), Answer("refused")},
      {"a file", CaptureJson("file:///home/u/a.mp4"), Answer("refused")},
      {"data", CaptureJson("data:video/mp4;base64,AAAA"), Answer("refused")},
      {"a POST", CaptureJson("http://h/a.mp4", R"(,"method":"POST")"), Answer("refused")},
      {"a line break in the address", CaptureJson("http://h/a.mp4\\r\\nX: 1"), Answer("refused")},
      {"a line break in a header", CaptureJson("http://h/b.mp4", R"(,"userAgent":"UA\r\nX-Evil: 1")"),
       Answer("refused")},
      {"a blank in the address", CaptureJson("http://h/a b.mp4"), Answer("refused")},
      {"an address too long for the block", CaptureJson("http://h/" + std::string(3100, 'a') + ".mp4"),
       Answer("refused")},
      {"malformed JSON", R"({"type":"capture","url":)", ""},
      {"no address", R"({"type":"capture","referer":"http://h/"})", ""},
      {"an address that is not a text", R"({"type":"capture","url":17})", ""},
      {"a header that is not a text", CaptureJson("http://h/c.mp4", R"(,"cookie":[1])"), ""},
      {"hello", R"({"type":"hello","version":1})", ""},
      {"a message of a later version", R"({"type":"ping"})", ""},
  };
  size_t records = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(host.Handle(c.json), c.answer);
    const std::vector<capture::CaptureRecord> history = tamborel.History();
    if (c.address.empty()) {
      EXPECT_EQ(history.size(), records);
      continue;
    }
    ASSERT_EQ(history.size(), ++records);
    testsupport::ExpectCapture(history.back(), {c.address, c.pattern, c.referer, c.userAgent, c.cookie});
  }
}

TEST_F(BrowserHostTest, HugeHeadersAreCutToTheirBlockFields) {
  FakeTamborel tamborel;
  ASSERT_TRUE(tamborel.Start());
  browserhost::BrowserHost host(Options());
  // The referer ends in two-byte characters, so a byte cut could fall inside one.
  std::string referer = "http://h/" + std::string(2980, 'r');
  for (int i = 0; i < 10; ++i) referer += "\xc3\xa9";
  std::string cookie;
  for (int i = 0; cookie.size() < 5000; ++i) cookie += (i ? "; c" : "c") + std::to_string(i) + "=" + std::string(40, 'v');
  const std::string ua(5000, 'u');
  ASSERT_EQ(host.Handle(CaptureJson("http://h/big.flv", R"(,"referer":")" + referer + R"(","userAgent":")" + ua +
                                                             R"(","cookie":")" + cookie + "\"")),
            Answer("sent"));
  const std::vector<capture::CaptureRecord> history = tamborel.History();
  ASSERT_EQ(history.size(), 1u);
  const capture::CaptureRecord& r = history[0];
  // 3000-byte fields: the header name and the terminator take their share.
  EXPECT_EQ(r.userAgent, ua.substr(0, 3000 - 1 - 12));
  EXPECT_EQ(r.referer, referer.substr(0, 2989));  // 2990 would split an "é"
  ASSERT_LE(r.cookie.size(), 2999u);
  EXPECT_EQ(r.cookie, cookie.substr(0, r.cookie.size()));
  EXPECT_EQ(cookie.compare(r.cookie.size(), 2, "; "), 0);  // whole cookies only
  EXPECT_GT(r.cookie.size(), 2999u - 50);
}

TEST_F(BrowserHostTest, AnExtensionRepeatingItselfGivesOneCapture) {
  FakeTamborel tamborel;
  ASSERT_TRUE(tamborel.Start());
  browserhost::BrowserHost host(Options());
  const std::string json = CaptureJson("http://h/v/clip.mp4");
  int sent = 0;
  for (int i = 0; i < 20; ++i) sent += host.Handle(json) == Answer("sent");
  EXPECT_EQ(sent, 1);
  EXPECT_EQ(tamborel.History().size(), 1u);
  // Another address in between does not open the door for the first.
  EXPECT_EQ(host.Handle(CaptureJson("http://h/v/other.mp4")), Answer("sent"));
  EXPECT_EQ(host.Handle(CaptureJson("http://h/v/other.mp4")), Answer("refused"));
  // Later, the user may well want the same video again.
  now += browserhost::kRepeatWindow;
  EXPECT_EQ(host.Handle(json), Answer("sent"));
  EXPECT_EQ(tamborel.History().size(), 3u);
}

TEST_F(BrowserHostTest, TamborelsStateDecides) {
  const std::string json = CaptureJson("http://h/v/clip.mp4");
  {
    browserhost::BrowserHost host(Options());
    EXPECT_EQ(host.Handle(json), Answer("no-program"));
  }
  FakeTamborel tamborel;
  ASSERT_TRUE(tamborel.Start());
  const struct {
    const char* browser;
    const char* answer;
  } browsers[] = {
      {"chromium", "sent"},   {"firefox-esr", "sent"}, {"firefox", "sent"},
      {"chrome", "browser-not-monitored"}, {"firefoxy", "browser-not-monitored"},
      {"", "browser-not-monitored"},  // an unknown parent is no browser
  };
  for (const auto& b : browsers) {
    browserhost::BrowserHost host(Options(b.browser));
    EXPECT_EQ(host.Handle(json), Answer(b.answer)) << b.browser;
  }

  tamborel.settings.Browsers[4].Monitored = 0;  // chromium unticked in the options
  tamborel.bridge.RefreshLists(tamborel.settings);
  browserhost::BrowserHost host(Options());
  EXPECT_EQ(host.Handle(json), Answer("browser-not-monitored"));
  tamborel.settings.Browsers[4].Monitored = 1;
  tamborel.bridge.RefreshLists(tamborel.settings);
  tamborel.bridge.SetMonitoring(false);
  EXPECT_EQ(host.Handle(json), Answer("monitoring-off"));
  tamborel.bridge.SetMonitoring(true);
  tamborel.settings.MediaTypeOn[2] = 0;  // *.mp4
  tamborel.bridge.RefreshLists(tamborel.settings);
  EXPECT_EQ(host.Handle(json), Answer("type-not-monitored"));
  // Served as MP4 under no name: *.m4v is the other pattern MP4 stands for.
  EXPECT_EQ(host.Handle(CaptureJson("http://h/stream", R"(,"contentType":"video/mp4")")), Answer("sent"));
  EXPECT_EQ(tamborel.History().back().pattern, "*.m4v");
  EXPECT_EQ(tamborel.History().size(), 4u);
}

// The host program as a browser starts it: standard input and output on pipes.
class HostProgram {
 public:
  ~HostProgram() {
    CloseInput();
    if (out_ >= 0) ::close(out_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool Start(const std::vector<std::string>& argv) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return false;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execvp(args[0], args.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    in_ = in[1];
    out_ = out[0];
    return pid_ > 0;
  }
  void Send(const std::string& bytes) { ASSERT_EQ(::write(in_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
  void SendMessage(const std::string& json) { ASSERT_TRUE(browserhost::WriteFrame(in_, json)); }
  std::string Answer() {
    std::string m;
    return browserhost::ReadFrame(out_, &m) == browserhost::FrameStatus::Message ? m : "(none)";
  }
  void CloseInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
  }
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
};

std::string LengthOnly(uint32_t n) {
  std::string out(4, '\0');
  std::memcpy(out.data(), &n, 4);
  return out;
}

TEST_F(BrowserHostTest, TheProgramServesItsBrowserUntilThePortCloses) {
  FakeTamborel tamborel;
  tamborel.settings.Browsers.push_back({"test_browser_host", 1});  // this test is the browser
  ASSERT_TRUE(tamborel.Start());
  testsupport::ScopedEnv log("TAMBOREL_BROWSER_HOST_LOG", sandbox.path("host.log").c_str());
  {
    HostProgram host;
    ASSERT_TRUE(host.Start({BROWSER_HOST}));
    host.SendMessage(R"({"type":"hello","version":1})");
    host.SendMessage(R"({"type":"capture","url":"http://127.0.0.1/v/a.flv","referer":"http://127.0.0.1/p"})");
    EXPECT_EQ(host.Answer(), Answer("sent"));
    host.SendMessage("{oops");
    host.SendMessage(CaptureJson("http://127.0.0.1/v/a.swf"));
    EXPECT_EQ(host.Answer(), Answer("type-not-monitored"));
    host.CloseInput();
    EXPECT_EQ(host.Answer(), "(none)");
    EXPECT_EQ(host.Wait(), 0);
  }
  const std::vector<std::pair<std::string, int>> endings = {
      {LengthOnly(0x7FFFFFFF) + "{}", 1},  // would make the host wait for 2 GiB
      {LengthOnly(40) + R"({"type":"hel)", 1},
  };
  for (const auto& [bytes, code] : endings) {
    HostProgram host;
    ASSERT_TRUE(host.Start({BROWSER_HOST}));
    host.SendMessage(CaptureJson("http://127.0.0.1/v/b.mp4"));
    EXPECT_EQ(host.Answer(), Answer("sent"));
    host.Send(bytes);
    host.CloseInput();
    EXPECT_EQ(host.Answer(), "(none)");
    EXPECT_EQ(host.Wait(), code);
  }
  ASSERT_EQ(tamborel.History().size(), 3u);
  EXPECT_EQ(tamborel.History()[0].referer, "http://127.0.0.1/p");
  EXPECT_EQ(testsupport::ReadWholeFile(sandbox.path("host.log")),
            "hello test_browser_host\n"
            "capture sent http://127.0.0.1/v/a.flv\n"
            "refused malformed JSON\n"
            "capture type-not-monitored http://127.0.0.1/v/a.swf\n"
            "capture sent http://127.0.0.1/v/b.mp4\n"
            "refused an oversized message\n"
            "capture sent http://127.0.0.1/v/b.mp4\n"
            "refused a cut message\n");
}

TEST_F(BrowserHostTest, NothingReachesAnotherUsersTamborel) {
  if (::geteuid() != 0 || !testsupport::HaveProgram("setpriv"))
    GTEST_SKIP() << "needs root and setpriv to run the host as another user";
  FakeTamborel tamborel;
  tamborel.settings.Browsers.push_back({"test_browser_host", 1});
  ASSERT_TRUE(tamborel.Start());
  // The same runtime folder and map name as this user's Tamborel: only the
  // owner checks stand in the way.
  HostProgram host;
  ASSERT_TRUE(host.Start({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", BROWSER_HOST}));
  host.SendMessage(CaptureJson("http://127.0.0.1/v/a.flv"));
  EXPECT_EQ(host.Answer(), Answer("no-program"));
  host.CloseInput();
  EXPECT_EQ(host.Wait(), 0);
  EXPECT_TRUE(tamborel.History().empty());
}

}  // namespace
