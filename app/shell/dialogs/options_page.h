// A page of the options dialog: a white child of the tab control that shows
// part of the settings and writes it back on "OK".
#pragma once

#include <QWidget>

#include "core/settings.h"

class COptionsPage : public QWidget {
  Q_OBJECT
 public:
  explicit COptionsPage(QWidget* parent);
  // Writes the page's fields into `settings`.
  virtual void Apply(Settings& settings) = 0;
};
