#include "player/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QWindow>

#include "platform/message_box.h"
#include "player/forward_file.h"
#include "player/instance_record.h"
#include "player/player_commands.h"
#include "player/player_dialogs.h"

namespace {

const char kAppTitle[] = "Pellumo";

}  // namespace

CMainFrame::CMainFrame(KeyValueStore* store, PlayerSettings* settings, PlayerDialogs* dialogs,
                       CPellumoView::FlashFactory makeFlash)
    : store_(store), settings_(settings), dialogs_(dialogs), makeFlash_(std::move(makeFlash)) {
  setWindowTitle(QString::fromLatin1(kAppTitle));
  setMinimumSize(kMinWidth, kMinHeight);
  setAcceptDrops(true);
  recentFiles_.Load(*store_);
  doc_.title = QStringLiteral("Untitled");
}

CMainFrame::~CMainFrame() {
  qApp->removeEventFilter(this);
  // The size the window had, for the settings written at exit.
  QRect outer = fullScreen_ ? windowedGeometry_ : frameGeometry();
  settings_->Width = outer.width();
  settings_->Height = std::max(50, outer.height());
  delete view_;  // saves the recent addresses while the store is still there
  view_ = nullptr;
  recentFiles_.Save(*store_);
}

bool CMainFrame::Create() {
  BuildMenus();
  view_ = new CPellumoView(this, makeFlash_, this);
  if (!view_->Create()) return false;
  setCentralWidget(view_);
  resize(kInitialWidth, kInitialHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect avail = screen->availableGeometry();
    move(avail.center() - QPoint(kInitialWidth / 2, kInitialHeight / 2));
  }
  qApp->installEventFilter(this);
  return true;
}

bool CMainFrame::RegisterInstance(const std::string& recordName) {
  services_.SetHandler(this);
  port_ = std::make_unique<platform::MessagePort>(&services_);
  if (!port_->Open()) return false;
  instance_ = std::make_unique<CInstanceMutex>();
  return instance_->Create(port_->Handle(), recordName);
}

platform::WindowHandle CMainFrame::Handle() const { return port_ ? port_->Handle() : 0; }

// --- menus and commands -----------------------------------------------------

QAction* CMainFrame::MakeAction(int id, const QString& text, const QKeySequence& key) {
  auto* action = new QAction(text, this);
  if (!key.isEmpty()) {
    action->setShortcut(key);
    addAction(action);  // keys work with the menu bar hidden in full screen
  }
  connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
  actions_[id] = action;
  return action;
}

QAction* CMainFrame::Action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::BuildMenus() {
  MakeAction(ID_FILE_OPEN, tr("Open..."), QKeySequence(Qt::CTRL | Qt::Key_O));
  MakeAction(ID_FILE_OPEN_URL, tr("Open URL..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  MakeAction(ID_FILE_CLOSE_MOVIE, tr("Close"));
  MakeAction(ID_FILE_CLEAR_HISTORY, tr("Clear File and URL history"));
  MakeAction(ID_APP_EXIT, tr("Exit"), QKeySequence(Qt::ALT | Qt::Key_F4));
  MakeAction(ID_PLAY_PAUSE, tr("Play/Pause"), QKeySequence(Qt::Key_Space));
  MakeAction(ID_STOP, tr("Stop"));
  MakeAction(ID_BACKWARD, tr("Backward"));
  MakeAction(ID_FORWARD, tr("Forward"));
  MakeAction(ID_MUTE, tr("Mute"))->setCheckable(true);
  MakeAction(ID_REPEAT, tr("Repeat"))->setCheckable(true);
  MakeAction(ID_ZOOM_50, tr("50%"), QKeySequence(Qt::ALT | Qt::Key_1));
  MakeAction(ID_ZOOM_100, tr("100%"), QKeySequence(Qt::ALT | Qt::Key_2));
  MakeAction(ID_ZOOM_200, tr("200%"), QKeySequence(Qt::ALT | Qt::Key_3));
  MakeAction(ID_FULL_SCREEN, tr("Full Screen"), QKeySequence(Qt::ALT | Qt::Key_Return));
  MakeAction(ID_TOP_ALWAYS, tr("Always"))->setCheckable(true);
  MakeAction(ID_TOP_WHEN_PLAYING, tr("When Playing"))->setCheckable(true);
  MakeAction(ID_TOP_NEVER, tr("Never"))->setCheckable(true);
  MakeAction(ID_APP_ABOUT, tr("About Pellumo..."));

  fileMenu_ = menuBar()->addMenu(tr("&File"));
  fileMenu_->addAction(Action(ID_FILE_OPEN));
  fileMenu_->addAction(Action(ID_FILE_OPEN_URL));
  fileMenu_->addAction(Action(ID_FILE_CLOSE_MOVIE));
  fileMenu_->addSeparator();
  recentMenu_ = fileMenu_->addMenu(tr("Recent files"));
  fileMenu_->addAction(Action(ID_FILE_CLEAR_HISTORY));
  fileMenu_->addSeparator();
  fileMenu_->addAction(Action(ID_APP_EXIT));
  QMenu* control = menuBar()->addMenu(tr("&Control"));
  for (int id : {ID_PLAY_PAUSE, ID_STOP, ID_BACKWARD, ID_FORWARD, ID_MUTE, ID_REPEAT})
    control->addAction(Action(id));
  QMenu* view = menuBar()->addMenu(tr("&View"));
  for (int id : {ID_ZOOM_50, ID_ZOOM_100, ID_ZOOM_200}) view->addAction(Action(id));
  view->addSeparator();
  view->addAction(Action(ID_FULL_SCREEN));
  QMenu* top = view->addMenu(tr("Display on Top"));
  for (int id : {ID_TOP_ALWAYS, ID_TOP_WHEN_PLAYING, ID_TOP_NEVER}) top->addAction(Action(id));
  QMenu* help = menuBar()->addMenu(tr("&Help"));
  help->addAction(Action(ID_APP_ABOUT));
  for (QMenu* m : {fileMenu_, control, view, top})
    connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
  RebuildRecentMenu();
  UpdateCommandStates();
}

void CMainFrame::UpdateCommandStates() {
  if (!view_) return;
  for (auto& [id, action] : actions_) {
    action->setEnabled(view_->IsCommandEnabled(id));
    // The frame menu shows no mark at "Full Screen"; the context menu does.
    if (action->isCheckable()) action->setChecked(view_->IsCommandChecked(id));
  }
}

QMenu* CMainFrame::BuildContextMenu(QWidget* parent) {
  UpdateCommandStates();
  auto* menu = new QMenu(parent);
  auto add = [&](int id, const QString& text = {}) {
    QAction* a = menu->addAction(text.isEmpty() ? Action(id)->text() : text);
    a->setEnabled(view_->IsCommandEnabled(id));
    a->setCheckable(view_->IsCommandChecked(id) || Action(id)->isCheckable() ||
                    id == ID_FULL_SCREEN);
    a->setChecked(view_->IsCommandChecked(id));
    if (!Action(id)->shortcut().isEmpty())
      a->setShortcut(Action(id)->shortcut());
    a->setShortcutVisibleInContextMenu(true);
    connect(a, &QAction::triggered, this, [this, id] { RunCommand(id); });
    return a;
  };
  add(ID_FILE_OPEN);
  add(ID_FILE_OPEN_URL);
  add(ID_FILE_CLOSE_MOVIE);
  menu->addSeparator();
  for (int id : {ID_PLAY_PAUSE, ID_STOP, ID_BACKWARD, ID_FORWARD, ID_MUTE}) add(id);
  menu->addSeparator();
  for (int id : {ID_ZOOM_50, ID_ZOOM_100, ID_ZOOM_200}) add(id);
  add(ID_FULL_SCREEN);
  QMenu* top = menu->addMenu(tr("Display on Top"));
  QMenu* keep = menu;
  menu = top;
  for (int id : {ID_TOP_ALWAYS, ID_TOP_WHEN_PLAYING, ID_TOP_NEVER}) add(id);
  menu = keep;
  menu->addSeparator();
  add(ID_APP_ABOUT);
  return menu;
}

void CMainFrame::RunCommand(int id) {
  if (id == ID_APP_EXIT) {
    close();
    return;
  }
  if (id == ID_FULL_SCREEN) {
    if (view_ && view_->IsCommandEnabled(id)) ToggleFullScreen();
    return;
  }
  if (view_) view_->OnCommand(id);
  UpdateCommandStates();
}

void CMainFrame::RebuildRecentMenu() {
  recentMenu_->clear();
  int n = 0;
  for (const std::string& path : recentFiles_.Entries()) {
    QString p = QString::fromStdString(path);
    QAction* a = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(++n).arg(p));
    connect(a, &QAction::triggered, this, [this, p] {
      if (view_) view_->OpenDocumentFile(p);
    });
  }
  recentMenu_->setEnabled(n > 0);
}

void CMainFrame::ClearRecentFiles() {
  recentFiles_.Clear();
  recentFiles_.Save(*store_);
  RebuildRecentMenu();
}

// --- caption and document ---------------------------------------------------

void CMainFrame::UpdateCaption() {
  if (titleInCaption_ && !plainCaption_)
    setWindowTitle(doc_.title + QStringLiteral(" - ") + QString::fromLatin1(kAppTitle));
  else
    setWindowTitle(QString::fromLatin1(kAppTitle));
}

void CMainFrame::ShowTitleInCaption() { titleInCaption_ = true; }

void CMainFrame::SetDocumentTitle(const QString& title) {
  doc_.title = title;
  plainCaption_ = false;
  UpdateCaption();
}

void CMainFrame::SetDocumentPath(const QString& path) {
  doc_.path = path;
  recentFiles_.Add(path.toStdString());
  RebuildRecentMenu();
  SetDocumentTitle(QFileInfo(path).fileName());
}

void CMainFrame::SetPlainCaption() {
  plainCaption_ = true;
  UpdateCaption();
}

void CMainFrame::SetClosedDocument() {
  doc_.path = QStringLiteral("No video");
  doc_.title = doc_.path;
  SetPlainCaption();
}

// --- window -----------------------------------------------------------------

void CMainFrame::RestoreNormal() {
  if (isMinimized() || isMaximized()) showNormal();
}

void CMainFrame::ResizeClientTo(QSize client) {
  QSize extra = size() - centralWidget()->size();
  resize(client + extra);
}

void CMainFrame::SetTopmost(bool on) {
  if (on == topmost_) return;
  topmost_ = on;
  if (QWindow* w = windowHandle()) {
    // On the native window: changing the widget's flags would hide it.
    w->setFlag(Qt::WindowStaysOnTopHint, on);
  } else {
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
  }
}

void CMainFrame::ToggleFullScreen() {
  fullScreen_ = !fullScreen_;
  view_->SetFullScreenFlag(fullScreen_);
  if (fullScreen_) {
    windowedGeometry_ = geometry();
    menuBar()->hide();
    showFullScreen();
    // Also without a window manager that honours the full-screen state.
    if (QScreen* screen = this->screen()) setGeometry(screen->geometry());
    SetTopmost(true);
  } else {
    menuBar()->show();
    showNormal();
    setGeometry(windowedGeometry_);
    view_->ApplyDisplayOnTop();
  }
  view_->Layout();
}

// --- messages, drops, keys --------------------------------------------------

void CMainFrame::OnMessage(uint32_t msg, platform::MessageParam, platform::MessageParam) {
  if (msg == WM_OPEN_FORWARDED) {
    OpenForwarded();
  } else if (msg == WM_RAISE_INSTANCE) {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
  }
}

void CMainFrame::OpenForwarded() {
  std::optional<QString> text = ReadForwardFile(ForwardFilePath());
  if (!text) {
    platform::ShowMessageBox(kAppTitle, "Cannot open flv file.", platform::MB_OK);
    return;
  }
  if (view_) view_->OpenPath(*text);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* e) {
  e->acceptProposedAction();
  OpenDropped(e->mimeData()->urls());
}

void CMainFrame::OpenDropped(const QList<QUrl>& urls) {
  if (urls.isEmpty()) return;
  QString name = urls.first().isLocalFile() ? urls.first().toLocalFile() : urls.first().toString();
  if (!name.isEmpty() && view_) view_->OpenPath(name);
}

void CMainFrame::closeEvent(QCloseEvent* e) { e->accept(); }

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    // Only for this frame's own widgets: dialogs keep their Escape.
    auto* w = qobject_cast<QWidget*>(watched);
    if (w && w->window() == this) {
      if (fullScreen_) ToggleFullScreen();
      return true;
    }
  }
  return false;
}
