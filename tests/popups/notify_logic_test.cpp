// The preview-file check and the completion notice.
#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/capture/popups/popup_center.h"
#include "app/shell/notify/completion_notifier.h"
#include "app/shell/notify/previewable_file.h"
#include "core/data_model.h"
#include "core/settings.h"
#include "tests/popups/popup_fakes.h"
#include "tests/support/sandbox.h"

namespace {

TEST(IsPreviewableFile, ByTheFirstNineBytes) {
  testsupport::Sandbox box;
  using namespace std::string_literals;
  struct Case {
    const char* name;
    std::string content;
    bool expected;
  } cases[] = {
      {"video.flv", "FLV\x01\x05\0\0\0\x09"s, true},
      {"video-only.flv", "FLV\x01\x01\0\0\0\x09"s, true},
      {"audio-only.flv", "FLV\x01\x04\0\0\0\x09"s, false},
      {"clip.mp4", "\0\0\0\x20" "ftypisom"s, true},
      {"short.flv", "FLV\x01\x05\0\0\0"s, false},  // 8 bytes
      {"empty.flv", ""s, false},
      {"text.txt", "hello world, not media"s, false},
      {"flv-lowercase", "flv\x01\x05\0\0\0\x09"s, false},
  };
  for (const Case& c : cases) {
    box.WriteFile(c.name, c.content);
    EXPECT_EQ(IsPreviewableFile(box.path(c.name)), c.expected) << c.name;
  }
  EXPECT_FALSE(IsPreviewableFile(box.path("missing.flv")));
  EXPECT_FALSE(IsPreviewableFile(""));
  EXPECT_FALSE(IsPreviewableFile(box.dir()));
  // A FIFO in the file's place is not read (and must not block).
  ASSERT_EQ(mkfifo(box.path("fifo.flv").c_str(), 0600), 0);
  EXPECT_FALSE(IsPreviewableFile(box.path("fifo.flv")));
}

struct NoticeFixture {
  NoticeFixture() : stack(pools.MakeStack(1280, 1024, 1024)) {
    DataRecord task;
    task.TaskIndex = 4;
    task.SaveDir = "/home/u/Tamborel";  // without its separator
    task.FileName = "clip.flv";
    model.tasks.push_back(task);
  }
  Settings settings;
  DataModel model;
  FakePools pools;
  PopupStack stack;
  PopupCenter center{settings, stack, nullptr};
  std::vector<int32_t> mediaInfo;
  CompletionNotifier notifier{settings, model, center, nullptr, [this](int32_t t) { mediaInfo.push_back(t); }};
};

TEST(CompletionNotifier, QueuesThePopupAndAlwaysTheMediaLookup) {
  struct Case {
    uint8_t showFinish;
    int32_t taskIndex;
    size_t popups;
  } cases[] = {{1, 4, 1}, {0, 4, 0}, {1, 9, 0}};  // on, off, a task that is gone
  for (const Case& c : cases) {
    SCOPED_TRACE(c.taskIndex * 10 + c.showFinish);
    NoticeFixture f;
    f.settings.ShowFinishPopWnd = c.showFinish;
    f.notifier.OnTaskCompleted(c.taskIndex);
    EXPECT_EQ(f.center.CompletionQueue().size(), c.popups);
    EXPECT_EQ(f.mediaInfo, std::vector<int32_t>{c.taskIndex});
    if (c.popups) {
      const PopupRequest& r = f.center.CompletionQueue().front();
      EXPECT_EQ(r.id, 4);
      EXPECT_EQ(r.kind, kCompletionPopup);
      EXPECT_EQ(r.text, "/home/u/Tamborel/clip.flv");
      EXPECT_EQ(r.typePattern, "");
    }
  }
}

}  // namespace
