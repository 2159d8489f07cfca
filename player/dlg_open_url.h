// "Open URL": an editable list of the recent addresses; OK accepts only an
// address that starts with "HTTP://" or "RMTP://" (any case).
#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;

class CDlgOpenURL : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kMaxInput = 1000;

  explicit CDlgOpenURL(const QStringList& recent, QWidget* parent = nullptr);

  // The trimmed, accepted address once the dialog was accepted.
  const QString& Url() const { return url_; }
  QComboBox* Combo() const { return combo_; }

 public slots:
  void accept() override;

 private:
  QComboBox* combo_;
  QString url_;
};
