// The program's look: its pictures (SVG, sharp at any scale) and one calm,
// flat style sheet with the tree's selection colour as the accent.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

class QApplication;

namespace ui {

// The accent colour: selected tree items and list rows.
inline QColor AccentColor() { return QColor(226, 240, 194); }

// A picture by its file name without ".svg" ("status_failed", "tb_start").
QIcon Picture(const char* name);
// The same rendered at `width` x `height` logical pixels for the device ratio.
QPixmap PicturePixmap(const char* name, int width, int height, qreal deviceRatio);

// Installs the style sheet on the application.
void ApplyStyle(QApplication& app);

}  // namespace ui
