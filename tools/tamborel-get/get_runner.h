// tamborel-get's host for the task runner: one task in a list of its own,
// the program's TaskRunner on a plain event loop (retries, stall watchdog,
// final rename), and a terminal display of its log and progress.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>

#include "app/download/runner_hosts.h"
#include "app/download/task_runner.h"
#include "core/data_model.h"
#include "core/settings.h"
#include "get_options.h"
#include "platform/event_loop.h"

class GetRunner : public VisibleList, public CompletionNotice, public platform::MessageHandler {
 public:
  // `model` holds the one task, added but not started.
  GetRunner(DataModel& model, int32_t taskIndex, const GetOptions& options);

  // Downloads until completed, given up or interrupted. 0 with *finalPath
  // set on success; otherwise the exit code, with the reason on stderr.
  int Run(std::string* finalPath);

  // Set from a signal handler: stops the task and ends.
  static volatile std::sig_atomic_t interrupted;

  // VisibleList: the list holds just this task.
  std::vector<int32_t> Rows() const override { return {taskIndex_}; }
  std::vector<int32_t> SelectedRows() const override { return {taskIndex_}; }
  bool IsDeletedList() const override { return false; }
  void RefreshRow(int32_t) override {}
  void RefreshAll() override {}
  void ShowLogIfSelected(int32_t) override { PrintNewLog(); }
  void ClearPreview() override {}

  void OnTaskCompleted(int32_t) override {}

  // Forwards to the runner, then looks whether the task has come to an end.
  void OnMessage(uint32_t msg, platform::MessageParam wParam, platform::MessageParam lParam) override;
  void OnTimer(int id) override;

 private:
  static constexpr int kTickTimer = 1;      // progress display and signals
  static constexpr int kWatchdogTimer = 4;  // the stall watchdog, every RetryDelay seconds

  DataRecord& Task() { return *model_.FindTask(taskIndex_); }
  void PrintNewLog();
  void Say(const std::string& line);
  void ShowProgress(bool force, bool final = false);
  void KeepBar();
  void CheckEnd();

  DataModel& model_;
  int32_t taskIndex_;
  Settings settings_;
  platform::EventLoop loop_;
  TaskRunner runner_;
  size_t printed_ = 0;          // log lines of the task already shown
  std::string lastText_;
  bool tty_ = false;
  bool progressShown_ = false;  // a bar is on the terminal's current line
  bool stopSent_ = false;
  int ticks_ = 0;
  int exitCode_ = -1;
};
