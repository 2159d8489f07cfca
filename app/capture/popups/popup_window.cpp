#include "app/capture/popups/popup_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>

// The pictures live in this static library; Qt only finds them once registered.
static void InitPopupPictures() { Q_INIT_RESOURCE(popups); }

PopupScreen PrimaryPopupScreen() {
  PopupScreen s;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return s;
  QRect area = screen->availableGeometry();
  if (area.isEmpty()) area = screen->geometry();
  // QRect's right and bottom are the last pixel inside; the stack wants the edge.
  s.workAreaRight = area.x() + area.width();
  s.workAreaBottom = area.y() + area.height();
  s.screenHeight = screen->geometry().height();
  return s;
}

PopupWindow::PopupWindow(PopupKind kind, int fullHeight)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      PopupBase(kind, fullHeight) {
  InitPopupPictures();
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_X11NetWmWindowTypeNotification);
  setFocusPolicy(Qt::NoFocus);
  resize(kWidth, fullHeight);
}

void PopupWindow::ShowPopupWindow() {
  // Nothing to cover yet: the window appears with its first non-empty place.
}

void PopupWindow::PlacePopupWindow(const PopupRect& rect) {
  const int height = rect.bottom - rect.top;
  if (height <= 0) {
    hide();
    return;
  }
  setGeometry(rect.left, rect.top, rect.right - rect.left, height);
  if (isHidden()) show();
}

const QPixmap& PopupWindow::Picture() {
  const qreal dpr = devicePixelRatioF();
  if (picture_.isNull() || picture_.devicePixelRatio() != dpr) {
    picture_ = QPixmap(QSize(kWidth, FullHeight()) * dpr);
    picture_.setDevicePixelRatio(dpr);
    picture_.fill(Qt::white);
    QPainter p(&picture_);
    p.setRenderHint(QPainter::Antialiasing);
    ComposePicture(p);
  }
  return picture_;
}

void PopupWindow::RecomposePicture() {
  picture_ = QPixmap();
  update();
}

void PopupWindow::PaintBackdrop(QPainter& painter, const QWidget* label) {
  painter.drawPixmap(QPointF(0, 0), Picture(), QRectF(QPointF(label->pos()) * devicePixelRatioF(),
                                                      QSizeF(label->size()) * devicePixelRatioF()));
}

void PopupWindow::PostToMainWindow(uint32_t msg, platform::MessageParam wParam, platform::MessageParam lParam) {
  if (request_.mainWindow) request_.mainWindow->Post(msg, wParam, lParam);
}

void PopupWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, Picture());
}

void PopupWindow::keyPressEvent(QKeyEvent* e) {
  // A popup has no default or cancel action.
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape) {
    e->accept();
    return;
  }
  QWidget::keyPressEvent(e);
}

void DrawPopupPicture(QPainter& painter, const QString& resource, const QRectF& where) {
  QSvgRenderer svg(resource);
  svg.render(&painter, where);
}
