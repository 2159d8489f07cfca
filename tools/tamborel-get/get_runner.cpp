#include "get_runner.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "http/task_events.h"
#include "platform/file_system.h"
#include "progress_text.h"

volatile std::sig_atomic_t GetRunner::interrupted = 0;

namespace {

using Clock = std::chrono::steady_clock;

bool IsFinal(int32_t code) {
  switch (code) {
    case TE_RESOLVING:
    case TE_CONNECTED:
    case TE_SIZE_KNOWN:
    case TE_FILE_CREATED:
    case TE_RECEIVING:
    case TE_LOG:
      return false;
    default:
      return true;
  }
}

// Where a completed file goes when its name is taken: base[0].ext, base[1].ext ...
// with an earlier "[n]" of the base dropped first.
std::string FreeFinalName(const std::string& dir, const std::string& fileName) {
  if (!platform::FileExists(dir + fileName)) return fileName;
  size_t dot = fileName.rfind('.');
  std::string base = dot == std::string::npos ? fileName : fileName.substr(0, dot);
  std::string ext = dot == std::string::npos ? std::string() : fileName.substr(dot);
  for (;;) {
    size_t open = base.rfind('[');
    if (base.empty() || base.back() != ']' || open == std::string::npos || open == 0) break;
    base.erase(open);
  }
  for (int n = 0;; ++n) {
    std::string name = base + "[" + std::to_string(n) + "]" + ext;
    if (!platform::FileExists(dir + name)) return name;
  }
}

}  // namespace

GetRunner::GetRunner(DataRecord task, const GetOptions& options)
    : task_(std::move(task)), options_(options), tty_(::isatty(STDERR_FILENO) == 1) {}

void GetRunner::PostTaskEvent(int32_t code, int32_t /*taskIndex*/) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(code);
  }
  wake_.notify_one();
}

void GetRunner::Say(const std::string& line) {
  if (progressShown_) {
    std::fputs("\r\x1b[K", stderr);
    progressShown_ = false;
  }
  std::fprintf(stderr, "%s\n", line.c_str());
  lastText_ = line;
}

void GetRunner::TakeLog() {
  bool firstHeaderLine = true;
  for (const LogEntry& e : worker_->TakePendingLog()) {
    std::string text = e.text;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (e.kind == LOG_SUMMARY || e.kind == LOG_DETAIL) {
      Say(text);
    } else if (e.kind == LOG_REQUEST || e.kind == LOG_RESPONSE) {
      // Request texts and header lines end in a line break; what is logged
      // with those kinds without one is a failure message. The status line
      // is worth seeing too.
      bool message = !e.text.empty() && e.text.back() != '\n';
      bool statusLine = e.kind == LOG_RESPONSE && text.rfind("HTTP/", 0) == 0 && firstHeaderLine;
      if (message || statusLine) Say(text);
      if (e.kind == LOG_RESPONSE) firstHeaderLine = false;
    }
  }
}

void GetRunner::ShowProgress(bool force) {
  if (!receiving_) return;
  ProgressState p;
  p.total = worker_->totalSize;
  p.downloaded = worker_->downloaded;
  p.speed = worker_->speed;
  if (tty_) {
    std::fprintf(stderr, "\r%s\x1b[K", ProgressText(p, 30).c_str());
    progressShown_ = true;
  } else if (force) {
    std::fprintf(stderr, "%s\n", ProgressText(p, 0).c_str());
  }
  std::fflush(stderr);
}

GetRunner::Outcome GetRunner::RunAttempt() {
  TaskRequest request;
  request.URL = task_.URL;
  request.SaveDir = task_.SaveDir;
  request.Referer = task_.Referer;
  request.Cookie = task_.Cookie;
  request.FileName = task_.FileName;
  request.TempFile = task_.TempFile;
  request.UserAgent = task_.UserAgent;
  request.RTMPHost = task_.RTMPHost;
  request.RTMPPlayPath = task_.RTMPPlayPath;
  request.RTMPApp = task_.RTMPApp;
  request.RTMPTHost = task_.RTMPTHost;
  request.RTMPTPlayPath = task_.RTMPTPlayPath;
  request.RTMPTApp = task_.RTMPTApp;

  worker_ = std::make_unique<SocketDownLoad>();
  worker_->Attach(this);
  worker_->Setup(request, task_.TaskIndex, task_.FileBytes);
  receiving_ = false;
  SocketDownLoad* w = worker_.get();
  w->thread = std::thread([w] { w->Run(); });

  const auto watchdogPeriod = std::chrono::seconds(options_.retryDelay > 0 ? options_.retryDelay : 1);
  auto nextWatchdog = Clock::now() + watchdogPeriod;
  auto nextProgress = Clock::now();
  bool stopSent = false;
  int32_t final = 0;
  while (final == 0) {
    std::deque<int32_t> events;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(200), [&] { return !events_.empty(); });
      events.swap(events_);
    }
    for (int32_t code : events) {
      if (code == TE_LOG) TakeLog();
      if (code == TE_SIZE_KNOWN) task_.FileBytes = w->totalSize;
      if (code == TE_RECEIVING) receiving_ = true;
      if (IsFinal(code)) {
        final = code;
        break;
      }
    }
    if (final) break;
    if (interrupted && !stopSent) {
      w->Stop();
      stopSent = true;
    }
    const auto now = Clock::now();
    if (now >= nextWatchdog) {
      // The program's stall watchdog: a grace tick, then a time-out when
      // nothing arrived for a whole period.
      nextWatchdog = now + watchdogPeriod;
      int32_t mark = w->watchdogMark;
      if (mark < -1)
        w->watchdogMark = mark + 1;
      else if (mark == w->downloaded)
        w->TimeOut();
      else
        w->watchdogMark = static_cast<int32_t>(w->downloaded);
    }
    if (now >= nextProgress) {
      ShowProgress(true);
      nextProgress = now + std::chrono::seconds(1);
    } else if (tty_) {
      ShowProgress(false);
    }
  }
  w->thread.join();
  TakeLog();  // anything the final event carried
  if (final == TE_COMPLETED) {
    task_.FileBytes = w->totalSize;
    ShowProgress(true);
    if (progressShown_) {
      std::fputs("\n", stderr);
      progressShown_ = false;
    }
    return Outcome::Completed;
  }
  return final == TE_CANCELED ? Outcome::Canceled : Outcome::Failed;
}

bool GetRunner::SleepBeforeRetry() {
  Say("Wait " + std::to_string(options_.retryDelay) + " seconds before retry.");
  auto until = Clock::now() + std::chrono::milliseconds(options_.retryDelay * 1000 + 100);
  while (Clock::now() < until) {
    if (interrupted) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

bool GetRunner::Finish(std::string* finalPath) {
  const std::string name = FreeFinalName(task_.SaveDir, task_.FileName);
  const std::string path = task_.SaveDir + name;
  if (!platform::RenameFile(task_.SaveDir + task_.TempFile, path)) {
    Say("Failed to rename " + task_.SaveDir + task_.TempFile + " to " + path + ".");
    return false;
  }
  *finalPath = path;
  return true;
}

int GetRunner::Run(std::string* finalPath) {
  std::string reason;
  for (int attempt = 0;; ++attempt) {
    Outcome o = RunAttempt();
    if (o == Outcome::Completed) return Finish(finalPath) ? 0 : 1;
    reason = lastText_;
    if (o == Outcome::Canceled || interrupted) break;
    if (attempt >= options_.retries) break;
    if (!SleepBeforeRetry()) {
      reason = "User canceled the downloading.";
      break;
    }
  }
  // The reason is the last thing said.
  if (lastText_ != reason) Say(reason);
  return interrupted ? 130 : 1;
}
