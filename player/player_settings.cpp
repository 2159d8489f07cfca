#include "player/player_settings.h"

#include <algorithm>

namespace {

const char kSection[] = "Setting";

int ReadInt(const KeyValueStore& store, const char* name, int fallback) {
  uint32_t v = 0;
  if (!store.ReadNumber(kSection, name, &v)) return fallback;
  return static_cast<int32_t>(v);
}

}  // namespace

void PlayerSettings::Load(const KeyValueStore& store) {
  Muted = ReadInt(store, "Muted", Muted) != 0;
  // A hand-edited volume outside 0..100 would reach the movie as it is.
  Sound = std::clamp(ReadInt(store, "Sound", Sound), 0, 100);
  Width = std::max(0, ReadInt(store, "Width", Width));
  Height = std::max(50, ReadInt(store, "Height", Height));
  Repeat = ReadInt(store, "Repeat", Repeat) != 0;
}

void PlayerSettings::Save(KeyValueStore& store) const {
  store.WriteNumber(kSection, "Muted", Muted ? 1 : 0);
  store.WriteNumber(kSection, "Sound", static_cast<uint32_t>(std::clamp(Sound, 0, 100)));
  store.WriteNumber(kSection, "Width", static_cast<uint32_t>(std::max(0, Width)));
  store.WriteNumber(kSection, "Height", static_cast<uint32_t>(std::max(50, Height)));
  store.WriteNumber(kSection, "Repeat", Repeat ? 1 : 0);
}
