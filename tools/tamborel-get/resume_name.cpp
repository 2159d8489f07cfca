#include "resume_name.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>

std::string FindTempFileOf(const std::string& folder, const std::string& fileName) {
  const std::string tail = "_" + fileName + "}.TMP!";
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return {};
  std::string best;
  struct timespec bestTime {};
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name.size() <= tail.size() + 1 || name[0] != '{' ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
      continue;
    const std::string digits = name.substr(1, name.size() - tail.size() - 1);
    bool allDigits = !digits.empty();
    for (char c : digits) allDigits = allDigits && std::isdigit(static_cast<unsigned char>(c));
    struct stat st;
    if (!allDigits || ::stat((folder + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (best.empty() || st.st_mtim.tv_sec > bestTime.tv_sec ||
        (st.st_mtim.tv_sec == bestTime.tv_sec && st.st_mtim.tv_nsec > bestTime.tv_nsec)) {
      best = name;
      bestTime = st.st_mtim;
    }
  }
  ::closedir(dir);
  return best;
}
