#include "player/player_movie.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>
#include <cstdlib>

#include "flash/flash_control.h"
#include "platform/message_box.h"

static void InitPlayerMovieResource() { Q_INIT_RESOURCE(player_movie); }

namespace {

const char kPlayerDownloadPage[] = "https://get.flashplayer.example/";

}  // namespace

QByteArray PlayerMovieBytes() {
  static bool loaded = (InitPlayerMovieResource(), true);
  (void)loaded;
  QFile movie(QStringLiteral(":/pellumo/movie/player.swf"));
  if (!movie.open(QIODevice::ReadOnly)) return {};
  return movie.readAll();
}

void CheckInstalledPlayer(flash::FlashControl* control) {
  std::string page = kPlayerDownloadPage;
  if (!control) {
    platform::ShowMessageBox(
        "Warning",
        "Adobe Flash Player has not been installed. Please install it firstly.\r\n\r\n" + page,
        platform::MB_OK | platform::MB_ICONWARNING);
    std::_Exit(0);
  }
  if ((control->FlashVersion() >> 16) < 9) {
    int answer = platform::ShowMessageBox(
        "Confirm", "Your Adobe Flash Player's version is too old. Upgrade it now?\r\n" + page,
        platform::MB_YESNO | platform::MB_ICONQUESTION);
    if (answer == platform::IDYES) QDesktopServices::openUrl(QUrl(QString::fromStdString(page)));
    std::_Exit(0);
  }
}
