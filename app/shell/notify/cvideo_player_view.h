// The preview pane under the category tree: the preview movie in a Flash
// control that fills the pane. The frame's PreviewFile decides what it plays
// and whether its splitter row shows at all.
#pragma once

#include <QFrame>
#include <QString>

#include <cstdint>
#include <string>

class CShockwaveFlash;

class CVideoPlayerView : public QFrame {
  Q_OBJECT
 public:
  static constexpr int kControlId = 59143;

  // programDir ends in the separator; the preview movie is loaded from there.
  explicit CVideoPlayerView(const QString& programDir, QWidget* parent = nullptr);

  void SetMovie(const std::string& path, int32_t taskIndex);
  void CloseMovie();

  // Shows the pane (its splitter row) and plays the file when it can be
  // previewed; otherwise hides the pane and closes the movie.
  void PreviewFile(const std::string& path, int32_t taskIndex);

  CShockwaveFlash* Flash() const { return flash_; }

 protected:
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CShockwaveFlash* flash_;
};
