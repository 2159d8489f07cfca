// The program's message box: buttons and answers of each style, the layout
// in pixels, which styles Escape may close, and the sink that routes the
// program's messages to it.
#include "app/shell/dialogs/dlg_message_box.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "tests/dialogs/dialog_test_support.h"

namespace {

using dialogtest::WhenModalShows;

QStringList Labels(const CDlgMessageBox& box) {
  QStringList labels;
  for (QPushButton* b : box.buttons()) labels << b->text();
  return labels;
}

TEST(DlgMessageBox, EachButtonSetAnswersWithItsButtons) {
  testsupport::OffscreenApp();
  struct Case {
    uint32_t style;
    QStringList labels;
    std::vector<int> results;
  } cases[] = {
      {0x0, {"Ok"}, {1}},
      {0x1, {"Ok", "Cencel"}, {1, 2}},
      {0x3, {"Yes", "No", "Cencel"}, {6, 7, 2}},
      {0x4, {"Yes", "No"}, {6, 7}},
      {0x5, {"Retry", "Cencel"}, {4, 2}},
      {0x6, {"Cencel", "Retry", "Continue"}, {2, 10, 11}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    CDlgMessageBox box(QStringLiteral("text"), QStringLiteral("Message"), c.style);
    EXPECT_EQ(Labels(box), c.labels);
    for (size_t i = 0; i < c.results.size(); ++i) {
      auto modal = WhenModalShows([i](QWidget* w) {
        static_cast<CDlgMessageBox*>(w)->buttons()[i]->click();
      });
      EXPECT_EQ(CDlgMessageBox::Run(QStringLiteral("text"), QStringLiteral("Message"), c.style),
                c.results[i]);
    }
  }
}

TEST(DlgMessageBox, NothingToShowAnswersZeroWithoutABox) {
  testsupport::OffscreenApp();
  for (uint32_t style : {0x2u, 0x7u, 0x8u, 0xFu, 0x27u}) {
    SCOPED_TRACE(style);
    bool anyShown = false;
    auto modal = WhenModalShows([&](QWidget*) { anyShown = true; });
    EXPECT_EQ(CDlgMessageBox::Run(QStringLiteral("text"), QString(), style), 0);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(anyShown);
  }
  EXPECT_EQ(CDlgMessageBox::Run(QString(), QStringLiteral("Error"), 0x0), 0);
}

TEST(DlgMessageBox, ButtonsEndTheRowAt440) {
  testsupport::OffscreenApp();
  struct Case {
    uint32_t style;
    std::vector<int> lefts;
  } cases[] = {{0x0, {380}}, {0x4, {310, 380}}, {0x3, {240, 310, 380}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    CDlgMessageBox box(QStringLiteral("text"), QStringLiteral("Confirm"), c.style);
    EXPECT_EQ(box.size(), QSize(450, 250));
    ASSERT_EQ(box.buttons().size(), c.lefts.size());
    for (size_t i = 0; i < c.lefts.size(); ++i) {
      EXPECT_EQ(box.buttons()[i]->geometry(), QRect(c.lefts[i], 210, 60, 25));
    }
  }
}

TEST(DlgMessageBox, IconAndTextPlaces) {
  testsupport::OffscreenApp();
  struct Case {
    uint32_t style;
    int icon;  // QStyle::StandardPixmap, or -1 for none
    QRect text;
  } cases[] = {
      {0x10, QStyle::SP_MessageBoxCritical, {60, 5, 380, 195}},
      {0x24, QStyle::SP_MessageBoxQuestion, {60, 5, 380, 195}},
      {0x30, QStyle::SP_MessageBoxWarning, {60, 5, 380, 195}},
      {0x40, QStyle::SP_MessageBoxInformation, {60, 5, 380, 195}},
      {0x00, -1, {5, 5, 435, 195}},
      {0x50, -1, {5, 5, 435, 195}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    CDlgMessageBox box(QStringLiteral("Some words."), QStringLiteral("Message"), c.style);
    auto* icon = box.findChild<QLabel*>(QStringLiteral("icon"));
    if (c.icon < 0) {
      EXPECT_EQ(icon, nullptr);
    } else {
      ASSERT_NE(icon, nullptr);
      EXPECT_EQ(icon->property("standardIcon").toInt(), c.icon);
      EXPECT_EQ(icon->geometry(), QRect(5, 5, 40, 40));
    }
    auto* text = box.findChild<QLabel*>(QStringLiteral("text"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->geometry(), c.text);
    EXPECT_EQ(text->text(), QStringLiteral("Some words."));
  }
}

TEST(DlgMessageBox, EscapeClosesOnlyBoxesWithCancel) {
  testsupport::OffscreenApp();
  struct Case {
    uint32_t style;
    bool closes;
  } cases[] = {{0x24, false}, {0x40, false}, {0x21, true}, {0x33, true}, {0x05, true}, {0x06, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    bool stillOpen = false;
    auto modal = WhenModalShows([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, &stillOpen);
    int answer = CDlgMessageBox::Run(QStringLiteral("Sure?"), QStringLiteral("Confirm"), c.style);
    EXPECT_EQ(stillOpen, !c.closes);
    if (c.closes) {
      EXPECT_EQ(answer, platform::IDCANCEL);
    }
  }
}

TEST(DlgMessageBox, EmptyCaptionIsError) {
  testsupport::OffscreenApp();
  CDlgMessageBox untitled(QStringLiteral("text"), QString(), 0x10);
  EXPECT_EQ(untitled.windowTitle(), QStringLiteral("Error"));
  CDlgMessageBox titled(QStringLiteral("text"), QStringLiteral("Warning"), 0x30);
  EXPECT_EQ(titled.windowTitle(), QStringLiteral("Warning"));
}

TEST(DlgMessageBox, FirstButtonHasTheFocus) {
  testsupport::OffscreenApp();
  bool focused = false;
  auto modal = WhenModalShows([&](QWidget* w) {
    auto* box = static_cast<CDlgMessageBox*>(w);
    focused = box->focusWidget() == box->buttons().front();
    QTest::keyClick(box, Qt::Key_Return);
  });
  EXPECT_EQ(CDlgMessageBox::Run(QStringLiteral("Go on?"), QStringLiteral("Confirm"), 0x24),
            platform::IDYES);
  EXPECT_TRUE(focused);
}

TEST(DlgMessageBoxSink, ProgramMessagesUseTheBoxFromAnyThread) {
  testsupport::OffscreenApp();
  CDlgMessageBoxSink sink;
  platform::SetMessageBoxSink(&sink);
  QString caption;
  auto modal = WhenModalShows([&](QWidget* w) {
    caption = w->windowTitle();
    static_cast<CDlgMessageBox*>(w)->buttons()[1]->click();
  });
  EXPECT_EQ(platform::ShowMessageBox("Confirm", "Quit?", 0x24), platform::IDNO);
  EXPECT_EQ(caption, QStringLiteral("Confirm"));

  // A worker's message waits for the box on the user-interface thread.
  QString workerCaption;
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<CDlgMessageBox*>(QApplication::activeModalWidget())) {
      workerCaption = box->windowTitle();
      box->buttons()[0]->click();
    }
  });
  answerer.start(10);
  std::future<int> answer =
      std::async(std::launch::async, [] { return platform::ShowMessageBox("", "Failed.", 0x10); });
  auto answered = [&] { return answer.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; };
  EXPECT_TRUE(QTest::qWaitFor(answered, 10000));
  answerer.stop();
  platform::SetMessageBoxSink(nullptr);
  ASSERT_EQ(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(answer.get(), platform::IDOK);
  EXPECT_EQ(workerCaption, QStringLiteral("Error"));
}

}  // namespace
