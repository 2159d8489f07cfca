// "Prompt": the finish sound and the completion window, and how long that
// window stays.
#pragma once

#include "app/shell/dialogs/options_page.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QToolButton;

class CDlgOptionsPrompt : public COptionsPage {
  Q_OBJECT
 public:
  static constexpr int kMinSeconds = 3;
  static constexpr int kMaxSeconds = 120;

  CDlgOptionsPrompt(const Settings& settings, QWidget* parent);

  // A seconds text that is not a whole number is answered with "Enter an
  // integer." and leaves the stored seconds as they were.
  void Apply(Settings& settings) override;

  QCheckBox* soundBox() const { return sound_; }
  QCheckBox* finishPopBox() const { return finishPop_; }
  QRadioButton* manualButton() const { return manual_; }
  QRadioButton* automaticButton() const { return automatic_; }
  QLineEdit* secondsEdit() const { return seconds_; }
  QToolButton* stepUpButton() const { return up_; }
  QToolButton* stepDownButton() const { return down_; }

 private:
  void UpdateSecondsEnabled();
  void Step(int delta);
  void ClampSeconds();

  QCheckBox* sound_;
  QCheckBox* finishPop_;
  QRadioButton* manual_;
  QRadioButton* automatic_;
  QLineEdit* seconds_;
  QWidget* spin_;
  QToolButton* up_;
  QToolButton* down_;
};

// The whole number a seconds text holds (blanks around it allowed); false
// for anything else.
bool ParseWholeNumber(const QString& text, int* out);
