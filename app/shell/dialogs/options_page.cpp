#include "app/shell/dialogs/options_page.h"

#include <QPalette>

COptionsPage::COptionsPage(QWidget* parent) : QWidget(parent) {
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);
}
