#include "player/pellumo_app.h"

#include <QApplication>
#include <QMessageBox>

#include "player/forward_file.h"
#include "player/instance_record.h"
#include "player/player_commands.h"
#include "ui/message_box_icon.h"

bool HandOverToRunningInstance(const QStringList& arguments, const std::string& recordName) {
  platform::WindowHandle other = FindRunningInstance(recordName);
  if (other == 0) return false;
  if (arguments.size() >= 2) {
    // Nothing is written when the file cannot be made; the other instance
    // then says it cannot open it.
    WriteForwardFile(ForwardFilePath(), arguments.at(1));
    platform::SendWindowMessage(other, WM_OPEN_FORWARDED, 0, 0);
  }
  platform::SendWindowMessage(other, WM_RAISE_INSTANCE, 0, 0);
  return true;
}

int QtMessageBoxSink::Show(const std::string& caption, const std::string& text, uint32_t style) {
  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(QString::fromStdString(caption));
  box.setText(QString::fromStdString(text));
  box.setIcon(ui::MessageBoxIcon(style));
  switch (style & 0x0F) {
    case platform::MB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      return box.exec() == QMessageBox::Yes ? platform::IDYES : platform::IDNO;
    case platform::MB_OKCANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      return box.exec() == QMessageBox::Ok ? platform::IDOK : platform::IDCANCEL;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      box.exec();
      return platform::IDOK;
  }
}
