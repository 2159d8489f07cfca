// The player's movie as Pellumo stores it: the bytes it writes to the
// temporary folder before loading them into its control.
#pragma once

#include <QByteArray>

namespace flash {

// The name the player view gives the written file; the control recognises
// the player movie by it.
inline constexpr char kPlayerMovieFileName[] = "Mirelda.swf";

// The stored movie's bytes.
QByteArray PlayerMovieResource();

}  // namespace flash
