#include "flash/drawn_movies.h"
#include "flash/movie.h"
#include "flash/player_movie.h"
#include "flash/player_movie_file.h"
#include "flash/video_movies.h"

namespace flash {

Movie* CreateMovieForFile(const QString& fileName, FlashControl* control) {
  const auto is = [&](QLatin1String name) { return fileName.compare(name, Qt::CaseInsensitive) == 0; };
  if (is(QLatin1String(kPlayerMovieFileName))) return new PlayerMovie(control);
  if (is(QLatin1String("Mirelda.dll"))) return new PreviewMovie(control);
  if (is(QLatin1String("Zindrel.dll"))) return new LinkMovie(control);
  if (is(QLatin1String("Tessikor.dll"))) return new MonitorMovie(control);
  if (is(QLatin1String("tutorial.swf"))) return new TutorialMovie(control);
  if (is(QLatin1String("blank.dll"))) return new BlankMovie(control);
  // Any other movie would need a Flash runtime: the control stays empty.
  return nullptr;
}

}  // namespace flash
