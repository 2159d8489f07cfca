#include "get_runner.h"

#include <unistd.h>

#include <cstdio>

#include "http/task_events.h"
#include "progress_text.h"

volatile std::sig_atomic_t GetRunner::interrupted = 0;

namespace {
constexpr int kTickMs = 200;
// The worker's failure texts of the request and header kinds.
constexpr const char* kSendFailedText = "Failed to send downloading request.";
constexpr const char* kNoResponseText = "Error occured.";
}  // namespace

GetRunner::GetRunner(DataModel& model, int32_t taskIndex, const GetOptions& options)
    : model_(model),
      taskIndex_(taskIndex),
      runner_(model, settings_, loop_, TaskRunner::Hosts{this, nullptr, this, nullptr}),
      tty_(::isatty(STDERR_FILENO) == 1) {
  settings_.RetryTimes = options.retries;
  settings_.RetryDelay = options.retryDelay;
  settings_.PlaySound = 0;
  loop_.SetHandler(this);  // in front of the runner, which set itself first
}

void GetRunner::Say(const std::string& line) {
  if (progressShown_) {
    std::fputs("\r\x1b[K", stderr);
    progressShown_ = false;
  }
  std::fprintf(stderr, "%s\n", line.c_str());
  lastText_ = line;
}

void GetRunner::KeepBar() {
  if (!progressShown_) return;
  std::fputs("\n", stderr);  // the bar stays on its line
  progressShown_ = false;
}

void GetRunner::PrintNewLog() {
  const std::vector<LogEntry>& log = Task().Log;
  bool firstHeaderLine = true;
  for (; printed_ < log.size(); ++printed_) {
    const LogEntry& e = log[printed_];
    std::string text = e.text;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (e.kind == LOG_SUMMARY || e.kind == LOG_DETAIL) {
      // The runner's closing line would hide the reason, which the exit
      // code and the last line already tell.
      // The full bar goes before the completion line.
      if (text == "Download Completed.") {
        ShowProgress(true, true);
        KeepBar();
      }
      if (text != "Failed to download the file.") Say(text);
    } else if (e.kind == LOG_REQUEST || e.kind == LOG_RESPONSE) {
      // Besides the request and the header, one failure message each is
      // logged with these kinds. Header lines come in pieces of a limited
      // length, so only the message's own text tells it apart. The status
      // line is worth seeing too.
      bool message = e.text == (e.kind == LOG_REQUEST ? kSendFailedText : kNoResponseText);
      bool statusLine = e.kind == LOG_RESPONSE && text.rfind("HTTP/", 0) == 0 && firstHeaderLine;
      if (message || statusLine) Say(text);
    }
    firstHeaderLine = e.kind != LOG_RESPONSE;
  }
}

void GetRunner::ShowProgress(bool force, bool final) {
  SocketDownLoad* w = runner_.FindWorker(taskIndex_);
  // The completion line can come before the receiving status when a small
  // file arrives at once; the last bar is shown all the same.
  if (!w || (!final && Task().StatusText != "Receiving data...")) return;
  ProgressState p;
  p.total = w->totalSize;
  p.downloaded = w->downloaded;
  p.speed = w->speed;
  if (tty_) {
    std::fprintf(stderr, "\r%s\x1b[K", ProgressText(p, 30).c_str());
    progressShown_ = true;
  } else if (force) {
    std::fprintf(stderr, "%s\n", ProgressText(p, 0).c_str());
  }
  std::fflush(stderr);
}

void GetRunner::OnMessage(uint32_t msg, platform::MessageParam wParam, platform::MessageParam lParam) {
  runner_.OnMessage(msg, wParam, lParam);
  PrintNewLog();
  CheckEnd();
}

void GetRunner::OnTimer(int id) {
  if (id == kWatchdogTimer) {
    runner_.WatchdogTick();
  } else if (id == kTickTimer) {
    if (interrupted && !stopSent_) {
      stopSent_ = true;
      runner_.StopAll();
    }
    ShowProgress(++ticks_ % (1000 / kTickMs) == 0);
  } else {
    runner_.OnTimer(id);  // retry timers
  }
  PrintNewLog();
  CheckEnd();
}

void GetRunner::CheckEnd() {
  if (exitCode_ >= 0) return;
  const DataRecord& task = Task();
  if (task.DownStatus == Completed) {
    KeepBar();
    exitCode_ = 0;
  } else if (task.DownStatus == Failed) {
    exitCode_ = 1;
  } else if (task.DownStatus == Paused && runner_.FindWorker(taskIndex_) == nullptr) {
    exitCode_ = interrupted ? 130 : 1;
  } else {
    return;
  }
  loop_.Quit();
}

int GetRunner::Run(std::string* finalPath) {
  loop_.SetTimer(kTickTimer, kTickMs);
  loop_.SetTimer(kWatchdogTimer, (settings_.RetryDelay > 0 ? settings_.RetryDelay : 1) * 1000);
  runner_.StartTask(taskIndex_, 1);
  if (runner_.WorkerCount() == 0) {
    Say("Failed to start the download.");
    return 1;
  }
  loop_.Run();
  PrintNewLog();
  if (exitCode_ == 0) {
    *finalPath = DataModel::FinalPath(Task());
    return 0;
  }
  // The reason is the last thing said.
  if (lastText_.empty()) Say("Failed to download the file.");
  return exitCode_;
}
