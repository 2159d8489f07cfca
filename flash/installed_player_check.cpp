#include "flash/installed_player_check.h"

#include <QDesktopServices>
#include <QUrl>
#include <cstdlib>
#include <string>

#include "flash/flash_control.h"
#include "platform/message_box.h"

namespace flash {

const char kPlayerDownloadAddress[] = "https://www.quorlin.com/flashplayer/";

namespace {

constexpr int kMinimumMajorVersion = 9;

std::string NotInstalledText() {
  return std::string("Adobe Flash Player has not been installed. Please install it firstly.\n\n") +
         kPlayerDownloadAddress;
}

void Exit(const PlayerCheckActions& actions) {
  if (actions.exitNow) return actions.exitNow();
  // At once, without running any clean-up of the half-built program.
  std::_Exit(0);
}

}  // namespace

PlayerCheck ExaminePlayer(const FlashControl* control) {
  if (control == nullptr) return PlayerCheck::NotInstalled;
  if (!control->HasWindow()) return PlayerCheck::TooOld;
  const int major = static_cast<int>(static_cast<unsigned>(control->FlashVersion()) >> 16);
  return major < kMinimumMajorVersion ? PlayerCheck::TooOld : PlayerCheck::Ready;
}

bool VerifyInstalledPlayer(const FlashControl* control, const PlayerCheckActions& actions) {
  switch (ExaminePlayer(control)) {
    case PlayerCheck::Ready:
      return true;
    case PlayerCheck::NotInstalled:
      platform::ShowMessageBox("Warning", NotInstalledText(), platform::MB_OK | platform::MB_ICONWARNING);
      break;
    case PlayerCheck::TooOld: {
      const std::string text =
          std::string("Your Adobe Flash Player's version is too old. Upgrade it now?\n") + kPlayerDownloadAddress;
      if (platform::ShowMessageBox("Confirm", text, platform::MB_YESNO | platform::MB_ICONQUESTION) ==
          platform::IDYES) {
        const QString address = QString::fromLatin1(kPlayerDownloadAddress);
        if (actions.openAddress)
          actions.openAddress(address);
        else
          QDesktopServices::openUrl(QUrl(address));
      }
      break;
    }
  }
  Exit(actions);
  return false;
}

bool VerifyPlayerCreated(const FlashControl* control, const PlayerCheckActions& actions) {
  if (control != nullptr) return true;
  platform::ShowMessageBox("Error", NotInstalledText(), platform::MB_OK | platform::MB_ICONERROR);
  Exit(actions);
  return false;
}

}  // namespace flash
