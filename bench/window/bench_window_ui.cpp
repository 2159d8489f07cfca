// What the window costs its user-interface thread: the per-second refresh of
// 100 running rows in a shown list, and the part of the periodic Task.dat
// save that runs there, with 10,000 tasks. Prints milliseconds (medians).
#include <QApplication>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/download/task_list_model.h"
#include "app/shell/task_list_saver.h"
#include "core/data_model.h"
#include "core/task_list_file.h"
#include "http/socket_download.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

DataModel MakeModel(int tasks, int running) {
  DataModel m;
  for (int i = 0; i < tasks; ++i) {
    DataRecord t;
    t.TaskIndex = ++m.LastTaskIndex;
    t.SortIndex = ++m.LastSortIndex;
    t.DownStatus = i >= tasks - running ? Downloading : (i % 3 == 0 ? Completed : Paused);
    t.FileName = "video_" + std::to_string(i) + ".flv";
    t.TempFile = "{" + std::to_string(i) + "_" + t.FileName + "}.TMP!";
    t.URL = "http://videos.example/media/" + t.FileName + "?session=0123456789abcdef";
    t.SaveDir = "/home/user/Documents/Tamborel/";
    t.FileBytes = 50 << 20;
    t.DownBytes = 20 << 20;
    t.Progress = "40.00";
    t.CreateTime = "2026-12-01 10:00:00";
    for (int l = 0; l < 20; ++l) t.Log.push_back(LogEntry{LOG_SUMMARY, 0, "Receiving data...", "2026-12-01 10:00:00", t.TaskIndex});
    m.tasks.push_back(std::move(t));
  }
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string folder = argc > 1 ? argv[1] : "/tmp/";

  // Per-second refresh: 100 running rows on top of 10,000, all counters moving.
  DataModel model = MakeModel(10000, 100);
  std::vector<std::unique_ptr<SocketDownLoad>> workers;
  for (int i = 0; i < 100; ++i) {
    workers.push_back(std::make_unique<SocketDownLoad>());
    workers.back()->totalSize = 50 << 20;
    workers.back()->startTick = 1;
  }
  TaskListModel list(1);
  list.Fill(model);
  QTreeView view;
  view.setUniformRowHeights(true);
  view.setModel(&list);
  view.resize(900, 500);
  view.show();
  QApplication::processEvents();
  // The running tasks are the newest: the rows on top, in view.
  auto lookup = [&](int32_t t) { return t > 9900 ? workers[t - 9901].get() : nullptr; };
  std::vector<double> refresh, repaint;
  for (int pass = 0; pass < 60; ++pass) {
    for (auto& w : workers) {
      w->downloaded = (20 << 20) + pass * 131072;
      w->speed = 131072 + pass * 17;
    }
    const auto start = Clock::now();
    list.RefreshRunning(model, lookup, 1000u * static_cast<uint32_t>(pass + 2));
    refresh.push_back(Ms(Clock::now() - start));
    const auto paint = Clock::now();
    QApplication::processEvents();  // the repaint the pass causes
    repaint.push_back(Ms(Clock::now() - paint));
  }

  // Periodic save: the copy on the user-interface thread, the write elsewhere.
  std::vector<double> copy, write;
  for (int round = 0; round < 9; ++round) {
    const auto start = Clock::now();
    std::unique_ptr<DataModel> snapshot = TaskListSaver::Snapshot(model);
    copy.push_back(Ms(Clock::now() - start));
    const auto w = Clock::now();
    SaveTaskList(*snapshot, folder);
    write.push_back(Ms(Clock::now() - w));
  }
  // The start-up pieces with 10,000 tasks: reading Task.dat, filling and showing the list.
  DataModel loaded;
  auto t0 = Clock::now();
  LoadTaskList(loaded, folder, false);
  const double loadMs = Ms(Clock::now() - t0);
  t0 = Clock::now();
  TaskListModel all(1);
  all.Fill(loaded);
  QTreeView shown;
  shown.setUniformRowHeights(true);
  shown.setModel(&all);
  shown.resize(900, 500);
  shown.show();
  QApplication::processEvents();
  const double fillMs = Ms(Clock::now() - t0);
  std::printf("start_load_10000_ms %.3f\n", loadMs);
  std::printf("start_fill_show_10000_ms %.3f\n", fillMs);
  std::printf("refresh_100_running_ms %.3f\n", Median(refresh));
  std::printf("repaint_after_refresh_ms %.3f\n", Median(repaint));
  std::printf("save_ui_thread_10000_ms %.3f\n", Median(copy));
  std::printf("save_writer_thread_10000_ms %.3f\n", Median(write));
  return 0;
}
