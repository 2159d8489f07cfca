#include "app/shell/plain_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>

#include "ui/message_box_icon.h"

namespace shell {

namespace {

int CautiousAnswer(uint32_t style) {
  switch (style & 0x0F) {
    case platform::MB_OKCANCEL:
    case platform::MB_YESNOCANCEL: return platform::IDCANCEL;
    case platform::MB_YESNO: return platform::IDNO;
    default: return platform::IDOK;
  }
}

}  // namespace

int PlainMessageBox::Show(const std::string& caption, const std::string& text, uint32_t style) {
  if (text.empty()) return 0;
  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(caption.empty() ? QStringLiteral("Error") : QString::fromStdString(caption));
  box.setText(QString::fromStdString(text));
  box.setIcon(ui::MessageBoxIcon(style));
  struct Choice { QString label; int result; QMessageBox::ButtonRole role; };
  std::vector<Choice> choices;
  switch (style & 0x0F) {
    case platform::MB_OK: choices = {{"Ok", platform::IDOK, QMessageBox::AcceptRole}}; break;
    case platform::MB_OKCANCEL:
      choices = {{"Ok", platform::IDOK, QMessageBox::AcceptRole}, {"Cancel", platform::IDCANCEL, QMessageBox::RejectRole}};
      break;
    case platform::MB_YESNOCANCEL:
      choices = {{"Yes", platform::IDYES, QMessageBox::YesRole}, {"No", platform::IDNO, QMessageBox::NoRole},
                 {"Cancel", platform::IDCANCEL, QMessageBox::RejectRole}};
      break;
    case platform::MB_YESNO:
      choices = {{"Yes", platform::IDYES, QMessageBox::YesRole}, {"No", platform::IDNO, QMessageBox::NoRole}};
      break;
    default: return 0;
  }
  std::vector<QAbstractButton*> buttons;
  for (const Choice& c : choices) buttons.push_back(box.addButton(c.label, c.role));
  box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
  box.exec();
  for (size_t i = 0; i < buttons.size(); ++i)
    if (box.clickedButton() == buttons[i]) return choices[i].result;
  return CautiousAnswer(style);
}

int UiThreadMessageBox::Show(const std::string& caption, const std::string& text, uint32_t style) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app && QThread::currentThread() != app->thread()) {
    QMetaObject::invokeMethod(app, [this, caption, text, style] { inner_.Show(caption, text, style); },
                              Qt::QueuedConnection);
    return CautiousAnswer(style);
  }
  return inner_.Show(caption, text, style);
}

}  // namespace shell
