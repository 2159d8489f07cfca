#include "flash/player_movie_file.h"

namespace flash {

QByteArray PlayerMovieResource() {
  // The control draws the player itself; the file only has to exist.
  return QByteArrayLiteral("Tamborel built-in movie: player\n");
}

}  // namespace flash
