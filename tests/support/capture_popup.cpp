#include "tests/support/capture_popup.h"

#include <sstream>

#include "tests/support/wait_until.h"

namespace testsupport {

std::string GrownPopup(const XDisplay& x, const std::string& captionPattern, int seconds) {
  std::string shown;
  WaitUntil([&] {
    shown = x.VisibleWindows(captionPattern);
    shown = shown.substr(0, shown.find('\n'));
    if (shown.empty()) return false;
    const auto r = x.Geometry(shown);
    return r && r->width > 0 && r->height * kPopupWidth == r->width * kPopupHeight;
  }, seconds);
  return shown;
}

bool ClickPopupButton(const XDisplay& x, const std::string& popup, PopupButton button) {
  const auto r = x.Geometry(popup);
  if (!r) return false;
  const double scale = static_cast<double>(r->width) / kPopupWidth;
  return x.Click(r->x + static_cast<int>(button.x * scale), r->y + static_cast<int>(button.y * scale));
}

bool PopupShows(const XDisplay& x, const std::string& caption, int seconds) {
  return WaitUntil([&] { return !x.VisibleWindows(XDisplay::ExactTitle(caption)).empty(); }, seconds);
}

bool PopupGone(const XDisplay& x, const std::string& popup, int seconds) {
  return WaitUntil([&] {
    std::istringstream ids(x.VisibleWindows("."));
    for (std::string id; std::getline(ids, id);)
      if (id == popup) return false;
    return true;
  }, seconds);
}

std::string VisibleCaptions(const XDisplay& x) {
  std::string names;
  std::istringstream ids(x.VisibleWindows("."));
  for (std::string id; std::getline(ids, id);) {
    std::string name;
    RunCommand({"xdotool", "getwindowname", id}, &name, 10000);
    names += name;
  }
  return names;
}

}  // namespace testsupport
