// Tamborel: the window program.
#include <QApplication>

#include <clocale>
#include <string>

#include "app/capture/capture_feature.h"
#include "app/shell/dialogs/dialog_features.h"
#include "app/shell/notify/capture_popup_bridge.h"
#include "app/shell/notify/popup_feature.h"
#include "app/shell/tamborel_app.h"
#include "ui/tamborel_style.h"

int main(int argc, char** argv) {
  std::string arguments;
  for (int i = 1; i < argc; ++i) arguments += (i > 1 ? " " : "") + std::string(argv[i]);
  // A second start only raises the first window; nothing else is made.
  if (CTamborelApp::RaiseRunningInstance()) return 0;

  QApplication qapp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tamborel"));
  QApplication::setOrganizationName(QStringLiteral("Quorlin"));
  QApplication::setQuitOnLastWindowClosed(false);  // the tray icon keeps it running
  std::setlocale(LC_NUMERIC, "C");
  ui::ApplyStyle(qapp);

  shell::FrameHooks hooks;
  capture::CaptureFeature capture;  // outlives the frame: the bridge tears down after it
  capture.Install(hooks);
  PopupFeature popups;  // after capture: its slots run after the capture's
  popups.Install(hooks);
  // Every capture becomes a popup offer and a history record.
  CapturePopupBridge bridge(capture, popups);
  // Installed after the features that set startMonitor, which it wraps.
  DialogFeatures dialogs({});
  dialogs.Install(hooks);
  CTamborelApp app;
  if (!app.InitInstance(arguments, hooks)) return 0;
  const int rc = QApplication::exec();
  app.ExitInstance();
  return rc;
}
