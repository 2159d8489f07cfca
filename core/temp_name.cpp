#include "core/temp_name.h"

#include <algorithm>
#include <ctime>

#include "core/ansi_text.h"
#include "core/data_model.h"
#include "platform/file_system.h"

namespace {

// Far more draws than there are numbers: only a folder holding every one of
// the 32768 names for this file gets here.
constexpr int kMaxDraws = 1000000;

bool TempPathUsed(const std::string& path, const DataModel* model) {
  if (platform::FileExists(path)) return true;
  // Tasks added in the same second draw the same first number, and their
  // temporary files do not exist until their workers create them.
  return model != nullptr &&
         std::any_of(model->tasks.begin(), model->tasks.end(), [&](const DataRecord& task) {
           return !task.TempFile.empty() && EqualNoCase(task.SaveDir + task.TempFile, path);
         });
}

}  // namespace

int TempNameRandom::Next() {
  state_ = state_ * 214013u + 2531011u;
  return static_cast<int>((state_ >> 16) & 0x7fff);
}

uint32_t TimeSeed() { return static_cast<uint32_t>(std::time(nullptr)); }

bool MakeTempFileName(const std::string& folder, const std::string& fileName, TempNameRandom& random,
                      const DataModel* model, std::string& name) {
  for (int i = 0; i < kMaxDraws; ++i) {
    std::string candidate = "{" + std::to_string(random.Next()) + "_" + fileName + "}.TMP!";
    if (!TempPathUsed(folder + candidate, model)) {
      name = candidate;
      return true;
    }
  }
  return false;
}
