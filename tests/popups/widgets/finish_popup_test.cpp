// The completion popup on its own.
#include "app/shell/notify/cpopwnd_finish_dlg.h"

#include <gtest/gtest.h>

#include "app/capture/popups/skin_button.h"
#include "app/shell/frame_hooks.h"
#include "core/program_dir.h"
#include "tests/popups/popup_test_support.h"

namespace {

TEST(CompletionPopup, LabelIsTheFileName) {
  TestApp();
  CPopWndFinishDlg popup(QString::fromStdString(GetProgramDir()));
  EXPECT_EQ(popup.FullHeight(), 67);
  struct Case {
    const char* path;
    const char* label;
  } cases[] = {{"/home/u/Tamborel/clip.flv", "clip.flv"}, {"clip.flv", "clip.flv"}, {"/a/b c\\d.mp4", "b c\\d.mp4"}};
  for (const Case& c : cases) {
    PopupRequest r;
    r.kind = kCompletionPopup;
    r.text = c.path;
    popup.Reset();
    popup.Start(r, PopupTiming{});
    EXPECT_EQ(popup.NameLabel()->Text(), QString::fromUtf8(c.label)) << c.path;
  }
}

TEST(CompletionPopup, ButtonsOpenTheFolderOrClose) {
  TestApp();
  const QString dir = QString::fromStdString(GetProgramDir());
  for (bool openFolder : {true, false}) {
    RecordingWindow frame;
    CPopWndFinishDlg popup(dir);
    PopupRequest r;
    r.id = 7;
    r.mainWindow = &frame;
    r.kind = kCompletionPopup;
    r.text = "/home/u/clip.flv";
    popup.Start(r, PopupTiming{false, 0});
    (openFolder ? popup.OpenFolderButton() : popup.CloseButton())->click();
    if (openFolder) {
      ASSERT_EQ(frame.posted.size(), 1u);
      EXPECT_EQ(frame.posted[0],
                (PostedMessage{shell::UM_OPEN_TASK_FOLDER, reinterpret_cast<platform::MessageParam>(&popup), 7}));
      EXPECT_EQ(popup.RemainingMs(), 2000);
    } else {
      EXPECT_TRUE(frame.posted.empty());
      EXPECT_EQ(popup.RemainingMs(), 0);
    }
    // Shrinking away sends nothing.
    while (popup.State() != PopupBase::Gone) popup.Step();
    EXPECT_EQ(frame.posted.size(), openFolder ? 1u : 0u);
  }
}

TEST(CompletionPopup, SkinPicturesComeFromTheProgramFolder) {
  TestApp();
  CPopWndFinishDlg popup(QString::fromStdString(GetProgramDir()));
  EXPECT_TRUE(popup.CloseButton()->HasPicture());
  EXPECT_TRUE(popup.OpenFolderButton()->HasPicture());
  CPopWndFinishDlg bare(QStringLiteral("/nonexistent/"));
  EXPECT_FALSE(bare.OpenFolderButton()->HasPicture());
  EXPECT_EQ(bare.OpenFolderButton()->text(), QStringLiteral("Open Folder"));
}

}  // namespace
