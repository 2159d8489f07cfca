// What the video movies hand to the media engine: stream addresses of the
// kinds the hosts send, and everything else as an absolute local path, so
// that no text can reach one of the engine's other sources (filter graphs,
// memory, descriptors) by looking like one.
#pragma once

#include <QString>

namespace flash {

bool IsStreamAddress(const QString& text);
QString MediaAddress(const QString& pathOrAddress);

}  // namespace flash
