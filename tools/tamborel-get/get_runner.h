// The small task runner of tamborel-get: one task, one SocketDownLoad per
// attempt, retries, the stall watchdog, the progress display and the final
// rename, as the program's task runner does them for a task in its list.
#pragma once

#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "core/data_record.h"
#include "get_options.h"
#include "http/socket_download.h"
#include "http/task_event_sink.h"

class GetRunner : public TaskEventSink {
 public:
  GetRunner(DataRecord task, const GetOptions& options);

  // Downloads until completed, given up or interrupted. 0 with *finalPath
  // set on success; otherwise the exit code, with the reason on stderr.
  int Run(std::string* finalPath);

  // Set from a signal handler: stops the running attempt and ends.
  static volatile std::sig_atomic_t interrupted;

  void PostTaskEvent(int32_t code, int32_t taskIndex) override;

 private:
  enum class Outcome { Completed, Failed, Canceled };
  Outcome RunAttempt();
  void TakeLog();
  void Say(const std::string& line);
  void ShowProgress(bool force);
  bool Finish(std::string* finalPath);
  bool SleepBeforeRetry();

  DataRecord task_;
  GetOptions options_;
  std::unique_ptr<SocketDownLoad> worker_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<int32_t> events_;
  std::string lastText_;
  bool tty_ = false;
  bool progressShown_ = false;  // a bar is on the terminal's current line
  bool receiving_ = false;
};
