#include "app/capture/popups/popup_texts.h"

#include <gtest/gtest.h>

namespace {

TEST(PopupTexts, TypeLabel) {
  struct Case {
    const char* pattern;
    const char* label;
  } cases[] = {
      {"*.flv", "(FLV)"}, {"*.Mp4", "(MP4)"}, {"rtmp://", "(RTMP)"}, {"*.f4v:/", "(F4V)"},
      {"**..x.y", "(X.Y)"}, {"", "()"},      {"*.", "()"},          {"*.:/", "()"},
  };
  for (const Case& c : cases) EXPECT_EQ(PopupTypeLabel(c.pattern), c.label) << c.pattern;
}

TEST(PopupTexts, AudioForThePreviewIsExactButCaseFreeForTheHistoryRow) {
  struct Case {
    const char* pattern;
    PreviewMode preview;
    bool historyAudio;
  } cases[] = {
      {"*.mp3", PreviewMode::Audio, true},      {"*.wma", PreviewMode::Audio, true},
      {"*.MP3", PreviewMode::Video, true},      {"*.Wma", PreviewMode::Video, true},
      {"*.swf", PreviewMode::FlashMovie, false}, {"*.SWF", PreviewMode::Video, false},
      {"*.flv", PreviewMode::Video, false},     {"*.mp3x", PreviewMode::Video, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CapturePreviewMode(c.pattern), c.preview) << c.pattern;
    EXPECT_EQ(IsAudioPattern(c.pattern), c.historyAudio) << c.pattern;
  }
}

TEST(PopupTexts, FileNameOfPath) {
  EXPECT_EQ(FileNameOfPath("/home/u/Tamborel/clip.flv"), "clip.flv");
  EXPECT_EQ(FileNameOfPath("clip.flv"), "clip.flv");
  EXPECT_EQ(FileNameOfPath("/home/u/a\\b.flv"), "a\\b.flv");  // a backslash is part of a name here
  EXPECT_EQ(FileNameOfPath("/home/u/"), "");
}

}  // namespace
