// The player movie Pellumo carries inside itself, and the start-up check
// of the installed player.
#pragma once

#include <QByteArray>

namespace flash { class FlashControl; }

// Written to the temporary folder under this name before use.
inline constexpr char kPlayerMovieFileName[] = "Mirelda.swf";

// The movie's bytes as stored in the program.
QByteArray PlayerMovieBytes();

// A missing control or a player older than version 9 ends the program
// (exit code 0) after telling the user; otherwise returns.
void CheckInstalledPlayer(flash::FlashControl* control);
