// The window side of a popup: a frameless tool window above the others that
// never takes the keyboard focus, painted from a composed picture that its
// labels show through.
#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

#include "app/capture/popups/cwnd_text.h"
#include "app/capture/popups/popup_base.h"
#include "app/capture/popups/popup_stack.h"
#include "app/capture/popups/popup_request.h"
#include "platform/window_services.h"

class QSvgRenderer;

// The area popups stack in: the screen's work area, or the whole screen on a
// desktop that has none.
PopupScreen PrimaryPopupScreen();

class PopupWindow : public QWidget, public PopupBase, public TextBackdrop {
  Q_OBJECT
 public:
  PopupWindow(PopupKind kind, int fullHeight);

  const PopupRequest& Request() const { return request_; }

  void ShowPopupWindow() override;
  void PlacePopupWindow(const PopupRect& rect) override;
  void PaintBackdrop(QPainter& painter, const QWidget* label) override;

 protected:
  // Draws the whole picture at full size: background, title, frames.
  virtual void ComposePicture(QPainter& painter) = 0;
  // The picture changed (another frame picture): compose it again.
  void RecomposePicture();
  void OnStart(const PopupRequest& request) override { request_ = request; }
  // Sends a message to the main window of the request, if there is one.
  void PostToMainWindow(uint32_t msg, platform::MessageParam wParam, platform::MessageParam lParam);

  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent* e) override;

  PopupRequest request_;

 private:
  const QPixmap& Picture();
  QPixmap picture_;
};

// Draws one of the library's pictures at its place.
void DrawPopupPicture(QPainter& painter, const QString& resource, const QRectF& where);
