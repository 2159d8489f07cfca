#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/shell/new_task_dlg.h"
#include "core/data_model.h"
#include "core/memory_key_value_store.h"
#include "core/settings.h"
#include "platform/file_system.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/sandbox.h"

namespace {

class NewTaskDlgTest : public ::testing::Test {
 protected:
  NewTaskDlgTest() {
    testsupport::OffscreenApp();
    settings_.SavePath = box_.dir();
  }
  std::unique_ptr<CNewTaskDlg> Open(const std::string& clipboard) {
    QApplication::clipboard()->setText(QString::fromStdString(clipboard));
    auto dlg = std::make_unique<CNewTaskDlg>(model_, settings_, store_);
    dlg->OpenNew(nullptr);
    return dlg;
  }

  testsupport::Sandbox box_;
  DataModel model_;
  Settings settings_;
  MemoryKeyValueStore store_;
  testsupport::RecordingMessageBoxes boxes_;
};

TEST_F(NewTaskDlgTest, ClipboardInCapitalsWithLineBreakPrefillsTheUrl) {
  auto dlg = Open("HTTP://example.test/v/clip.flv\r\n");
  EXPECT_EQ(dlg->UrlEdit()->text(), "HTTP://example.test/v/clip.flv");
  EXPECT_EQ(dlg->FileNameEdit()->text(), "clip.flv");
  EXPECT_EQ(dlg->FolderBox()->currentText().toStdString(), box_.dir());
  EXPECT_EQ(Open("http")->UrlEdit()->text(), "");
}

TEST_F(NewTaskDlgTest, ChecksInOrderWithTheirTexts) {
  auto dlg = Open("");
  EXPECT_FALSE(dlg->TryAccept());
  dlg->UrlEdit()->setText("example.test/a.flv");
  EXPECT_FALSE(dlg->TryAccept());
  dlg->UrlEdit()->setText("http://example.test/a.flv");
  dlg->FolderBox()->setEditText("  ");
  EXPECT_FALSE(dlg->TryAccept());
  dlg->FolderBox()->setEditText(QString::fromStdString(box_.dir()));
  dlg->FileNameEdit()->setText("a%b.flv");
  EXPECT_FALSE(dlg->TryAccept());
  ASSERT_EQ(boxes_.texts.size(), 4u);
  EXPECT_EQ(boxes_.texts[0], "Error: Please enter a valid URL.");
  EXPECT_EQ(boxes_.texts[1],
            "Error: Please enter a valid URL. Be sure to add \"http://\" or \"rtmp://\" at the header of the url.");
  EXPECT_EQ(boxes_.texts[2], "Error: Please select a folder.");
  EXPECT_EQ(boxes_.texts[3],
            "Error: Please enter a valid file name. File name can not contain the following characters ' \\/:*?><|%\" '");
}

TEST_F(NewTaskDlgTest, MissingFolderIsCreatedOnlyWhenTheUserAgrees) {
  auto dlg = Open("http://example.test/a.flv");
  const std::string folder = box_.path("new");
  dlg->FolderBox()->setEditText(QString::fromStdString(folder));
  boxes_.answer = platform::IDNO;
  EXPECT_FALSE(dlg->TryAccept());
  EXPECT_FALSE(platform::FileExists(folder));
  EXPECT_EQ(boxes_.texts.back(), "Confirm: Directory \"" + folder + "/\" does not exist. Would you like to create it now?");
  boxes_.answer = platform::IDYES;
  ASSERT_TRUE(dlg->TryAccept());
  EXPECT_TRUE(platform::FileExists(folder));
  const TaskRequest& r = dlg->Result();
  EXPECT_EQ(r.SaveDir, folder + "/");
  EXPECT_EQ(r.URL, "http://example.test/a.flv");
  EXPECT_EQ(r.FileName, "a.flv");
  EXPECT_EQ(r.StartFlag, 1);
  EXPECT_EQ(r.TempFile.substr(0, 1), "{");
  EXPECT_NE(r.TempFile.find("_a.flv}.TMP!"), std::string::npos);
  EXPECT_TRUE(r.Referer.empty());

  // The folder typed without a separator is offered first next time.
  auto next = std::make_unique<CNewTaskDlg>(model_, settings_, store_);
  next->OpenNew(nullptr);
  EXPECT_EQ(next->FolderBox()->itemText(0).toStdString(), box_.dir());  // SavePath leads
  EXPECT_EQ(next->FolderBox()->itemText(1).toStdString(), folder + "/");
}

TEST_F(NewTaskDlgTest, TypingInTheUrlReplacesAnEditedFileName) {
  auto dlg = Open("");
  dlg->FileNameEdit()->setText("mine.flv");
  QTest::keyClicks(dlg->UrlEdit(), "http://example.test/other.mp4");
  EXPECT_EQ(dlg->FileNameEdit()->text(), "other.mp4");
}

TEST_F(NewTaskDlgTest, SimpleAndAdvancedForms) {
  auto dlg = Open("");
  EXPECT_TRUE(dlg->IsSimple());
  EXPECT_EQ(dlg->size(), QSize(490, 220));
  EXPECT_EQ(dlg->ToggleButton()->text(), "Advanced >>");
  EXPECT_TRUE(dlg->RefererEdit()->isHidden());
  dlg->ToggleButton()->click();
  EXPECT_EQ(dlg->size(), QSize(490, 320));
  EXPECT_EQ(dlg->Frame()->size(), QSize(460, 240));
  EXPECT_EQ(dlg->OkButton()->y(), 250);
  EXPECT_EQ(dlg->ToggleButton()->text(), "Simple <<");
  EXPECT_FALSE(dlg->RefererEdit()->isHidden());
  // Every control stays inside the dialog.
  for (QWidget* w : dlg->findChildren<QWidget*>()) {
    if (!w->isHidden() && w->parentWidget() == dlg.get()) {
      EXPECT_TRUE(dlg->rect().contains(w->geometry())) << w->metaObject()->className();
    }
  }
}

TEST_F(NewTaskDlgTest, PropertyViewIsReadOnly) {
  DataRecord t;
  t.URL = "http://example.test/a.flv";
  t.FileName = "a.flv";
  t.SaveDir = "/videos/";
  t.Comment = "note";
  CNewTaskDlg dlg(model_, settings_, store_);
  dlg.OpenProperty(t);
  EXPECT_EQ(dlg.windowTitle(), "View Property");
  EXPECT_TRUE(dlg.UrlEdit()->isReadOnly());
  EXPECT_FALSE(dlg.FolderBox()->isEnabled());
  EXPECT_TRUE(dlg.CancelButton()->isHidden());
  EXPECT_EQ(dlg.FolderBox()->currentText(), "/videos/");
  EXPECT_EQ(dlg.OkButton()->x(), 276 + 80);
}

TEST_F(NewTaskDlgTest, BrowsedFolderGetsExactlyOneSeparator) {
  auto dlg = Open("");
  dlg->TakeBrowsedFolder("/data/videos//");
  EXPECT_EQ(dlg->FolderBox()->currentText(), "/data/videos/");
  dlg->TakeBrowsedFolder("/");
  EXPECT_EQ(dlg->FolderBox()->currentText(), "/");
}

}  // namespace
