// The completion popup: the finished file's name and a button that opens
// its folder.
#pragma once

#include "app/capture/popups/popup_window.h"

class SkinButton;

class CPopWndFinishDlg : public PopupWindow {
  Q_OBJECT
 public:
  static constexpr int kFullHeight = 67;
  static constexpr int kCloseAfterActionMs = 2000;

  explicit CPopWndFinishDlg(const QString& programDir);

  CWndText* NameLabel() const { return label_; }
  SkinButton* CloseButton() const { return close_; }
  SkinButton* OpenFolderButton() const { return openFolder_; }

 protected:
  void ComposePicture(QPainter& painter) override;
  void OnStart(const PopupRequest& request) override;

 private:
  CWndText* label_;
  SkinButton* close_;
  SkinButton* openFolder_;
};
