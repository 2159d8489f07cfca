// Plays one file through the player movie in a window the size of the
// video, at 100 %, and ends at "playfinish" (or "StreamNotFound", exit 1).
// The renderer is "opengl" (the default) or "software"; a run that could not
// use the renderer asked for ends with exit 3. The benchmark times this
// program against mpv itself.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <clocale>
#include <cstdio>
#include <cstring>

#include "flash/flash_control.h"
#include "flash/invoke_request.h"
#include "flash/mpv_video.h"
#include "flash/player_movie.h"
#include "flash/player_movie_file.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s MEDIA [WIDTH HEIGHT [opengl|software]]\n", argv[0]);
    return 2;
  }
  // The benchmark machine has no sound card; mpv gets the same.
  flash::SetAudioOutput(QStringLiteral("null"));
  const int width = argc > 3 ? std::atoi(argv[2]) : 1280;
  const int height = argc > 3 ? std::atoi(argv[3]) : 720;
  const bool software = argc > 4 && std::strcmp(argv[4], "software") == 0;
  flash::SetRendererChoice(software ? flash::RendererChoice::Software : flash::RendererChoice::OpenGL);

  const QString movie = QDir::temp().filePath(QString::fromLatin1(flash::kPlayerMovieFileName));
  QFile file(movie);
  if (!file.open(QIODevice::WriteOnly) || file.write(flash::PlayerMovieResource()) < 0) return 2;
  file.close();

  flash::FlashControl control(nullptr, 2000);
  control.resize(width, height);
  control.show();
  control.LoadMovie(0, movie);
  int status = 0;
  QObject::connect(&control, &flash::FlashControl::FSCommand, [&](const QString& command, const QString&) {
    if (command == QLatin1String("height")) {
      control.CallFunction(QString::fromStdString(flash::invoke::SetSize(100)));
      control.CallFunction(QString::fromStdString(flash::invoke::ShowFrame()));
    } else if (command == QLatin1String("playfinish")) {
      const auto* player = qobject_cast<flash::PlayerMovie*>(control.CurrentMovie());
      const auto wanted = software ? flash::VideoRenderer::Software : flash::VideoRenderer::OpenGL;
      if (!player || !player->Video() || player->Video()->RendererInUse() != wanted) status = 3;
      app.quit();
    } else if (command == QLatin1String("StreamNotFound")) {
      status = 1;
      app.quit();
    }
  });
  control.CallFunction(QString::fromStdString(flash::invoke::SetMoive(QString::fromLocal8Bit(argv[1]).toStdString())));
  const int rc = app.exec();
  QFile::remove(movie);
  return status ? status : rc;
}
