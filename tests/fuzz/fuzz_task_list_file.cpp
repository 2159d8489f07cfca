// Task.dat as found in the program folder: any bytes. Whatever loads must
// save and load again to the same tasks.
#include <dirent.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/data_model.h"
#include "core/task_list_file.h"
#include "platform/message_box.h"

namespace {

struct QuietBoxes : platform::MessageBoxSink {
  int Show(const std::string&, const std::string&, uint32_t) override { return platform::IDOK; }
};

const std::string& Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/fuzz_task_list_XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    return std::string(pattern) + "/";
  }();
  return folder;
}

void EmptyFolder(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) std::abort();
  while (dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") unlink((folder + name).c_str());
  }
  closedir(dir);
}

bool SameStored(const DataRecord& a, const DataRecord& b) {
  return a.TaskIndex == b.TaskIndex && a.DownStatus == b.DownStatus && a.FileName == b.FileName &&
         a.TempFile == b.TempFile && a.URL == b.URL && a.Referer == b.Referer &&
         a.UserAgent == b.UserAgent && a.CreateTime == b.CreateTime &&
         a.FinishTime == b.FinishTime && a.FileBytes == b.FileBytes &&
         a.DownBytes == b.DownBytes && a.Progress == b.Progress && a.Width == b.Width &&
         a.Height == b.Height && a.Duration == b.Duration && a.SaveDir == b.SaveDir &&
         a.SortIndex == b.SortIndex && a.RTMPHost == b.RTMPHost && a.RTMPApp == b.RTMPApp &&
         a.RTMPPlayPath == b.RTMPPlayPath && a.RTMPTHost == b.RTMPTHost &&
         a.RTMPTApp == b.RTMPTApp && a.RTMPTPlayPath == b.RTMPTPlayPath;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QuietBoxes boxes;
  platform::SetMessageBoxSink(&boxes);
  if (size > (1u << 20)) return 0;
  const std::string& folder = Folder();
  EmptyFolder(folder);
  // The first byte picks ResumeTask.
  const bool resume = size > 0 && (data[0] & 1);
  {
    FILE* f = std::fopen((folder + kTaskListFileName).c_str(), "wb");
    if (!f) std::abort();
    if (size > 1 && std::fwrite(data + 1, 1, size - 1, f) != size - 1) std::abort();
    std::fclose(f);
  }

  DataModel first;
  const int loaded = LoadTaskList(first, folder, resume);
  if (loaded < -1 || (loaded >= 0 && size_t(loaded) != first.tasks.size())) std::abort();
  if (loaded > 0) {
    EmptyFolder(folder);
    if (!SaveTaskList(first, folder)) std::abort();
    DataModel again;
    if (LoadTaskList(again, folder, resume) != loaded) std::abort();
    for (size_t i = 0; i < first.tasks.size(); ++i)
      if (!SameStored(first.tasks[i], again.tasks[i])) std::abort();
    if (again.LastSortIndex != first.LastSortIndex) std::abort();
  }
  EmptyFolder(folder);
  return 0;
}
