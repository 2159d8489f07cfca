// The start-up check of the installed player: both programs refuse to run
// without a control, or with one older than version 9.
#pragma once

#include <QString>
#include <functional>

namespace flash {

class FlashControl;

// Where the messages send the user for a player.
extern const char kPlayerDownloadAddress[];

enum class PlayerCheck { Ready, NotInstalled, TooOld };

// What the check finds: no control, a control without a window or a major
// version (upper 16 bits) below 9 fail it.
PlayerCheck ExaminePlayer(const FlashControl* control);

// How the check ends the program; tests replace both.
struct PlayerCheckActions {
  std::function<void(const QString& address)> openAddress;  // default: the desktop's handler
  std::function<void()> exitNow;                              // default: end at once with code 0
};

// The main frame's and the player view's check: shows the message and ends
// the process unless the player is ready. True when it is.
bool VerifyInstalledPlayer(const FlashControl* control, const PlayerCheckActions& actions = {});

// The preview pane's check, of creation only, with an error box.
bool VerifyPlayerCreated(const FlashControl* control, const PlayerCheckActions& actions = {});

}  // namespace flash
