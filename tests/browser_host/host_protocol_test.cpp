// The pieces of the host that need no Tamborel: framing, message reading,
// browser names and the pattern an address is captured under.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/capture/browser/browser_host.h"
#include "app/capture/browser/browser_process.h"
#include "app/capture/browser/host_message.h"
#include "app/capture/browser/media_content_type.h"
#include "app/capture/browser/native_messaging.h"
#include "app/capture/capture_sender.h"
#include "core/settings.h"

namespace {

using browserhost::FrameStatus;

std::string Frame(const std::string& payload) {
  const uint32_t n = static_cast<uint32_t>(payload.size());
  std::string out(4, '\0');
  std::memcpy(out.data(), &n, 4);
  return out + payload;
}

std::string LengthOnly(uint32_t n) {
  std::string out(4, '\0');
  std::memcpy(out.data(), &n, 4);
  return out;
}

// Reads frames from `input` until one is not a message.
std::pair<std::vector<std::string>, FrameStatus> ReadAll(const std::string& input) {
  std::FILE* file = std::tmpfile();  // a pipe would not hold a whole large message
  EXPECT_EQ(std::fwrite(input.data(), 1, input.size(), file), input.size());
  std::fflush(file);
  const int fd = ::fileno(file);
  ::lseek(fd, 0, SEEK_SET);
  std::vector<std::string> messages;
  std::string m;
  FrameStatus status;
  while ((status = browserhost::ReadFrame(fd, &m)) == FrameStatus::Message) messages.push_back(m);
  std::fclose(file);
  return {messages, status};
}

TEST(NativeMessaging, FramesAreReadUpToTheFirstTheStreamCannotGetPast) {
  const std::string big(browserhost::kMaxMessageBytes, 'x');
  const struct {
    const char* name;
    std::string input;
    std::vector<std::string> messages;
    FrameStatus end;
  } cases[] = {
      {"nothing", "", {}, FrameStatus::End},
      {"two messages", Frame("{}") + Frame("[1]"), {"{}", "[1]"}, FrameStatus::End},
      {"an empty message", Frame(""), {""}, FrameStatus::End},
      {"at the limit", Frame(big), {big}, FrameStatus::End},
      {"over the limit", Frame("{}") + LengthOnly(browserhost::kMaxMessageBytes + 1) + "{}", {"{}"},
       FrameStatus::Oversized},
      {"a length of 4 GiB", LengthOnly(0xFFFFFFFF), {}, FrameStatus::Oversized},
      {"cut in the length", Frame("{}") + "\x02\x00", {"{}"}, FrameStatus::Truncated},
      {"cut in the body", LengthOnly(10) + "{\"a\":", {}, FrameStatus::Truncated},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto [messages, status] = ReadAll(c.input);
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(status, c.end);
  }
}

TEST(NativeMessaging, WrittenFramesReadBack) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_TRUE(browserhost::WriteFrame(fds[1], R"({"type":"result"})"));
  EXPECT_FALSE(browserhost::WriteFrame(fds[1], std::string(browserhost::kMaxMessageBytes + 1, 'x')));
  ::close(fds[1]);
  std::string m;
  EXPECT_EQ(browserhost::ReadFrame(fds[0], &m), FrameStatus::Message);
  EXPECT_EQ(m, R"({"type":"result"})");
  EXPECT_EQ(browserhost::ReadFrame(fds[0], &m), FrameStatus::End);
  ::close(fds[0]);
}

TEST(HostMessage, ReadOrRefused) {
  using K = browserhost::HostMessage::Kind;
  const struct {
    std::string json;
    bool ok;
    K kind = K::Other;
    std::string url = "", referer = "", contentType = "";
  } cases[] = {
      {R"({"type":"hello","version":1})", true, K::Hello},
      {R"({"type":"capture","url":"http://h/a.mp4","method":"GET","referer":"http://h/","userAgent":"UA",
          "cookie":"a=1","contentType":"video/mp4"})",
       true, K::Capture, "http://h/a.mp4", "http://h/", "video/mp4"},
      {R"({"type":"capture","url":"http://h/a","referer":null})", true, K::Capture, "http://h/a"},
      {R"({"type":"capture","url":"http://h/\u00e9.mp4"})", true, K::Capture, "http://h/\xc3\xa9.mp4"},
      {R"({"type":"later","url":5})", true, K::Other},
      {R"({"type":"capture","url":"http://h/a.mp4")", false},  // cut
      {"not json", false},
      {R"(["capture"])", false},
      {R"({"url":"http://h/a.mp4"})", false},
      {R"({"type":7})", false},
      {R"({"type":"capture"})", false},
      {R"({"type":"capture","url":""})", false},
      {R"({"type":"capture","url":["http://h/a.mp4"]})", false},
      {R"({"type":"capture","url":"http://h/a.mp4","referer":5})", false},
      {R"({"type":"capture","url":"http://h/a.mp4","cookie":{"a":1}})", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    browserhost::HostMessage m;
    std::string reason;
    ASSERT_EQ(browserhost::ParseHostMessage(c.json, &m, &reason), c.ok) << reason;
    if (!c.ok) {
      EXPECT_FALSE(reason.empty());
      continue;
    }
    EXPECT_EQ(m.kind, c.kind);
    EXPECT_EQ(m.url, c.url);
    EXPECT_EQ(m.referer, c.referer);
    EXPECT_EQ(m.contentType, c.contentType);
  }
}

TEST(BrowserNames, AnEntryMatchesTheExecutableItNames) {
  const struct {
    const char* entry;
    const char* executable;
    bool matches;
  } cases[] = {
      {"chromium", "chromium", true},
      {"firefox.exe", "firefox-esr", true},
      {"firefox.exe", "firefox", true},
      {"Firefox.EXE", "firefox-esr", true},
      {"firefox", "FIREFOX.EXE", true},
      {"firefox.exe", "firefox-beta", true},
      {"firefox-esr", "firefox-esr", true},
      {"firefox.exe", "firefoxy", false},
      {"firefox-esr", "firefox", false},
      {"chromium", "chrome", false},
      {"chrome.exe", "chromium", false},
      {"opera.exe", "chromium", false},
      {".exe", "anything", false},
      {"", "chromium", false},
      {"chromium", "", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(capture::BrowserEntryMatches(c.entry, c.executable), c.matches) << c.entry << " / " << c.executable;
}

TEST(BrowserNames, TheParentProcessIsKnownByItsExecutable) {
  EXPECT_EQ(browserhost::ExecutableNameOfProcess(::getpid()), "test_browser_host");
  EXPECT_EQ(browserhost::ExecutableNameOfProcess(0x7ffffff0), "");
}

TEST(CapturePatterns, ContentTypesStandForTheBuiltInPatterns) {
  const struct {
    const char* contentType;
    std::vector<std::string> patterns;
  } cases[] = {
      {"video/mp4", {"*.mp4", "*.m4v"}},
      {"Video/MP4; codecs=\"avc1.42E01E\"", {"*.mp4", "*.m4v"}},
      {"  video/x-flv ", {"*.flv"}},
      {"video/mpeg", {"*.mpg", "*.mpeg"}},
      {"audio/mpeg", {"*.mp3"}},
      {"application/x-shockwave-flash", {"*.swf"}},
      {"text/html", {}},
      {"video/mp4x", {}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(browserhost::PatternsOfContentType(c.contentType), c.patterns) << c.contentType;

  // Every monitored type can be recognised without a file name.
  const char* types[] = {"video/x-flv", "video/x-f4v", "video/mp4", "video/x-m4v", "video/x-ms-wmv",
                         "video/x-ms-asf", "video/mpeg", "application/vnd.rn-realmedia",
                         "application/vnd.rn-realmedia-vbr", "video/3gpp", "video/3gpp2", "video/quicktime",
                         "video/x-msvideo", "audio/mpeg", "audio/x-ms-wma", "application/x-shockwave-flash"};
  std::vector<std::string> covered;
  for (const char* t : types)
    for (const std::string& p : browserhost::PatternsOfContentType(t)) covered.push_back(p);
  for (const MediaType& m : Settings::BuiltInMediaTypes())
    EXPECT_NE(std::find(covered.begin(), covered.end(), m.Pattern), covered.end()) << m.Pattern;
}

TEST(CapturePatterns, ThePathDecidesWhenItNamesAMediaTypeElseTheContentType) {
  const std::vector<std::string> monitored = {"*.flv", "*.mp4", "*.mpeg"};
  const struct {
    const char* url;
    const char* contentType;
    const char* pattern;
  } cases[] = {
      {"http://h/v/clip.mp4", "", "*.mp4"},
      {"http://h/v/clip.FLV?x=1", "video/mp4", "*.FLV"},
      {"http://h/videoplayback?id=7", "video/mp4", "*.mp4"},
      {"http://h/get_video.php?id=7", "video/x-flv", "*.flv"},
      {"http://h/stream", "video/mpeg", "*.mpeg"},  // the monitored one of two
      {"http://h/stream", "video/quicktime", "*.mov"},  // refused later as not monitored
      {"http://h/page", "text/html", ""},
      {"http://h/page.php", "text/html", "*.php"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(browserhost::ChoosePattern(c.url, c.contentType, monitored), c.pattern) << c.url;
}

}  // namespace
