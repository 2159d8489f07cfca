// Message boxes for code below the GUI: the GUI installs the real dialog,
// tests install a recorder, and without either the text goes to stderr.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Style words and answers keep the values the program's dialogs were built on.
enum MessageBoxStyle : uint32_t {
  MB_OK = 0x00,
  MB_OKCANCEL = 0x01,
  MB_YESNOCANCEL = 0x03,
  MB_YESNO = 0x04,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
};

enum MessageBoxAnswer : int {
  IDOK = 1,
  IDCANCEL = 2,
  IDYES = 6,
  IDNO = 7,
};

class MessageBoxSink {
 public:
  virtual ~MessageBoxSink() = default;
  // Shows the box and returns the button chosen (IDOK, IDYES, ...).
  virtual int Show(const std::string& caption, const std::string& text, uint32_t style) = 0;
};

// Installs the sink used from now on; nullptr goes back to stderr. The sink
// must outlive its use. User-interface thread only.
void SetMessageBoxSink(MessageBoxSink* sink);

// Shows through the installed sink. Without one the text is written to
// stderr and the answer is the cautious one (OK, Cancel or No).
int ShowMessageBox(const std::string& caption, const std::string& text, uint32_t style);

}  // namespace platform
