// The "Error Report" dialog: the summary of the crash report and the
// choice between sending it and closing.
#pragma once

#include <QDialog>
#include <QString>

class QPushButton;

class CDlgFaultwick : public QDialog {
 public:
  enum Result { kSendReport = 1, kClose = 2 };

  explicit CDlgFaultwick(const QString& report_text, QWidget* parent = nullptr);

  QPushButton* send_button() const { return send_; }
  QPushButton* close_button() const { return close_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;

 private:
  QPushButton* send_ = nullptr;
  QPushButton* close_ = nullptr;
};
