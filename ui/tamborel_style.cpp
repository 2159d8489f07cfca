#include "ui/tamborel_style.h"

#include <QApplication>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

// Resources of a static library are registered by hand, once.
static void InitTamborelPictures() { Q_INIT_RESOURCE(tamborel_pictures); }

namespace ui {

namespace {

QString PicturePath(const char* name) {
  static bool once = (InitTamborelPictures(), true);
  (void)once;
  return QStringLiteral(":/tamborel/%1.svg").arg(QLatin1String(name));
}

}  // namespace

QIcon Picture(const char* name) { return QIcon(PicturePath(name)); }

QPixmap PicturePixmap(const char* name, int width, int height, qreal deviceRatio) {
  QSvgRenderer renderer(PicturePath(name));
  QPixmap pix(qRound(width * deviceRatio), qRound(height * deviceRatio));
  pix.fill(Qt::transparent);
  QPainter p(&pix);
  renderer.render(&p);
  p.end();
  pix.setDevicePixelRatio(deviceRatio);
  return pix;
}

void ApplyStyle(QApplication& app) {
  app.setStyle(QStringLiteral("Fusion"));
  app.setStyleSheet(QStringLiteral(
      "QTreeView { background: white; alternate-background-color: #f6f8f3; }"
      "QTreeView::item:selected { background: rgb(226,240,194); color: black; }"
      "QHeaderView::section { background: #eef1ea; border: none; border-right: 1px solid #d5dacd;"
      "  border-bottom: 1px solid #d5dacd; padding: 3px 2px; }"
      "QToolBar { background: #f4f6f1; border-bottom: 1px solid #d5dacd; spacing: 0px; }"
      "QToolButton { border: 1px solid transparent; border-radius: 3px; }"
      "QToolButton:hover { background: rgb(226,240,194); border-color: #b8cc8a; }"
      "QStatusBar { background: #f4f6f1; border-top: 1px solid #d5dacd; }"
      "QStatusBar::item { border: none; }"
      "QSplitter::handle { background: #e2e6dc; }"));
}

}  // namespace ui
