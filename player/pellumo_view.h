// The player view: hosts the Flash control with the player movie, the
// control bar along its bottom edge and, while nothing is open, a link on a
// black ground. It opens files and addresses, answers the movie's commands,
// and runs zoom, full screen, "Display on Top" and the fading of the
// movie's overlay and of the cursor.
#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "player/player_commands.h"
#include "player/recent_lists.h"

class CMainFrame;
class CShockwaveflash;
class CWndPlayerControl;
class PlayerDialogs;
class QLabel;
class QMenu;
struct PlayerSettings;

class CPellumoView : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kFlashControlId = 2000;
  static constexpr int kTimerPeriodMs = 20;
  enum TopMode { TopAlways = 0, TopWhenPlaying = 1, TopNever = 2 };

  using FlashFactory = std::function<CShockwaveflash*(QWidget* parent)>;

  CPellumoView(CMainFrame* frame, FlashFactory makeFlash, QWidget* parent = nullptr);
  ~CPellumoView() override;

  // Writes the player movie out, creates the control (the installed-player
  // check may end the program there) and the bar. False: "Init Pellumo failed".
  bool Create();

  bool OpenPath(const QString& text);
  bool OpenMovie(const QString& path, bool isAddress);
  // The recent-file list's and the framework's open: the special-character
  // check, then OpenMovie.
  bool OpenDocumentFile(const QString& path);
  void CloseMovie();
  void Zoom(int percent);
  void ApplyDisplayOnTop();
  void Layout();

  // Menu and context-menu commands.
  void OnCommand(int id);
  bool IsCommandEnabled(int id) const;
  bool IsCommandChecked(int id) const;

  // The frame flips full screen and tells the view.
  void SetFullScreenFlag(bool on);
  void ClearHistory();

  // The movie's commands (FSCommand of the control).
  void OnMovieCommand(const QString& command, const QString& argument);
  // One tick of the 20 ms timer.
  void OnTimerTick();

  bool IsMovieOpen() const { return movieOpen_; }
  bool IsFullScreen() const { return fullScreen_; }
  TopMode DisplayOnTop() const { return topMode_; }
  QSize NativeSize() const { return {nativeWidth_, nativeHeight_}; }
  int LastPercent() const { return lastPercent_; }
  CWndPlayerControl* Bar() const { return bar_; }
  CShockwaveflash* Flash() const { return flash_; }
  QLabel* Link() const { return link_; }
  CRecentUrlList& RecentUrls() { return recentUrls_; }
  const QString& MovieFile() const { return movieFile_; }
  bool CursorShown() const { return cursorShown_; }
  int IdleTicks() const { return idle_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool WriteMovieFile();
  bool CheckSpecialChars(QString* path);
  bool PassesFileCheck(const QString& path);
  bool CallMovie(const std::string& request);
  void ShowContextMenu(QPoint globalPos);
  void ShowCursor(bool show);
  void SetTopMode(TopMode mode);
  int BarHeight() const;
  void TraceVolume() const;

  CMainFrame* frame_;
  FlashFactory makeFlash_;
  CShockwaveflash* flash_ = nullptr;
  CWndPlayerControl* bar_ = nullptr;
  QLabel* link_ = nullptr;
  QTimer timer_;
  CRecentUrlList recentUrls_;

  int nativeWidth_ = 320, nativeHeight_ = 240;
  bool fullScreen_ = false;
  bool movieOpen_ = false;
  bool openedOnce_ = false;
  bool overlayAllowed_ = false;
  int idle_ = 0;
  int barHide_ = 0;
  int ticks_ = 0;
  bool cursorShown_ = true;
  bool contextMenuOpen_ = false;
  bool modalOpen_ = false;
  TopMode topMode_ = TopNever;
  QString movieFile_;
  bool createdMovieFile_ = false;
  QPoint lastMousePos_{-1, -1};
  int lastPercent_ = 0;
};
