#include <gtest/gtest.h>

#include "player/open_rules.h"
#include "tests/support/sandbox.h"

namespace {

TEST(OpenRules, AddressOrFile) {
  EXPECT_TRUE(IsAddress("http://host/a.flv"));
  EXPECT_TRUE(IsAddress("HtTpS://host/a.flv"));
  EXPECT_FALSE(IsAddress("rtmp://host/app/a"));
  EXPECT_FALSE(IsAddress("/home/u/http.flv"));
}

TEST(OpenRules, UrlDialogCheck) {
  struct Case { const char* text; bool accepted; };
  const Case cases[] = {
      {"http://host/a.flv", true},
      {"HTTP://host/a.flv", true},
      {"rmtp://host/app/a", true},
      {"RmTp://host/app/a", true},
      {"rtmp://host/app/a", false},
      {"RTMP://host/app/a", false},
      {"https://host/a.flv", false},
      {"http:/", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsAcceptedUrlInput(c.text), c.accepted) << c.text;
}

TEST(OpenRules, TitleOfAnAddress) {
  struct Case { const char* address; const char* title; bool keepsCaption; };
  const Case cases[] = {
      {"http://host/dir/clip.flv", "clip.flv", false},
      {"http://host/dir/CLIP.FLV", "CLIP.FLV", false},
      {"http://host/dir\\win.Flv", "win.Flv", false},
      {"clip.flv", "clip.flv", false},
      {"http://host/dir/clip.mp4", "pellumo.flv", true},
      {"http://host/get?id=7", "pellumo.flv", true},
  };
  for (const Case& c : cases) {
    AddressTitle t = TitleForAddress(c.address);
    EXPECT_EQ(t.title, QString(c.title)) << c.address;
    EXPECT_EQ(t.keepsCaption, c.keepsCaption) << c.address;
  }
}

TEST(OpenRules, MovieFileCheck) {
  testsupport::Sandbox box;
  box.WriteFile("eight.flv", std::string("FLV\x01\x05\x00\x00\x00", 8));
  box.WriteFile("nine.flv", std::string("FLV\x01\x05\x00\x00\x00\x09", 9));
  box.WriteFile("clip.mp4", std::string("\x00\x00\x00\x20" "ftypisom\x00\x00", 14));
  box.WriteFile("text.flv", "this is not a movie");
  struct Case { const char* name; MovieFileCheck result; };
  const Case cases[] = {
      {"eight.flv", MovieFileCheck::NotValid},
      {"nine.flv", MovieFileCheck::Ok},
      {"clip.mp4", MovieFileCheck::Ok},
      {"text.flv", MovieFileCheck::NotValid},
      {"missing.flv", MovieFileCheck::NotFound},
      {"", MovieFileCheck::NotFound},  // the sandbox folder itself
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckMovieFile(QString::fromStdString(box.path(c.name))), c.result) << c.name;
}

TEST(OpenRules, MovieSecondsToMilliseconds) {
  struct Case { const char* text; int32_t ms; };
  const Case cases[] = {
      {"12.3456", 12345}, {"0", 0},          {"100", 100000}, {" 1.5 ", 1500},
      {"abc", 0},         {"", 0},           {"nan", 0},      {"1e12", INT32_MAX},
      {"-1e12", INT32_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(MovieSecondsToMs(c.text), c.ms) << c.text;
}

TEST(OpenRules, TimeText) {
  EXPECT_EQ(PlayTimeText(true, 3725000, 0), "01:02:05");
  EXPECT_EQ(PlayTimeText(true, 61000, 3600000), "00:01:01 / 01:00:00");
  EXPECT_EQ(PlayTimeText(false, 61000, 3600000), "No video");
  EXPECT_EQ(FormatPlayTime(999), "00:00:00");
}

}  // namespace
