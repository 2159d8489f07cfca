// The program's one message box: a caption, an icon and up to three buttons
// from a style word with the platform's message-box meaning (low four bits
// the button set, the next four the icon).
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <vector>

#include "platform/message_box.h"

class QPushButton;

class CDlgMessageBox : public QDialog {
  Q_OBJECT
 public:
  // Answers beyond those of platform/message_box.h.
  static constexpr int kIdRetry = 4;
  static constexpr int kIdTryAgain = 10;
  static constexpr int kIdContinue = 11;

  // Shows the box modally over the screen and returns the answer, or 0 when
  // there is nothing to show (empty text, unsupported button set).
  static int Run(const QString& text, const QString& caption, uint32_t style);

  // False for an empty text or a button set the box does not have.
  static bool CanShow(const QString& text, uint32_t style);

  CDlgMessageBox(const QString& text, const QString& caption, uint32_t style,
                 QWidget* parent = nullptr);

  const std::vector<QPushButton*>& buttons() const { return buttons_; }

 protected:
  // Escape and the close box answer Cancel where the box has one.
  void reject() override;
  void showEvent(QShowEvent* event) override;

 private:
  uint32_t style_;
  std::vector<QPushButton*> buttons_;
};

// Routes every message of the program through CDlgMessageBox; installed at
// start-up with platform::SetMessageBoxSink. Calls from other threads wait
// for the box on the user-interface thread.
class CDlgMessageBoxSink : public platform::MessageBoxSink {
 public:
  int Show(const std::string& caption, const std::string& text, uint32_t style) override;
};
