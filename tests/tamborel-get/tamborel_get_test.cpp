// tamborel-get run as a user runs it, against the scripted server.
#include <dirent.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/child_process.h"
#include "tests/support/flv_media.h"
#include "tests/support/nginx_peer.h"
#include "tests/support/sandbox.h"

namespace {

std::string RandomBytes(size_t n) {
  std::mt19937 gen(77);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class TamborelGet : public ::testing::Test {
 protected:
  void StartServer(size_t size) {
    source_ = RandomBytes(size);
    box_.WriteFile("clip.bin", source_);
    port_ = testsupport::FreeTcpPort();
    ASSERT_TRUE(server_.Start({"python3", std::string(TAMBOREL_PEERS_DIR) + "/http_fault_server.py",
                               std::to_string(port_), box_.path("clip.bin"), box_.path("requests.log")},
                              box_.path("server.log")));
    ASSERT_TRUE(testsupport::WaitForPort(port_));
  }

  std::string Url(const std::string& mode) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + mode + "/clip.bin?session=1";
  }

  // Runs the tool; its standard output goes to *out, its standard error to *err.
  int Get(const std::vector<std::string>& args, std::string* out, std::string* err) {
    std::string command = "exec " + Quote(TAMBOREL_GET);
    for (const auto& a : args) command += " " + Quote(a);
    command += " 2>" + Quote(box_.path("stderr.txt"));
    int rc = testsupport::RunCommand({"sh", "-c", command}, out);
    *err = box_.ReadFile("stderr.txt");
    return rc;
  }

  // Runs the tool for `url` (its log in first.log) and interrupts it once
  // part of the file is on disk.
  void InterruptedRun(const std::string& url) {
    testsupport::ChildProcess run;
    ASSERT_TRUE(run.Start({TAMBOREL_GET, "-o", box_.path("out"), url}, box_.path("first.log")));
    int64_t size = 0;
    for (int i = 0; i < 1000 && size <= 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      std::vector<std::string> temps = TempFiles();
      if (!temps.empty()) size = platform::FileSize(box_.path("out/" + temps[0]));
    }
    ASSERT_GT(size, 0);
    EXPECT_EQ(run.Stop(), 130);
  }

  std::vector<std::string> TempFiles() const {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(box_.path("out").c_str())) {
      while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n.size() > 5 && n.compare(n.size() - 5, 5, ".TMP!") == 0) names.push_back(n);
      }
      ::closedir(d);
    }
    return names;
  }

  testsupport::Sandbox box_;
  testsupport::ChildProcess server_;
  std::string source_;
  int port_ = 0;
};

TEST_F(TamborelGet, DownloadsAndPrintsTheFullPathLast) {
  StartServer(300 * 1024);
  std::string out, err;
  ASSERT_EQ(Get({"-o", box_.path("out"), Url("ok")}, &out, &err), 0) << err;
  EXPECT_EQ(out, box_.path("out/clip.bin") + "\n");
  EXPECT_TRUE(testsupport::ReadWholeFile(box_.path("out/clip.bin")) == source_);
  EXPECT_TRUE(TempFiles().empty());
  // Not a terminal: plain progress lines, ending complete.
  EXPECT_NE(err.find("100.00%"), std::string::npos) << err;
  EXPECT_EQ(SplitLines(err).back().find("\r"), std::string::npos);

  // The name is taken now: the next one is numbered, as for a new task.
  ASSERT_EQ(Get({"-o", box_.path("out"), Url("ok")}, &out, &err), 0) << err;
  EXPECT_EQ(SplitLines(out).back(), box_.path("out/clip[1].bin"));
  EXPECT_TRUE(testsupport::ReadWholeFile(box_.path("out/clip[1].bin")) == source_);
}

TEST_F(TamborelGet, GivesUpAfterTheRetriesWithTheReasonLast) {
  StartServer(1000);
  std::string out, err;
  const std::string nobody = "http://127.0.0.1:" + std::to_string(testsupport::FreeTcpPort()) + "/a.bin";
  int rc = Get({"-o", box_.path("out"), "--retries", "2", "--retry-delay", "0", nobody}, &out, &err);
  EXPECT_NE(rc, 0);
  EXPECT_EQ(out, "");
  std::vector<std::string> lines = SplitLines(err);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Failed to connect to the server.");
  int waits = 0;
  for (const auto& l : lines) waits += l == "Wait 0 seconds before retry." ? 1 : 0;
  EXPECT_EQ(waits, 2);

  // A status outside 200-206 says which, also when a long header line
  // follows it (logged in pieces, none of which is a reason).
  for (const char* mode : {"missing", "not-found-long"}) {
    SCOPED_TRACE(mode);
    rc = Get({"-o", box_.path("out"), "--retries", "0", Url(mode)}, &out, &err);
    EXPECT_NE(rc, 0);
    EXPECT_EQ(SplitLines(err).back(), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(err.find("tttt"), std::string::npos) << err;
  }
}

TEST_F(TamborelGet, RefusesABadCommandLine) {
  std::string out, err;
  EXPECT_EQ(Get({"--help"}, &out, &err), 0);
  EXPECT_EQ(out.rfind("usage: tamborel-get", 0), 0u) << out;
  for (const auto& args : {std::vector<std::string>{},
                           std::vector<std::string>{"--retries", "x", "http://127.0.0.1/a"},
                           std::vector<std::string>{"--bogus", "http://127.0.0.1/a"},
                           std::vector<std::string>{"-o"}}) {
    EXPECT_EQ(Get(args, &out, &err), 2);
    EXPECT_NE(err.find("usage: tamborel-get"), std::string::npos) << err;
  }
}

TEST_F(TamborelGet, ContinuesFromTheTemporaryFileWhenRunAgain) {
  StartServer(1024 * 1024);  // the slow answer takes seconds for this
  ASSERT_NO_FATAL_FAILURE(InterruptedRun(Url("slow")));
  ASSERT_EQ(TempFiles().size(), 1u);
  const std::string temp = box_.path("out/" + TempFiles()[0]);
  const std::string part = testsupport::ReadWholeFile(temp);
  ASSERT_LT(part.size(), source_.size());
  EXPECT_TRUE(part == source_.substr(0, part.size()));
  EXPECT_NE(testsupport::ReadWholeFile(box_.path("first.log")).find("User canceled the downloading."),
            std::string::npos);

  std::string out, err;
  ASSERT_EQ(Get({"-o", box_.path("out"), Url("slow")}, &out, &err), 0) << err;
  EXPECT_EQ(SplitLines(out).back(), box_.path("out/clip.bin"));
  EXPECT_TRUE(testsupport::ReadWholeFile(box_.path("out/clip.bin")) == source_);
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_NE(testsupport::ReadWholeFile(box_.path("requests.log"))
                .find("Range: bytes=" + std::to_string(part.size()) + "-\r\n"),
            std::string::npos);
}

TEST_F(TamborelGet, TemporaryFileOfAnotherAddressIsNotContinued) {
  StartServer(1024 * 1024);
  // A second server with other content, whose address ends in the same name.
  const std::string other = RandomBytes(600 * 1024).substr(1000) + std::string(1000, 'o');
  box_.WriteFile("other.bin", other);
  const int otherPort = testsupport::FreeTcpPort();
  testsupport::ChildProcess otherServer;
  ASSERT_TRUE(otherServer.Start({"python3", std::string(TAMBOREL_PEERS_DIR) + "/http_fault_server.py",
                                 std::to_string(otherPort), box_.path("other.bin"), box_.path("other.log")}));
  ASSERT_TRUE(testsupport::WaitForPort(otherPort));
  const std::string otherUrl = "http://127.0.0.1:" + std::to_string(otherPort) + "/ok/clip.bin?session=1";

  ASSERT_NO_FATAL_FAILURE(InterruptedRun(Url("slow")));

  std::string out, err;
  ASSERT_EQ(Get({"-o", box_.path("out"), otherUrl}, &out, &err), 0) << err;
  EXPECT_EQ(SplitLines(out).back(), box_.path("out/clip.bin"));
  EXPECT_TRUE(testsupport::ReadWholeFile(box_.path("out/clip.bin")) == other) << "mixed with the other download";
  EXPECT_EQ(box_.ReadFile("other.log").find("Range:"), std::string::npos);
  // The interrupted download's part is still there for its own address.
  EXPECT_EQ(TempFiles().size(), 1u);
}

}  // namespace

namespace {

// An rtmp:// address, with nginx's own port, recorded into the folder.
TEST(TamborelGetRtmp, RecordsAnRtmpAddress) {
  if (!testsupport::NginxPeer::Available() || !testsupport::HaveProgram("ffmpeg"))
    GTEST_SKIP() << "nginx with the RTMP module, or ffmpeg, is not installed";
  testsupport::NginxPeer nginx;
  ASSERT_TRUE(nginx.Start()) << nginx.ErrorLog();
  const std::string source = nginx.media_dir() + "clip.flv";
  ASSERT_TRUE(testsupport::MakeMediaFlv(source, 3, "libx264", "aac"));
  testsupport::Sandbox box;
  std::string out;
  const std::string url = "rtmp://127.0.0.1:" + std::to_string(nginx.port()) + "/vod/clip.flv";
  ASSERT_EQ(testsupport::RunCommand({TAMBOREL_GET, "-o", box.path("out"), url}, &out), 0);
  EXPECT_EQ(out, box.path("out/clip.flv") + "\n");
  EXPECT_EQ(testsupport::DecodeErrors(box.path("out/clip.flv")), "");
  const testsupport::MediaFacts want = testsupport::ProbeMedia(source);
  const testsupport::MediaFacts got = testsupport::ProbeMedia(box.path("out/clip.flv"));
  EXPECT_EQ(got.video_packets, want.video_packets);
  EXPECT_EQ(got.audio_packets, want.audio_packets);
}

}  // namespace
