// A line log of what passes between the view and its movie, written when
// PELLUMO_TRACE names a file. The end-to-end tests read it to see what the
// movie reported; users never need it.
#pragma once

#include <QString>

void TraceLine(const QString& line);
