// "Options": the settings the user may change, on three pages. Modeless;
// "OK" writes the pages into the settings in memory and tells the main
// frame, which then refreshes what the capture library monitors.
#pragma once

#include <QDialog>
#include <QString>

#include "core/settings.h"
#include "platform/window_services.h"

class QTabWidget;
class CDlgOptionsGeneral;
class CDlgOptionsPrompt;
class CDlgOptionsMonitor;

class COptionDlg : public QDialog {
  Q_OBJECT
 public:
  // `frame` is posted UM_OPTIONS_CLOSED after "OK"; `programPath` is what
  // the autostart entry runs.
  COptionDlg(Settings& settings, platform::WindowServices* frame, const QString& programPath,
             QWidget* parent = nullptr);

  QTabWidget* tabs() const { return tabs_; }
  CDlgOptionsGeneral* generalPage() const { return general_; }
  CDlgOptionsPrompt* promptPage() const { return prompt_; }
  CDlgOptionsMonitor* monitorPage() const { return monitor_; }

  // The tab shown first when the dialog opens; kept for the process's life.
  static int RememberedTab();

  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  Settings& settings_;
  platform::WindowServices* frame_;
  QTabWidget* tabs_;
  CDlgOptionsGeneral* general_;
  CDlgOptionsPrompt* prompt_;
  CDlgOptionsMonitor* monitor_;
  bool centred_ = false;
};
