// "Monitored programs": the browsers whose requests the capture library
// watches, each with its monitored mark.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "core/settings.h"

class QListWidget;
class QPushButton;

class CDlgOptionsCapture : public QDialog {
  Q_OBJECT
 public:
  // The program picker: parent -> full path of the chosen file, or empty.
  using ProgramPicker = std::function<QString(QWidget*)>;

  // "OK" replaces the browser list of `settings`. Browsers installed on the
  // system (executable names) that no entry names yet follow as unticked rows.
  explicit CDlgOptionsCapture(Settings& settings, QWidget* parent = nullptr,
                              const std::vector<std::string>& installedBrowsers = {});

  void SetProgramPicker(ProgramPicker picker) { pickProgram_ = std::move(picker); }

  // Adds the program at `path` as a checked, selected row (or checks and
  // selects the row it has already). Chrome is refused with a message.
  void AddProgram(const QString& path);

  QListWidget* list() const { return list_; }
  QPushButton* addButton() const { return add_; }
  QPushButton* removeButton() const { return remove_; }

  // True for the browsers that come with the program (any case).
  static bool IsBuiltInBrowser(const QString& rowText);

  void accept() override;

 private:
  void UpdateRemoveEnabled();

  Settings& settings_;
  ProgramPicker pickProgram_;
  QListWidget* list_;
  QPushButton* add_;
  QPushButton* remove_;
};
