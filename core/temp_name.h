// Random names for the temporary file of a download: "{%d_%s}.TMP!".
#pragma once

#include <cstdint>
#include <string>

class DataModel;

// A small linear congruential generator giving numbers 0 to 32767; seeded
// with the time in seconds, a fixed seed makes the sequence repeatable.
class TempNameRandom {
 public:
  explicit TempNameRandom(uint32_t seed) : state_(seed) {}
  int Next();

 private:
  uint32_t state_;
};

// The time in seconds, as the seed of a new generator.
uint32_t TimeSeed();

// "{<number>_<fileName>}.TMP!" with numbers drawn from `random` until
// folder + name is free on disk and, when a model is given, not the temporary
// path of any of its tasks. False when no free name turned up after many draws.
bool MakeTempFileName(const std::string& folder, const std::string& fileName, TempNameRandom& random,
                      const DataModel* model, std::string& name);
