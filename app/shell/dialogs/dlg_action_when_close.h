// "Select your action": what the close button of the main window does.
#pragma once

#include <QDialog>

#include <optional>


struct CloseChoice {
  int action;  // shell::kCloseToTray or shell::kCloseProgram
  bool doNotAskAgain;
};

class QCheckBox;
class QRadioButton;

class CDlgActionWhenClose : public QDialog {
  Q_OBJECT
 public:
  // Runs the dialog modally; nullopt on Cancel.
  static std::optional<CloseChoice> Ask(int presetAction, QWidget* parent);

  explicit CDlgActionWhenClose(int presetAction, QWidget* parent = nullptr);

  // What the dialog shows now.
  CloseChoice Choice() const;

  QRadioButton* closeButton() const { return close_; }
  QRadioButton* trayButton() const { return tray_; }
  QCheckBox* doNotAskBox() const { return doNotAsk_; }

 private:
  QRadioButton* close_;
  QRadioButton* tray_;
  QCheckBox* doNotAsk_;
};
