// Saves and loads a task list of 10,000 tasks in a temporary folder and
// prints the median times per 1,000 tasks. Usage: bench_task_list_file [tasks] [rounds]
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/task_list_file.h"
#include "platform/file_system.h"

namespace {

std::string Text(const char* format, int i) {
  char buf[256];
  std::snprintf(buf, sizeof buf, format, i, i % 32768);
  return buf;
}

DataRecord MakeTask(int i) {
  DataRecord r;
  r.FileName = Text("Some video title number %d.flv", i);
  r.TempFile = Text("{%2$d_Some video title number %1$d.flv}.TMP!", i);
  r.URL = Text("http://media.example.com/videos/2024/05/%d/stream.flv?token=abcdef0123456789", i);
  r.Referer = Text("http://www.example.com/watch?v=%d", i);
  r.UserAgent = "Mozilla/5.0 (X11; Linux x86_64) Gecko/20100101 Firefox/115.0";
  r.CreateTime = "2024-05-01 10:00:00";
  r.FinishTime = "2024-05-01 10:05:00";
  r.FileBytes = 10000000 + i;
  r.DownBytes = 5000000 + i;
  r.Progress = "50.00";
  r.Width = 640;
  r.Height = 360;
  r.Duration = "00:03:20";
  r.SaveDir = "/home/user/Documents/Tamborel/";
  r.SortIndex = i + 1;
  if (i % 4 == 0) {
    r.RTMPHost = "rtmp://stream.example.com:1935";
    r.RTMPApp = "vod";
    r.RTMPPlayPath = Text("mp4:videos/%d.mp4", i);
  }
  r.TaskIndex = i + 1;
  r.DownStatus = i % 3 == 0 ? Completed : Paused;
  return r;
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int tasks = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
  int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

  std::string tmpl = (std::filesystem::temp_directory_path() / "tamborel-bench-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = tmpl + "/";

  DataModel model;
  for (int i = 0; i < tasks; ++i) model.tasks.push_back(MakeTask(i));

  using clock = std::chrono::steady_clock;
  std::vector<double> first_save, resave, load;
  bool ok = true;
  for (int round = 0; round < rounds; ++round) {
    platform::DeleteFile(dir + kTaskListFileName);
    auto t0 = clock::now();
    ok = SaveTaskList(model, dir) && ok;
    auto t1 = clock::now();
    ok = SaveTaskList(model, dir) && ok;  // over an existing file, which is parsed first
    auto t2 = clock::now();
    DataModel loaded;
    ok = LoadTaskList(loaded, dir, false) == tasks && ok;
    auto t3 = clock::now();
    first_save.push_back(Seconds(t1 - t0));
    resave.push_back(Seconds(t2 - t1));
    load.push_back(Seconds(t3 - t2));
  }
  int64_t size = platform::FileSize(dir + kTaskListFileName);
  platform::DeleteFile(dir + kTaskListFileName);
  ::rmdir(tmpl.c_str());
  if (!ok) {
    std::fprintf(stderr, "save or load failed\n");
    return 1;
  }

  double per = 1000.0 / tasks * 1000.0;  // seconds -> ms per 1,000 tasks
  std::printf("%d tasks, %d rounds, file %.1f MB (median times)\n", tasks, rounds,
              static_cast<double>(size) / 1e6);
  std::printf("save, no file yet:    %8.2f ms total  %6.2f ms per 1,000 tasks\n",
              Median(first_save) * 1000, Median(first_save) * per);
  std::printf("save over last file:  %8.2f ms total  %6.2f ms per 1,000 tasks\n",
              Median(resave) * 1000, Median(resave) * per);
  std::printf("load:                 %8.2f ms total  %6.2f ms per 1,000 tasks\n",
              Median(load) * 1000, Median(load) * per);
  return 0;
}
