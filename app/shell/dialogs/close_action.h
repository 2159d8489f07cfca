// What the main window's close button does: ask, or follow the action the
// user asked to keep.
#pragma once

#include <functional>
#include <optional>

#include "core/settings.h"

inline constexpr int kCloseToTray = 1;
inline constexpr int kCloseExit = 2;

struct CloseChoice {
  int action = kCloseToTray;  // kCloseToTray or kCloseExit
  bool doNotAskAgain = false;
};

// Asks the user, preset to an action; nullopt when cancelled.
using CloseActionAsker = std::function<std::optional<CloseChoice>(int presetAction)>;

// The action to take: kCloseToTray hides to the tray, 0 does nothing
// (cancelled), anything else exits. With no remembered action the user is
// asked; the answer becomes the preset of the next question and, when it is
// to be kept, the remembered action.
int ResolveCloseAction(Settings& settings, const CloseActionAsker& ask);
