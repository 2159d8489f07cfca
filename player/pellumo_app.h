// Start-up of the player: the hand-over to a running instance, and the
// pieces main() puts together.
#pragma once

#include <QStringList>
#include <string>

#include "platform/message_box.h"

// When another instance runs: forwards PATH (the first argument after the
// program) through the forward file and message 2004, then brings that
// instance's window to the front. True when this process should end.
bool HandOverToRunningInstance(const QStringList& arguments,
                               const std::string& recordName);

// Message boxes shown with Qt for the code below the windows.
class QtMessageBoxSink : public platform::MessageBoxSink {
 public:
  int Show(const std::string& caption, const std::string& text, uint32_t style) override;
};
