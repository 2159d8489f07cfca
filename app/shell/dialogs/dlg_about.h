// "About": the product name and its version.
#pragma once

#include <QDialog>

class CDlgAbout : public QDialog {
  Q_OBJECT
 public:
  explicit CDlgAbout(QWidget* parent = nullptr);
};
