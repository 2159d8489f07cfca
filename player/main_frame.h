// Pellumo's main frame: menu, keys, caption, size rules, full screen, the
// recent-file list, dropped files and the messages a second start sends.
#pragma once

#include <QMainWindow>
#include <QRect>
#include <QUrl>
#include <map>
#include <memory>

#include "core/key_value_store.h"
#include "platform/message_port.h"
#include "platform/qt/qt_window_services.h"
#include "player/pellumo_view.h"
#include "player/player_settings.h"
#include "player/recent_lists.h"

class PlayerDialogs;
class QAction;
class QMenu;
class CInstanceMutex;

// The document: what is open, and the title the caption shows.
struct CPellumoDoc {
  QString path;
  QString title;
};

class CMainFrame : public QMainWindow, public platform::MessageHandler {
  Q_OBJECT
 public:
  static constexpr int kInitialWidth = 320, kInitialHeight = 305;
  static constexpr int kMinWidth = 320, kMinHeight = 180;

  // The store, dialogs and settings must outlive the frame.
  CMainFrame(KeyValueStore* store, PlayerSettings* settings, PlayerDialogs* dialogs,
             CPellumoView::FlashFactory makeFlash);
  ~CMainFrame() override;

  // Creates the view; false when it could not be made.
  bool Create();
  // Opens the message port and, for the first instance, the instance record.
  bool RegisterInstance(const std::string& recordName);
  platform::WindowHandle Handle() const;

  CPellumoView* View() const { return view_; }
  KeyValueStore& Store() { return *store_; }
  PlayerSettings& Settings() { return *settings_; }
  PlayerDialogs& Dialogs() { return *dialogs_; }
  RecentFileList& RecentFiles() { return recentFiles_; }
  const CPellumoDoc& Document() const { return doc_; }

  // Caption and document, as the view's open and close change them.
  void ShowTitleInCaption();
  void SetDocumentTitle(const QString& title);
  void SetDocumentPath(const QString& path);
  void SetPlainCaption();
  void SetClosedDocument();
  void ClearRecentFiles();

  void ToggleFullScreen();
  bool IsFullScreen() const { return fullScreen_; }
  void RestoreNormal();
  // Resizes without moving so that the view gets that size.
  void ResizeClientTo(QSize client);
  void SetTopmost(bool on);
  bool IsTopmost() const { return topmost_; }

  // Context menu of the view, with enabling and check marks applied.
  QMenu* BuildContextMenu(QWidget* parent);
  // Command by id, as the menu or a key would run it.
  void RunCommand(int id);
  QAction* Action(int id) const;

  // Window messages (2004 and the raise request).
  void OnMessage(uint32_t msg, platform::MessageParam w, platform::MessageParam l) override;
  void OnTimer(int) override {}
  // Message 2004: reads the forward file and opens what it names.
  void OpenForwarded();
  // Dropped files: only the first one opens.
  void OpenDropped(const QList<QUrl>& urls);

 protected:
  void dragEnterEvent(QDragEnterEvent*) override;
  void dropEvent(QDropEvent*) override;
  void closeEvent(QCloseEvent*) override;
  bool eventFilter(QObject*, QEvent*) override;

 private:
  void BuildMenus();
  QAction* MakeAction(int id, const QString& text, const QKeySequence& key = {});
  void UpdateCommandStates();
  void RebuildRecentMenu();
  void UpdateCaption();

  KeyValueStore* store_;
  PlayerSettings* settings_;
  PlayerDialogs* dialogs_;
  CPellumoView::FlashFactory makeFlash_;
  CPellumoView* view_ = nullptr;
  RecentFileList recentFiles_;
  CPellumoDoc doc_;
  bool titleInCaption_ = false;
  bool plainCaption_ = true;
  bool fullScreen_ = false;
  bool topmost_ = false;
  QRect windowedGeometry_;
  std::map<int, QAction*> actions_;
  QMenu* fileMenu_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  platform::QtWindowServices services_;
  std::unique_ptr<platform::MessagePort> port_;
  std::unique_ptr<CInstanceMutex> instance_;
};
