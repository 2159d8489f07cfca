// Pellumo's settings, section "Setting" of QSettings("Quorlin", "Pellumo"):
// read at start-up, written at exit.
#pragma once

#include <cstdint>

#include "core/key_value_store.h"

struct PlayerSettings {
  bool Muted = false;
  int Sound = 75;     // 0 to 100
  int Width = 500;    // outer size of the main window when it was destroyed
  int Height = 400;   // at least 50
  bool Repeat = false;

  // Missing values keep their defaults; values out of range are brought in.
  void Load(const KeyValueStore& store);
  void Save(KeyValueStore& store) const;
};
