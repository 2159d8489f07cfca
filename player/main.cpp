// Pellumo, the player: plays one FLV or MP4 file or address, given as the
// only argument; a second start hands its argument to the running one.
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <clocale>

#include "crashreport/faultwick.h"
#include "flash/shockwave_flash.h"
#include "platform/qt/qt_settings_store.h"
#include "player/instance_record.h"
#include "player/main_frame.h"
#include "player/pellumo_app.h"
#include "player/player_dialogs.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminate(int) {
  char c = 1;
  ssize_t r = ::write(g_signalPipe[1], &c, 1);
  (void)r;
}

// SIGTERM and SIGINT leave through the normal exit, so the settings are saved.
void QuitOnTerminate(QApplication* app) {
  if (::pipe(g_signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, app);
  QObject::connect(notifier, &QSocketNotifier::activated, app, &QApplication::quit);
  struct sigaction sa {};
  sa.sa_handler = OnTerminate;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");  // libmpv reads numbers the C way
  QApplication::setOrganizationName(QStringLiteral("Quorlin"));
  QApplication::setApplicationName(QStringLiteral("Pellumo"));
  Q_INIT_RESOURCE(pellumo);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/pellumo/pellumo.svg")));

  const QStringList args = QApplication::arguments();
  if (HandOverToRunningInstance(args, kPellumoInstanceName)) return 0;

  CFaultwick::SetExceptionFilter();
  QuitOnTerminate(&app);
  QtMessageBoxSink boxes;
  platform::SetMessageBoxSink(&boxes);
  platform::QtSettingsStore store("Pellumo");
  PlayerSettings settings;
  settings.Load(store);
  QtPlayerDialogs dialogs;

  int rc = 0;
  {
    CMainFrame frame(&store, &settings, &dialogs, [](QWidget* parent) {
      return new CShockwaveflash(parent, CPellumoView::kFlashControlId);
    });
    if (!frame.Create()) return 1;
    frame.RegisterInstance(kPellumoInstanceName);
    if (args.size() >= 2) frame.View()->OpenPath(args.at(1));
    frame.show();
    rc = app.exec();
  }
  settings.Save(store);
  store.Flush();
  platform::SetMessageBoxSink(nullptr);
  return rc;
}
