#include "core/save_name.h"

#include <algorithm>

#include "core/ansi_text.h"
#include "core/data_model.h"
#include "platform/file_system.h"

namespace {

constexpr size_t kMaxNameLength = 50;

bool IsStreamAddress(const std::string& address) {
  return StartsWithNoCase(address, "rtmp://") || StartsWithNoCase(address, "rtmpt://");
}

// The name as it is stored: numbered, with ".flv" for streams, without the
// characters a file name cannot hold, and at most 50 characters from its end.
// The number always survives the cut: an extension so long that it would
// push the number out keeps the number in front of its own last characters,
// or every numbered name would be the same, taken one.
std::string FinishName(const std::string& name, const std::string& ext, int n, bool stream) {
  const std::string number = n > 0 ? "[" + std::to_string(n) + "]" : "";
  std::string tail = ext.empty() ? "" : "." + ext;
  if (stream && !EndsWithNoCase(name + number + tail, ".flv")) tail += ".flv";
  std::string result = number.size() + tail.size() > kMaxNameLength
                           ? number + tail.substr(tail.size() - (kMaxNameLength - number.size()))
                           : name + number + tail;
  for (char& c : result) {
    switch (c) {
      case '\\': case ':': case '/': case '*': case '?': case '"':
      case '>': case '<': case '|': case '%': case '&':
        c = '_';
        break;
      default:
        break;
    }
  }
  if (result.size() > kMaxNameLength) result = result.substr(result.size() - kMaxNameLength);
  return result;
}

}  // namespace

bool IsPathTaken(const std::string& path, const DataModel& model) {
  if (platform::FileExists(path)) return true;
  return std::any_of(model.tasks.begin(), model.tasks.end(),
                     [&](const DataRecord& task) { return EqualNoCase(task.SaveDir + task.FileName, path); });
}

std::string MakeSaveName(const std::string& address, const std::string& folder, const std::string& hint,
                         const DataModel& model) {
  const bool stream = IsStreamAddress(address);
  std::string url = address;
  // Stream addresses keep their query: it is part of the play path.
  if (!stream && url.find('?', 1) != std::string::npos) url.resize(url.find('?'));
  if (url.empty()) return {};

  std::string ext = hint.substr(std::min(hint.find_first_not_of("*."), hint.size()));
  std::replace(url.begin(), url.end(), '\\', '/');

  std::string name;
  size_t slash = url.rfind('/');
  if (slash != std::string::npos && slash + 1 < url.size()) {
    name = url.substr(slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
      if (ext.empty()) ext = name.substr(dot + 1);
      name.resize(dot);
    }
  } else {
    name = "download";
  }
  if (name.size() > kMaxNameLength) name.resize(kMaxNameLength);
  std::replace(name.begin(), name.end(), '%', '_');
  std::replace(ext.begin(), ext.end(), '%', '_');

  // The uniqueness test looks at the name that will be stored, after ".flv"
  // and the character replacements: two captures of one stream must not end
  // up with one final path, or deleting one task's files deletes the other's.
  int n = 0;
  std::string result = FinishName(name, ext, n, stream);
  while (IsPathTaken(folder + result, model)) result = FinishName(name, ext, ++n, stream);
  return result;
}
