// Stream task addresses: a port other than the protocol's default stays with
// the host, so the recording connects there; a default port leaves the bare
// host that stored tasks always had.
#include "rtmp/stream_address.h"

#include <gtest/gtest.h>

#include <string>

#include "core/add_task.h"
#include "core/data_model.h"

namespace {

TEST(StreamAddress, SplitsCapturedAddresses) {
  struct Case {
    const char* url;
    const char* host;
    const char* playPath;
    const char* app;
  };
  const Case cases[] = {
      {"rtmp://media.example/vod/clip.flv", "media.example", "clip", "vod"},
      {"rtmp://media.example:1935/vod/clip.flv", "media.example", "clip", "vod"},
      {"rtmp://media.example:19350/vod/clip.flv", "media.example:19350", "clip", "vod"},
      {"rtmpt://media.example:80/vod/clip.mp4", "media.example", "mp4:clip.mp4", "vod"},
      {"rtmpt://media.example:8080/vod/clip", "media.example:8080", "clip", "vod"},
      {"rtmpt://media.example:1935/vod/clip", "media.example:1935", "clip", "vod"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    std::string host, playPath, app;
    ASSERT_TRUE(SplitStreamTaskAddress(c.url, host, playPath, app));
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(playPath, c.playPath);
    EXPECT_EQ(app, c.app);
  }
  std::string host, playPath, app;
  EXPECT_FALSE(SplitStreamTaskAddress("rtmp:///vod/clip", host, playPath, app));
}

TEST(StreamAddress, HostFieldGivesHostAndPort) {
  struct Case {
    const char* field;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"media.example", "media.example", 1935},
      {"media.example:19350", "media.example", 19350},
      {"10.1.2.3:65535", "10.1.2.3", 65535},
      // Not a port: the field is taken whole, as a stored host always was.
      {"media.example:", "media.example:", 1935},
      {"media.example:0", "media.example:0", 1935},
      {"media.example:65536", "media.example:65536", 1935},
      {"media.example:12ab", "media.example:12ab", 1935},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    std::string host;
    int port = 0;
    SplitHostPort(c.field, 1935, host, port);
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(port, c.port);
  }
}

}  // namespace

namespace {

// AddTask wired to the splitter as the program wires it.
TEST(StreamAddress, AddTaskKeepsTheOwnPort) {
  DataModel model;
  TaskRequest request;
  request.URL = "rtmp://media.example:19350/vod/clip.flv";
  AddTaskOptions options;
  options.SavePath = "/tmp/";
  AddTaskServices services;
  services.splitStreamAddress = SplitStreamTaskAddress;
  const int32_t index = model.AddTask(&request, options, services);
  ASSERT_GE(index, 0);
  const DataRecord* task = model.FindTask(index);
  ASSERT_TRUE(task);
  EXPECT_EQ(task->RTMPHost, "media.example:19350");
  EXPECT_EQ(task->RTMPApp, "vod");
  EXPECT_EQ(task->RTMPPlayPath, "clip");
}

}  // namespace
