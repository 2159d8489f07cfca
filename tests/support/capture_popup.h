// The capture popups of a running Tamborel on a test's X server: found by
// their caption ("(FLV) address"), clicked where they really are.
#pragma once

#include <string>

#include "tests/support/x_display.h"

namespace testsupport {

// A popup button's centre at 100 %, in the popup.
struct PopupButton {
  int x, y;
};
inline constexpr PopupButton kPopupDownload{117 + 32, 126 + 9};
inline constexpr PopupButton kPopupDownloadAgain{27 + 43, 126 + 9};
inline constexpr PopupButton kPopupCheck{119 + 28, 126 + 9};
inline constexpr PopupButton kPopupClose{176 + 6, 6 + 6};
inline constexpr int kPopupWidth = 192, kPopupHeight = 148;

// The popup whose caption matches the pattern, once it has grown to its
// full height; empty when none shows up.
std::string GrownPopup(const XDisplay& x, const std::string& captionPattern, int seconds = 60);
// Clicks a popup's button at the popup's real place and scale.
bool ClickPopupButton(const XDisplay& x, const std::string& popup, PopupButton button);
// Waits for a visible window with exactly this caption.
bool PopupShows(const XDisplay& x, const std::string& caption, int seconds = 20);
bool PopupGone(const XDisplay& x, const std::string& popup, int seconds = 30);
// The captions of every visible window, for failure messages.
std::string VisibleCaptions(const XDisplay& x);

}  // namespace testsupport
