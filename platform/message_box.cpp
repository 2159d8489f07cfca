#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

namespace platform {

namespace {
std::atomic<MessageBoxSink*> g_sink{nullptr};
}  // namespace

void SetMessageBoxSink(MessageBoxSink* sink) { g_sink.store(sink); }

int ShowMessageBox(const std::string& caption, const std::string& text, uint32_t style) {
  if (MessageBoxSink* sink = g_sink.load()) return sink->Show(caption, text, style);
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  switch (style & 0x0F) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
      return IDCANCEL;
    case MB_YESNO:
      return IDNO;
    default:
      return IDOK;
  }
}

}  // namespace platform
