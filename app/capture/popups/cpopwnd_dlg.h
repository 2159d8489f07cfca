// The capture popup: offers a captured address with a live preview, and
// buttons to download it, download its task again or show that task.
//
// Messages to the main window carry the popup as an AskingWindow* in the
// first parameter; UM_POPUP_THUMBNAIL carries a QImage* that stays the
// popup's until the frame claims it. Message parameters can come from other
// processes too, so the frame only ever uses pointers a popup vouches for.
#pragma once

#include <QImage>
#include <QTimer>

#include <deque>
#include <memory>

#include "app/capture/popups/popup_texts.h"
#include "app/capture/popups/popup_window.h"
#include "core/add_task.h"

class CShockwaveFlash;
class SkinButton;

class CPopWndDlg : public PopupWindow, public AskingWindow {
  Q_OBJECT
 public:
  static constexpr int kFullHeight = 148;
  static constexpr int kCloseAfterActionMs = 2000;

  // programDir ends in the separator: the movies and Skin/ are there.
  explicit CPopWndDlg(const QString& programDir);
  ~CPopWndDlg() override;

  // UM_TASK_ADDED from the frame.
  void SendTaskAdded() override;
  // The first parameter this popup puts in its messages.
  platform::MessageParam AskerParam() const {
    return reinterpret_cast<platform::MessageParam>(static_cast<const AskingWindow*>(this));
  }
  // Hands over a picture this popup posted and nobody claimed yet; null for
  // any other value.
  std::unique_ptr<QImage> ClaimThumbnail(platform::MessageParam picture);

  PreviewMode Mode() const { return mode_; }
  CShockwaveFlash* Flash() const { return flash_; }
  CWndText* TypeLabel() const { return typeLabel_; }
  CWndText* MainText() const { return mainText_; }
  SkinButton* DownloadButton() const { return download_; }
  SkinButton* DownloadAgainButton() const { return downloadAgain_; }
  SkinButton* CheckButton() const { return check_; }
  SkinButton* CloseButton() const { return close_; }

 protected:
  void ComposePicture(QPainter& painter) override;
  void OnStart(const PopupRequest& request) override;
  void OnGone() override;
  void OnReset() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnMovieCommand(const QString& command, const QString& args);
  void TakeThumbnail();
  // The main text, mirrored in the window's caption.
  void ShowText(const QString& text);

  QString programDir_;
  PreviewMode mode_ = PreviewMode::Video;
  CShockwaveFlash* flash_;
  CWndText* typeLabel_;
  CWndText* mainText_;
  SkinButton* download_;
  SkinButton* downloadAgain_;
  SkinButton* check_;
  SkinButton* close_;
  QTimer thumbnailTimer_;  // timer 1: a foreign movie gets two seconds to draw
  // Posted and not yet claimed; the oldest go when the frame falls behind.
  std::deque<std::unique_ptr<QImage>> unclaimed_;
};
