// The icon a plain Qt message box shows for a message-box style's icon bits.
#pragma once

#include <QMessageBox>
#include <cstdint>

#include "platform/message_box.h"

namespace ui {

inline QMessageBox::Icon MessageBoxIcon(uint32_t style) {
  switch (style & 0xF0) {
    case platform::MB_ICONERROR: return QMessageBox::Critical;
    case platform::MB_ICONQUESTION: return QMessageBox::Question;
    case platform::MB_ICONWARNING: return QMessageBox::Warning;
    case platform::MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

}  // namespace ui
