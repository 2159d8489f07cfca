#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>

#include "platform/message_box.h"
#include "player/dlg_open_url.h"

namespace {

struct CountBoxes : platform::MessageBoxSink {
  std::vector<std::string> texts;
  int Show(const std::string&, const std::string& text, uint32_t) override {
    texts.push_back(text);
    return platform::IDOK;
  }
};

TEST(DlgOpenURL, AcceptsOnlyHttpAndRmtpAddresses) {
  CountBoxes boxes;
  platform::SetMessageBoxSink(&boxes);
  struct Case { const char* typed; bool accepted; const char* url; };
  const Case cases[] = {
      {"  http://127.0.0.1/a.flv \t", true, "http://127.0.0.1/a.flv"},
      {"rMtP://127.0.0.1/app/x", true, "rMtP://127.0.0.1/app/x"},
      {"rtmp://127.0.0.1/app/x", false, ""},
      {"   ", false, ""},
  };
  for (const Case& c : cases) {
    CDlgOpenURL dlg({});
    dlg.Combo()->setEditText(c.typed);
    boxes.texts.clear();
    dlg.accept();
    EXPECT_EQ(dlg.result() == QDialog::Accepted, c.accepted) << c.typed;
    EXPECT_EQ(dlg.Url(), QString(c.url));
    if (!c.accepted) {
      EXPECT_EQ(boxes.texts, std::vector<std::string>{"Please enter a valid URL."});
    }
  }
  platform::SetMessageBoxSink(nullptr);
}

TEST(DlgOpenURL, StartsWithTheMostRecentAddressSelected) {
  CDlgOpenURL dlg({"http://127.0.0.1/long/" + QString(200, 'x') + ".flv", "http://b"});
  EXPECT_EQ(dlg.Combo()->currentText().left(22), "http://127.0.0.1/long/");
  EXPECT_EQ(dlg.Combo()->count(), 2);
  EXPECT_EQ(dlg.Combo()->lineEdit()->maxLength(), 1000);
}

}  // namespace
