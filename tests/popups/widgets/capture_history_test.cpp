// The capture history dialog against a frame that keeps its records in a
// vector, the way the program's frame answers the dialog's messages.
#include "app/capture/popups/ccaptrue_history.h"

#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

#include <gtest/gtest.h>

#include "app/capture/popups/cmultiline_list_ctrl.h"
#include "tests/popups/popup_test_support.h"

namespace {

class VectorHistory : public CaptureHistoryFrame {
 public:
  void Add(int32_t id, const std::string& pattern = "*.flv") {
    CaptureHistoryRow r;
    r.id = id;
    r.address = "http://v.example/" + std::to_string(id) + ".flv";
    r.typePattern = pattern;
    r.time = {2026, 12, 10, 9, 5, 7};
    rows.push_back(r);
  }
  void AttachHistory(std::vector<CaptureHistoryRow>& out) override {
    ++attaches;
    out = rows;
  }
  void DownloadCapture(int32_t id) override {
    downloads.push_back(id);
    if (refuse) return;
    rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const auto& r) { return r.id == id; }), rows.end());
  }
  void ClearHistory() override {
    ++clears;
    rows.clear();
  }

  std::vector<CaptureHistoryRow> rows;
  std::vector<int32_t> downloads;
  int attaches = 0, clears = 0;
  bool refuse = false;
};

std::vector<int32_t> IdsTopDown(CCaptrueHistory& dialog) {
  std::vector<int32_t> ids;
  for (int j = 0; j < dialog.List()->topLevelItemCount(); ++j)
    ids.push_back(dialog.List()->topLevelItem(j)->data(0, Qt::UserRole).toInt());
  return ids;
}

int SelectedRow(CCaptrueHistory& dialog) {
  auto items = dialog.List()->selectedItems();
  return items.isEmpty() ? -1 : dialog.List()->indexOfTopLevelItem(items.first());
}

void Select(CCaptrueHistory& dialog, int row) {
  dialog.List()->clearSelection();
  dialog.List()->topLevelItem(row)->setSelected(true);
}

TEST(CaptureHistoryDialog, NewestOnTopAndDownloadFollowsTheSelection) {
  TestApp();
  VectorHistory frame;
  for (int id = 1; id <= 4; ++id) frame.Add(id);
  auto* dialog = new CCaptrueHistory(&frame);
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Capture History"));
  EXPECT_EQ(IdsTopDown(*dialog), (std::vector<int32_t>{4, 3, 2, 1}));
  EXPECT_FALSE(dialog->DownloadButton()->isEnabled());
  EXPECT_EQ(dialog->List()->headerItem()->text(0), QStringLiteral(" Thumbnail "));
  EXPECT_EQ(dialog->List()->headerItem()->text(1), QStringLiteral(" URL and FileType "));
  EXPECT_EQ(dialog->List()->columnWidth(0), 84);

  struct Step {
    int selectRow;
    int32_t downloadedId;
    std::vector<int32_t> after;
    int selectedAfter;
  } steps[] = {
      {3, 1, {4, 3, 2}, 2},  // the last row: the new last row is selected
      {0, 4, {3, 2}, 0},     // any other: the same index
      {1, 2, {3}, 0},
      {0, 3, {}, -1},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.downloadedId);
    Select(*dialog, s.selectRow);
    ASSERT_TRUE(dialog->DownloadButton()->isEnabled());
    dialog->DownloadButton()->click();
    EXPECT_EQ(frame.downloads.back(), s.downloadedId);
    EXPECT_EQ(IdsTopDown(*dialog), s.after);
    EXPECT_EQ(SelectedRow(*dialog), s.selectedAfter);
    EXPECT_EQ(dialog->DownloadButton()->isEnabled(), s.selectedAfter >= 0);
  }
  delete dialog;
}

TEST(CaptureHistoryDialog, RefreshKeepsTheSelectedCapture) {
  TestApp();
  VectorHistory frame;
  frame.Add(1);
  frame.Add(2);
  auto* dialog = new CCaptrueHistory(&frame);
  Select(*dialog, 1);  // capture 1
  frame.Add(3);        // arrives on top
  dialog->Refresh();
  EXPECT_EQ(IdsTopDown(*dialog), (std::vector<int32_t>{3, 2, 1}));
  EXPECT_EQ(SelectedRow(*dialog), 2);
  frame.rows.erase(frame.rows.begin());  // capture 1 becomes a task elsewhere
  dialog->Refresh();
  EXPECT_EQ(SelectedRow(*dialog), -1);
  EXPECT_FALSE(dialog->DownloadButton()->isEnabled());

  // A refused download leaves the record, still selectable.
  frame.refuse = true;
  Select(*dialog, 0);
  dialog->DownloadButton()->click();
  EXPECT_EQ(IdsTopDown(*dialog), (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(SelectedRow(*dialog), 0);
  delete dialog;
}

TEST(CaptureHistoryDialog, ClearAllAndClose) {
  TestApp();
  VectorHistory frame;
  frame.Add(1);
  frame.Add(2);
  auto* dialog = new CCaptrueHistory(&frame);
  dialog->show();
  dialog->ClearButton()->click();
  EXPECT_EQ(frame.clears, 1);
  EXPECT_EQ(dialog->List()->topLevelItemCount(), 0);
  int destroyed = 0;
  QObject::connect(dialog, &QObject::destroyed, [&] { ++destroyed; });
  dialog->CloseButton()->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(destroyed, 1);
}

TEST(CaptureHistoryDialog, RowsAre58PixelsWithTheirText) {
  TestApp();
  VectorHistory frame;
  frame.Add(1, "*.MP3");
  auto* dialog = new CCaptrueHistory(&frame);
  dialog->show();
  EXPECT_EQ(dialog->List()->visualItemRect(dialog->List()->topLevelItem(0)).height(), 58);
  const CaptureHistoryRow* record = dialog->List()->RecordOfRow(0);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(CMultilineListCtrl::RowText(*record, QString::fromStdString(record->address)),
            QStringLiteral("\n http://v.example/1.flv \n Capture Time: 2026-12-10 09:05:07          File Type:*.MP3"));
  delete dialog;
}

TEST(CaptureHistoryDialog, AddressIsCutToTheColumn) {
  TestApp();
  QFont font;
  const QFontMetrics m(font);
  const QString address = QStringLiteral("http://v.example/") + QString(200, QLatin1Char('a'));
  struct Case {
    int width;
  } cases[] = {{100}, {300}, {2000}};
  for (const Case& c : cases) {
    const QString shown = CMultilineListCtrl::FitAddress(address, m, c.width);
    const QString drawn = QStringLiteral(" ") + shown + QStringLiteral(" ");
    EXPECT_LE(m.horizontalAdvance(drawn), c.width) << c.width;
    if (shown != address) {
      EXPECT_TRUE(shown.endsWith(QStringLiteral("...")));
      EXPECT_TRUE(address.startsWith(shown.left(shown.size() - 3)));
      // One more character would not have fitted.
      const QString longer = address.left(shown.size() - 2) + QStringLiteral("...");
      EXPECT_GT(m.horizontalAdvance(QStringLiteral(" ") + longer + QStringLiteral(" ")), c.width);
    }
  }
  EXPECT_EQ(CMultilineListCtrl::FitAddress(QStringLiteral("http://a/b"), m, 2000), QStringLiteral("http://a/b"));
}

}  // namespace
