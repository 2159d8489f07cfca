// "Monitor": which file types the capture library reports, and the button
// to the list of monitored programs.
#pragma once

#include <array>
#include <functional>

#include "app/shell/dialogs/options_page.h"

class QCheckBox;
class QPushButton;

class CDlgOptionsMonitor : public COptionsPage {
  Q_OBJECT
 public:
  // The monitored-programs dialog is run on the live settings: its "OK"
  // replaces the browser list at once, whatever the options dialog does.
  CDlgOptionsMonitor(Settings& settings, QWidget* parent);

  void Apply(Settings& settings) override;

  // The box of media type `index` (0 to 16).
  QCheckBox* typeBox(int index) const { return types_[index]; }
  QPushButton* programsButton() const { return programs_; }

  // Label of media type `index` as the page shows it.
  static QString TypeLabel(int index);

 private:
  std::array<QCheckBox*, kMediaTypeCount> types_{};
  QPushButton* programs_;
};
