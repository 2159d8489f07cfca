#include "core/save_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/data_model.h"
#include "tests/support/sandbox.h"

namespace {

const std::string kSixty(60, 'a');

TEST(MakeSaveName, NamesFromAddresses) {
  struct Case {
    std::string address;
    const char* hint;
    std::string name;
  } cases[] = {
      {"", "*.flv", ""},
      {"http://host/v/clip.flv?id=1&t=2", "", "clip.flv"},
      {"http://host/v/clip.flv?id=1", "*.mp4", "clip.mp4"},  // the hint wins over the address
      {"http://host/v/clip", ".flv", "clip.flv"},
      {"http://host/v/clip", "", "clip"},
      {"http://host/v/", "", "download"},
      {"http://host/v/", "*.flv", "download.flv"},
      {"clip.flv", "", "download"},                        // no folder part at all
      {"http:\\\\host\\v\\clip.flv", "", "clip.flv"},      // backslashes count as slashes
      {"http://host/v/a%20b.flv", "", "a_20b.flv"},
      {"http://host/v/a&b:c.flv", "", "a_b_c.flv"},
      {"rtmp://host/app/stream", "", "stream.flv"},
      {"RTMPT://host/app/stream", "*.mp4", "stream.mp4.flv"},
      {"rtmp://host/app/clip.FLV", "", "clip.FLV"},
      {"rtmp://host/app/mp4:clip.mp4?token=x", "", "mp4_clip.mp4_token=x.flv"},  // streams keep the query
      // The base is cut to 50 characters; the whole name to its last 50.
      {"http://host/v/" + kSixty, "", std::string(50, 'a')},
      {"http://host/v/" + kSixty + ".flv", "", std::string(46, 'a') + ".flv"},
  };
  DataModel model;
  testsupport::Sandbox box;
  for (const Case& c : cases) EXPECT_EQ(MakeSaveName(c.address, box.dir(), c.hint, model), c.name) << c.address;
}

TEST(MakeSaveName, NumbersNamesTakenOnDiskOrInTheList) {
  testsupport::Sandbox box;
  DataModel model;
  const std::string url = "http://host/v/clip.flv?x=1";
  box.WriteFile("clip.flv", "");
  EXPECT_EQ(MakeSaveName(url, box.dir(), "", model), "clip[1].flv");

  DataRecord listed;
  listed.SaveDir = box.dir();
  listed.FileName = "CLIP[1].FLV";  // the list compares ignoring case
  model.tasks.push_back(listed);
  EXPECT_EQ(MakeSaveName(url, box.dir(), "", model), "clip[2].flv");
  EXPECT_EQ(MakeSaveName("http://host/v/", box.dir(), "", model), "download");

  box.WriteFile("download", "");
  EXPECT_EQ(MakeSaveName("http://host/v/", box.dir(), "", model), "download[1]");
  // Another folder has none of them.
  EXPECT_EQ(MakeSaveName(url, box.dir() + "other/", "", model), "clip.flv");
}

TEST(MakeSaveName, StreamNamesAreNumberedByTheNameTheyGet) {
  testsupport::Sandbox box;
  DataModel model;
  box.WriteFile("stream.flv", "");
  EXPECT_EQ(MakeSaveName("rtmp://host/app/stream", box.dir(), "", model), "stream[1].flv");

  DataRecord listed;
  listed.SaveDir = box.dir();
  listed.FileName = "mp4_clip.flv";
  model.tasks.push_back(listed);
  EXPECT_EQ(MakeSaveName("rtmp://host/app/mp4:clip", box.dir(), "", model), "mp4_clip[1].flv");
}

TEST(MakeSaveName, NumberSurvivesTheCutOfALongName) {
  testsupport::Sandbox box;
  DataModel model;
  const std::string url = "rtmp://host/app/" + kSixty;
  std::string first = MakeSaveName(url, box.dir(), "", model);
  ASSERT_EQ(first, std::string(46, 'a') + ".flv");
  box.WriteFile(first, "");
  EXPECT_EQ(MakeSaveName(url, box.dir(), "", model), std::string(43, 'a') + "[1].flv");
}

// An extension so long that the number would be cut off keeps the number
// in front: the name given is never one that is taken.
TEST(MakeSaveName, ExtensionLongerThanTheCutKeepsTheNumber) {
  testsupport::Sandbox box;
  DataModel model;
  struct Case {
    const char* name;
    std::string url, hint, first, second, third;
  };
  const std::string e47(47, 'e');
  const Case cases[] = {
      {"extension of 60", "http://host/v/clip", "*." + kSixty, std::string(50, 'a'),
       "[1]" + std::string(47, 'a'), "[2]" + std::string(47, 'a')},
      {"extension of 46", "http://host/v/clip", "*." + std::string(46, 'e'),
       "lip." + std::string(46, 'e'), "[1]." + std::string(46, 'e'), "[2]." + std::string(46, 'e')},
      {"stream with extension of 47", "rtmp://host/app/clip", "*." + e47,
       std::string(46, 'e') + ".flv", "[1]" + std::string(43, 'e') + ".flv",
       "[2]" + std::string(43, 'e') + ".flv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::Sandbox folder;
    std::vector<std::string> got;
    for (int i = 0; i < 3; ++i) {
      const std::string name = MakeSaveName(c.url, folder.dir(), c.hint, model);
      EXPECT_LE(name.size(), 50u);
      got.push_back(name);
      folder.WriteFile(name, "");
    }
    EXPECT_EQ(got, (std::vector<std::string>{c.first, c.second, c.third}));
  }
}

TEST(IsPathTaken, DiskOrListIgnoringCase) {
  testsupport::Sandbox box;
  DataModel model;
  DataRecord listed;
  listed.SaveDir = box.dir();
  listed.FileName = "Listed.flv";
  model.tasks.push_back(listed);
  box.WriteFile("ondisk.flv", "");

  EXPECT_TRUE(IsPathTaken(box.path("ondisk.flv"), model));
  EXPECT_TRUE(IsPathTaken(box.path("LISTED.FLV"), model));
  EXPECT_FALSE(IsPathTaken(box.path("other.flv"), model));
}

}  // namespace
