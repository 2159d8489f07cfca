#include "player/pellumo_view.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <cmath>

#include "flash/installed_player_check.h"
#include "flash/invoke_request.h"
#include "flash/player_movie.h"
#include "flash/player_movie_file.h"
#include "flash/mpv_video.h"
#include "flash/shockwave_flash.h"
#include "platform/message_box.h"
#include "player/main_frame.h"
#include "player/open_rules.h"
#include "player/player_dialogs.h"
#include "player/trace_log.h"
#include "player/wnd_player_control.h"

namespace {

const char kAppTitle[] = "Pellumo";
const char kMakerSite[] = "https://quorlin.example/";

constexpr int kIdleLimit = 50;      // ticks (one second) before overlay and cursor fade
constexpr int kCounterCap = 5000;   // counters above this go back to 51

void ShowError(const std::string& text) {
  platform::ShowMessageBox(kAppTitle, text, platform::MB_OK | platform::MB_ICONWARNING);
}

void CapCounter(int& counter) {
  if (counter > kCounterCap) counter = kIdleLimit + 1;
}

}  // namespace

CPellumoView::CPellumoView(CMainFrame* frame, FlashFactory makeFlash, QWidget* parent)
    : QWidget(parent), frame_(frame), makeFlash_(std::move(makeFlash)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setAcceptDrops(false);  // the frame takes dropped files
  recentUrls_.Load(frame_->Store());
}

CPellumoView::~CPellumoView() {
  timer_.stop();
  qApp->removeEventFilter(this);
  recentUrls_.Save(frame_->Store());
  if (createdMovieFile_) QFile::remove(movieFile_);
}

bool CPellumoView::WriteMovieFile() {
  if (createdMovieFile_) QFile::remove(movieFile_);
  createdMovieFile_ = false;
  QString path = QDir::temp().filePath(QString::fromLatin1(flash::kPlayerMovieFileName));
  QFile out(path);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QByteArray bytes = flash::PlayerMovieResource();
  if (bytes.isEmpty() || out.write(bytes) != bytes.size() || !out.flush()) {
    out.close();
    QFile::remove(path);
    return false;
  }
  movieFile_ = path;
  createdMovieFile_ = true;
  return true;
}

bool CPellumoView::Create() {
  if (!WriteMovieFile()) {
    ShowError("Init Pellumo failed");
    return false;
  }
  flash_ = makeFlash_(this);
  // Ends the program when the player is missing or too old.
  if (!flash::VerifyInstalledPlayer(flash_)) return false;
  flash_->LoadMovie(0, movieFile_);
  connect(flash_, &flash::FlashControl::FSCommand, this, &CPellumoView::OnMovieCommand);

  bar_ = new CWndPlayerControl(
      &frame_->Settings(), [this](const std::string& r) { return CallMovie(r); },
      [this] { return movieOpen_; }, this);
  connect(bar_, &CWndPlayerControl::PlayStateChanged, this, &CPellumoView::ApplyDisplayOnTop);
  bar_->ApplySettings();
  bar_->show();
  flash_->setGeometry(0, 0, 320, 240);
  flash_->stackUnder(bar_);
  flash_->hide();

  link_ = new QLabel(this);
  link_->setObjectName(QStringLiteral("makerLink"));
  link_->setText(QStringLiteral("<a style=\"color:#e2f0c2; text-decoration:none\" href=\"%1\">"
                                "Get more video tools at quorlin.example</a>")
                     .arg(QString::fromLatin1(kMakerSite)));
  link_->setTextFormat(Qt::RichText);
  link_->setCursor(Qt::PointingHandCursor);
  link_->setAlignment(Qt::AlignCenter);
  link_->setOpenExternalLinks(false);
  connect(link_, &QLabel::linkActivated, this,
          [](const QString& href) { QDesktopServices::openUrl(QUrl(href)); });
  link_->adjustSize();
  link_->show();

  connect(&timer_, &QTimer::timeout, this, &CPellumoView::OnTimerTick);
  timer_.start(kTimerPeriodMs);
  qApp->installEventFilter(this);
  Layout();
  return true;
}

bool CPellumoView::CallMovie(const std::string& request) {
  // A control without its movie cannot take a call.
  if (!flash_ || !flash_->CurrentMovie()) return false;
  // The overlay's fading goes out 50 times a second; it would drown the rest.
  if (request != flash::invoke::HideFrame() && request != flash::invoke::ShowFrame())
    TraceLine(QStringLiteral("call ") + QString::fromStdString(request));
  flash_->CallFunction(QString::fromStdString(request));
  if (request.find("\"SetSound\"") != std::string::npos) TraceVolume();
  return true;
}

void CPellumoView::TraceVolume() const {
  // What the media engine was told, as opposed to what the view sent.
  auto* movie = qobject_cast<flash::PlayerMovie*>(flash_->CurrentMovie());
  if (!movie || !movie->Video()) return;
  const flash::MpvVideo* video = movie->Video();
  TraceLine(QStringLiteral("movie volume %1").arg(video->Muted() ? 0 : video->Volume()));
}

int CPellumoView::BarHeight() const { return bar_ ? bar_->height() : CWndPlayerControl::kHeight; }

// --- opening ---------------------------------------------------------------

bool CPellumoView::OpenPath(const QString& text) {
  bool isAddress = IsAddress(text);
  QString path = text;
  if (!isAddress && !CheckSpecialChars(&path)) return false;
  return OpenMovie(path, isAddress);
}

bool CPellumoView::OpenDocumentFile(const QString& path) {
  QString checked = path;
  if (!CheckSpecialChars(&checked)) return false;
  return OpenMovie(checked, false);
}

bool CPellumoView::CheckSpecialChars(QString* path) {
  const QString ch(kForbiddenNameChar);
  const QString source = *path;
  QString name = *path;  // what the save dialog proposes
  while (HasForbiddenNameChar(name)) {
    QString text = QStringLiteral(
                       "The name of the FLV file contains character '%1' thus the file can not "
                       "play correctly. To play the file, you should save a copy of it and make "
                       "sure there is no character '%1' in the name. ")
                       .arg(ch);
    if (platform::ShowMessageBox("Message", text.toStdString(), platform::MB_YESNO) !=
        platform::IDYES)
      return false;
    modalOpen_ = true;
    name = frame_->Dialogs().SaveCopyAs(this, name);
    modalOpen_ = false;
    if (name.isEmpty()) return false;
  }
  if (name == source) return true;
  // QFile::copy never replaces an existing file.
  if (!QFile::copy(source, name)) {
    platform::ShowMessageBox("Message", "Copy file failed", platform::MB_OK);
    return false;
  }
  *path = name;
  return true;
}

bool CPellumoView::PassesFileCheck(const QString& path) {
  switch (CheckMovieFile(path)) {
    case MovieFileCheck::Ok:
      return true;
    case MovieFileCheck::NotFound:
      ShowError("File not found. Please verify the correct file name was given.");
      return false;
    case MovieFileCheck::NotValid:
      ShowError(QStringLiteral("\"%1\" is not a valid FLV file.").arg(path).toStdString());
      return false;
  }
  return false;
}

bool CPellumoView::OpenMovie(const QString& path, bool isAddress) {
  if (!isAddress && !PassesFileCheck(path)) return false;
  overlayAllowed_ = false;
  if (!bar_ || !bar_->Load(path)) {
    if (isAddress) recentUrls_.Remove(path.toStdString());
    ShowError("Failed to open file.");
    CloseMovie();
    return false;
  }
  openedOnce_ = true;
  frame_->ShowTitleInCaption();
  movieOpen_ = true;
  link_->hide();
  flash_->show();
  if (isAddress) {
    recentUrls_.Add(path.toStdString());
    AddressTitle t = TitleForAddress(path);
    frame_->SetDocumentTitle(t.title);
    if (t.keepsCaption) frame_->SetPlainCaption();
  } else {
    frame_->SetDocumentPath(path);
  }
  bar_->RedrawTime();
  return true;
}

void CPellumoView::CloseMovie() {
  movieOpen_ = false;
  if (link_) link_->show();
  if (flash_) flash_->hide();
  frame_->SetClosedDocument();
  if (bar_) bar_->Close();
  ShowCursor(true);
  update();
}

// --- layout, zoom, full screen ----------------------------------------------

void CPellumoView::resizeEvent(QResizeEvent*) { Layout(); }

void CPellumoView::Layout() {
  if (!bar_ || !flash_) return;
  const int w = width(), h = height(), barH = BarHeight();
  link_->adjustSize();
  int linkWidth = link_->sizeHint().width() > 0 ? link_->sizeHint().width() : 265;
  link_->setGeometry((w - linkWidth) / 2, h - barH - 25, linkWidth, 30);
  int percent = 100;
  if (!fullScreen_) {
    flash_->setGeometry(0, 0, w, std::max(0, h - barH));
    bar_->setGeometry(0, h - barH, w, barH);
    if (openedOnce_)
      percent = static_cast<int>(std::floor(
          std::min(double(flash_->width()) / nativeWidth_, double(flash_->height()) / nativeHeight_) *
          100));
  } else {
    flash_->setGeometry(0, 0, w, h);
    bar_->setGeometry(0, h - barH, w, barH);
    percent = static_cast<int>(
        std::floor(std::min(double(w) / nativeWidth_, double(h) / nativeHeight_) * 100));
  }
  bar_->raise();
  lastPercent_ = percent;
  bar_->SetSize(percent);
  CallMovie(flash::invoke::ShowFrame());
  overlayAllowed_ = true;
  idle_ = 0;
}

void CPellumoView::Zoom(int percent) {
  if (fullScreen_) frame_->ToggleFullScreen();
  frame_->RestoreNormal();
  CallMovie(flash::invoke::SetRestoreScreen());
  QSize client(percent * nativeWidth_ / 100, BarHeight() + percent * nativeHeight_ / 100);
  frame_->ResizeClientTo(client);
  Layout();
}

void CPellumoView::SetFullScreenFlag(bool on) {
  fullScreen_ = on;
  idle_ = 0;
  barHide_ = 0;
  CallMovie(on ? flash::invoke::SetFullScreen() : flash::invoke::SetRestoreScreen());
}

void CPellumoView::SetTopMode(TopMode mode) {
  topMode_ = mode;
  ApplyDisplayOnTop();
}

void CPellumoView::ApplyDisplayOnTop() {
  bool top = fullScreen_ || topMode_ == TopAlways ||
             (topMode_ == TopWhenPlaying && bar_ && bar_->IsPlaying());
  frame_->SetTopmost(top);
}

// --- the movie's commands ---------------------------------------------------

void CPellumoView::OnMovieCommand(const QString& command, const QString& argument) {
  TraceLine(QStringLiteral("movie ") + command + QLatin1Char(' ') + argument);
  if (command.isEmpty() || argument.isNull()) return;
  auto is = [&](const char* name) {
    return command.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
  };
  if (is("width")) {
    int v = argument.trimmed().toInt();
    if (v > 0) nativeWidth_ = v;  // a zero size would divide the layout by zero
  } else if (is("height")) {
    int v = argument.trimmed().toInt();
    if (v > 0) nativeHeight_ = v;
    if (fullScreen_) Layout();
    else Zoom(100);
  } else if (is("play")) {
    bar_->PlayPause();
  } else if (is("testing")) {
  } else if (is("scale")) {
    int n = argument.trimmed().toInt();
    if (n == 0 || n == 1) {
      frame_->ToggleFullScreen();
    } else if (n > 0 && n <= 1000) {
      Zoom(n);
    }
  } else if (is("StreamNotFound")) {
    ShowError("It is not a valid FLV file.");
    CloseMovie();
  } else {
    bar_->MovieCommand(command, argument);
  }
}

// --- timer, mouse, cursor ---------------------------------------------------

void CPellumoView::ShowCursor(bool show) {
  if (cursorShown_ == show) return;
  cursorShown_ = show;
  if (show) {
    unsetCursor();
    if (flash_) flash_->unsetCursor();
  } else {
    setCursor(Qt::BlankCursor);
    if (flash_) flash_->setCursor(Qt::BlankCursor);
  }
}

void CPellumoView::OnTimerTick() {
  if (!bar_ || window()->isMinimized()) return;
  if (++ticks_ % 31 == 0) bar_->RedrawTime();
  const int barH = BarHeight();
  QPoint cursor = mapFromGlobal(QCursor::pos());
  bool inBarStrip = cursor.x() >= 0 && cursor.x() < width() && cursor.y() >= height() - barH &&
                    cursor.y() < height();
  if (fullScreen_) {
    if (inBarStrip) barHide_ = 0;
    else ++barHide_;
    CapCounter(barHide_);
    if (barHide_ > kIdleLimit && bar_->y() < height()) bar_->move(0, bar_->y() + 1);
  }
  if (inBarStrip) {
    CallMovie(flash::invoke::HideFrame());
    ShowCursor(true);
    return;
  }
  ++idle_;
  CapCounter(idle_);
  if (idle_ >= kIdleLimit) {
    CallMovie(flash::invoke::HideFrame());
    if (fullScreen_ && movieOpen_ && cursorShown_ && !contextMenuOpen_ && !modalOpen_ &&
        !QApplication::activeModalWidget())
      ShowCursor(false);
  } else {
    if (overlayAllowed_) CallMovie(flash::invoke::ShowFrame());
    ShowCursor(true);
  }
}

bool CPellumoView::eventFilter(QObject* watched, QEvent* event) {
  auto* w = qobject_cast<QWidget*>(watched);
  if (!w || !w->isWidgetType() || (w != this && !isAncestorOf(w))) return false;
  if (event->type() == QEvent::MouseMove) {
    auto* me = static_cast<QMouseEvent*>(event);
    QPoint global = me->globalPosition().toPoint();
    if (global != lastMousePos_ && movieOpen_) {
      lastMousePos_ = global;
      idle_ = 0;
      if (fullScreen_) {
        barHide_ = 0;
        bar_->move(0, height() - BarHeight());
      }
    }
  } else if (event->type() == QEvent::MouseButtonPress) {
    auto* me = static_cast<QMouseEvent*>(event);
    if (me->button() == Qt::RightButton) {
      ShowContextMenu(me->globalPosition().toPoint());
      return true;
    }
  }
  return false;
}

void CPellumoView::ShowContextMenu(QPoint globalPos) {
  std::unique_ptr<QMenu> menu(frame_->BuildContextMenu(this));
  ShowCursor(true);
  contextMenuOpen_ = true;
  menu->exec(globalPos);
  contextMenuOpen_ = false;
}

void CPellumoView::paintEvent(QPaintEvent*) {
  if (movieOpen_) return;  // the Flash control covers the view
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
}

// --- commands ---------------------------------------------------------------

bool CPellumoView::IsCommandEnabled(int id) const {
  switch (id) {
    case ID_FILE_CLOSE_MOVIE: case ID_PLAY_PAUSE: case ID_STOP: case ID_BACKWARD:
    case ID_FORWARD: case ID_MUTE: case ID_REPEAT: case ID_ZOOM_50: case ID_ZOOM_100:
    case ID_ZOOM_200: case ID_FULL_SCREEN:
      return movieOpen_;
    default:
      return true;
  }
}

bool CPellumoView::IsCommandChecked(int id) const {
  switch (id) {
    case ID_MUTE: return bar_ && bar_->IsMuted();
    case ID_REPEAT: return frame_->Settings().Repeat;
    case ID_FULL_SCREEN: return fullScreen_;
    case ID_TOP_ALWAYS: return topMode_ == TopAlways;
    case ID_TOP_WHEN_PLAYING: return topMode_ == TopWhenPlaying;
    case ID_TOP_NEVER: return topMode_ == TopNever;
    default: return false;
  }
}

void CPellumoView::ClearHistory() {
  frame_->ClearRecentFiles();
  recentUrls_.Clear();
  recentUrls_.Save(frame_->Store());
}

void CPellumoView::OnCommand(int id) {
  if (!IsCommandEnabled(id)) return;
  switch (id) {
    case ID_FILE_OPEN: {
      modalOpen_ = true;
      QString path = frame_->Dialogs().OpenMovieFile(this);
      modalOpen_ = false;
      if (!path.isEmpty() && CheckSpecialChars(&path)) OpenMovie(path, false);
      break;
    }
    case ID_FILE_OPEN_URL: {
      QStringList recent;
      for (int i = 0; i < recentUrls_.Count(); ++i)
        recent << QString::fromStdString(recentUrls_.GetAt(i));
      modalOpen_ = true;
      std::optional<QString> url = frame_->Dialogs().OpenUrl(this, recent);
      modalOpen_ = false;
      if (url) OpenMovie(*url, true);
      break;
    }
    case ID_FILE_CLOSE_MOVIE: CloseMovie(); break;
    case ID_FILE_CLEAR_HISTORY: ClearHistory(); break;
    case ID_PLAY_PAUSE: bar_->PlayPause(); break;
    case ID_STOP: bar_->Stop(); break;
    case ID_BACKWARD: bar_->Backward(); break;
    case ID_FORWARD: bar_->Forward(); break;
    case ID_MUTE: bar_->Mute(); break;
    case ID_REPEAT: frame_->Settings().Repeat = !frame_->Settings().Repeat; break;
    case ID_ZOOM_50: Zoom(50); break;
    case ID_ZOOM_100: Zoom(100); break;
    case ID_ZOOM_200: Zoom(200); break;
    case ID_FULL_SCREEN: frame_->ToggleFullScreen(); break;
    case ID_TOP_ALWAYS: SetTopMode(TopAlways); break;
    case ID_TOP_WHEN_PLAYING: SetTopMode(TopWhenPlaying); break;
    case ID_TOP_NEVER: SetTopMode(TopNever); break;
    case ID_APP_ABOUT:
      modalOpen_ = true;
      frame_->Dialogs().About(this);
      modalOpen_ = false;
      break;
    default: break;
  }
}
