#include "app/download/task_runner.h"

#include <chrono>
#include <condition_variable>
#include <system_error>
#include <thread>

#include "app/download/completion_name.h"
#include "http/log_lock.h"
#include "http/task_events.h"
#include "platform/alt_signal_stack.h"
#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/message_box.h"

namespace {

bool IsFailureEvent(int32_t code) {
  switch (code) {
    case TE_URL_INVALID:
    case TE_SOCKET_FAILED:
    case TE_CONNECT_FAILED:
    case TE_SEND_FAILED:
    case TE_NO_RESPONSE:
    case TE_BAD_RESPONSE:
    case TE_NO_SIZE:
    case TE_CREATE_FAILED:
    case TE_RECV_ERROR:
    case TE_RECV_FAILED:
    case TE_WRITE_FAILED:
    case TE_TIMEOUT:
      return true;
    default:
      return false;
  }
}

bool IsFinalEvent(int32_t code) {
  return code == TE_CANCELED || code == TE_DELETED || code == TE_COMPLETED || IsFailureEvent(code);
}

bool IsDeletedStatus(int32_t s) { return s == DeletedFailed || s == DeletedPaused || s == DeletedCompleted; }

}  // namespace

// Workers post through a relay the runner can disconnect at shut-down: a
// worker that never ended must not post into a runner that is gone.
class TaskRunner::EventRelay : public TaskEventSink {
 public:
  explicit EventRelay(platform::WindowServices* target) : target_(target) {}
  void PostTaskEvent(int32_t code, int32_t taskIndex) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (target_) target_->Post(UM_TASK_EVENT, code, taskIndex);
  }
  void Disconnect() {
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = nullptr;
  }

 private:
  std::mutex mutex_;
  platform::WindowServices* target_;
};

// A running worker, the sink it posts through, and what tells that its
// thread routine has returned.
struct TaskRunner::Slot {
  // Notes when the worker has posted its final event, which is the last
  // thing its thread does: only such a worker may be joined on this thread.
  class Sink : public TaskEventSink {
   public:
    explicit Sink(std::shared_ptr<EventRelay> relay) : relay_(std::move(relay)) {}
    void PostTaskEvent(int32_t code, int32_t taskIndex) override {
      if (IsFinalEvent(code)) finalPosted = true;
      relay_->PostTaskEvent(code, taskIndex);
    }
    std::atomic<bool> finalPosted{false};

   private:
    std::shared_ptr<EventRelay> relay_;
  };

  explicit Slot(std::shared_ptr<EventRelay> relay) : sink(std::make_shared<Sink>(std::move(relay))) {}
  std::shared_ptr<Sink> sink;
  std::unique_ptr<SocketDownLoad> worker;
  struct Ended {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
  };
  std::shared_ptr<Ended> ended = std::make_shared<Ended>();

  bool WaitEnded(int ms) {
    std::unique_lock<std::mutex> lock(ended->mutex);
    return ended->cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return ended->done; });
  }
};

TaskRunner::TaskRunner(DataModel& model, Settings& settings, platform::WindowServices& services, Hosts hosts)
    : model_(model), settings_(settings), services_(services), hosts_(hosts),
      relay_(std::make_shared<EventRelay>(&services)) {
  services_.SetHandler(this);
}

TaskRunner::~TaskRunner() {
  ShutDown();
  services_.SetHandler(nullptr);
}

void TaskRunner::RefreshViews() {
  if (hosts_.list) hosts_.list->RefreshAll();
}

void TaskRunner::RefreshRow(int32_t taskIndex) {
  if (hosts_.list) hosts_.list->RefreshRow(taskIndex);
}

void TaskRunner::ShowLog(int32_t taskIndex) {
  if (hosts_.list) hosts_.list->ShowLogIfSelected(taskIndex);
}

void TaskRunner::LogToTask(DataRecord& task, int32_t kind, int32_t icon, const std::string& text) {
  model_.AppendLog(task.TaskIndex, kind, icon, text);
  ShowLog(task.TaskIndex);
}

void TaskRunner::ClearRunTexts(DataRecord& task) {
  task.SpeedText.clear();
  task.ElapsedText.clear();
  task.TimeLeftText.clear();
}

SocketDownLoad* TaskRunner::FindWorker(int32_t taskIndex) const {
  for (const auto& slot : workers_)
    if (slot->worker->taskIndex == taskIndex) return slot->worker.get();
  return nullptr;
}

void TaskRunner::StartTask(int32_t taskIndex, uint8_t startFlag) {
  DataRecord* task = model_.FindTask(taskIndex);
  if (!task || startFlag != 1) return;
  // One worker per task: a second would write the same temporary file. A
  // task shows its old status until its worker's first event, so a Start
  // can come while one already runs.
  if (FindWorker(taskIndex)) return;

  TaskRequest request;
  request.URL = task->URL;
  request.SaveDir = task->SaveDir;
  request.Referer = task->Referer;
  request.Cookie = task->Cookie;
  request.FileName = task->FileName;
  request.TempFile = task->TempFile;
  request.UserAgent = task->UserAgent;
  request.RTMPHost = task->RTMPHost;
  request.RTMPPlayPath = task->RTMPPlayPath;
  request.RTMPApp = task->RTMPApp;
  request.RTMPTHost = task->RTMPTHost;
  request.RTMPTPlayPath = task->RTMPTPlayPath;
  request.RTMPTApp = task->RTMPTApp;

  auto slot = std::make_unique<Slot>(relay_);
  slot->worker = std::make_unique<SocketDownLoad>();
  slot->worker->Attach(slot->sink.get());
  slot->worker->Setup(request, taskIndex, task->FileBytes);

  // The slot is registered before the thread runs, so the worker's first
  // event always finds it. The thread keeps its sink (and through it the
  // relay) and the end marker alive on its own, should it outlive the runner.
  SocketDownLoad* worker = slot->worker.get();
  workers_.push_back(std::move(slot));
  Slot& registered = *workers_.back();
  try {
    registered.worker->thread =
        std::thread([worker, sink = registered.sink, ended = registered.ended] {
          const platform::AltSignalStack crashStack;  // a stack overflow here still gets reported
          worker->Run();
          std::lock_guard<std::mutex> lock(ended->mutex);
          ended->done = true;
          ended->cv.notify_all();
        });
  } catch (const std::system_error&) {
    workers_.pop_back();  // no thread: the task stays as it was
  }
}

TaskRunner::Slot* TaskRunner::FinishedSlot(int32_t taskIndex) const {
  for (const auto& slot : workers_)
    if (slot->worker->taskIndex == taskIndex && slot->sink->finalPosted) return slot.get();
  return nullptr;
}

void TaskRunner::ReleaseWorker(int32_t taskIndex) {
  // Only a worker that has posted its final event, the thread's last action:
  // joining it then returns at once, and nothing touches the worker afterwards.
  for (auto it = workers_.begin(); it != workers_.end(); ++it) {
    if ((*it)->worker->taskIndex != taskIndex || !(*it)->sink->finalPosted) continue;
    if ((*it)->worker->thread.joinable()) (*it)->worker->thread.join();
    workers_.erase(it);
    return;
  }
}

void TaskRunner::OnMessage(uint32_t msg, platform::MessageParam wParam, platform::MessageParam lParam) {
  if (msg == UM_TASK_EVENT) HandleTaskEvent(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
}

void TaskRunner::OnTimer(int id) {
  if (id < kRetryTimerBase) return;
  services_.KillTimer(id);
  int32_t taskIndex = id - kRetryTimerBase;
  DataRecord* task = model_.FindTask(taskIndex);
  if (!task || FindWorker(taskIndex)) return;
  task->RetryCount += 1;
  StartTask(taskIndex, 1);
}

void TaskRunner::MoveLog(DataRecord& task) {
  SocketDownLoad* worker = FindWorker(task.TaskIndex);
  if (worker) {
    for (LogEntry& e : worker->TakePendingLog()) model_.AppendLog(task.TaskIndex, std::move(e));
  }
  ShowLog(task.TaskIndex);
}

void TaskRunner::HandleTaskEvent(int32_t code, int32_t taskIndex) {
  if (taskIndex == -1) return;
  DataRecord* task = model_.FindTask(taskIndex);
  if (!task) {
    // Nothing to update, but a final event still frees its worker.
    if (IsFinalEvent(code)) ReleaseWorker(taskIndex);
    return;
  }

  // A worker the user stopped or deleted ends as asked, even when it failed,
  // timed out or saw an earlier stop before it saw the request.
  if (code != TE_COMPLETED && IsFinalEvent(code)) {
    if (Slot* slot = FinishedSlot(taskIndex)) {
      if (slot->worker->deleteFlag)
        code = TE_DELETED;
      else if (slot->worker->cancelFlag)
        code = TE_CANCELED;
    }
  }

  switch (code) {
    case TE_RESOLVING:
      // A stop asked for before the worker's first event stays in force.
      if (task->DownStatus != Stopping) task->DownStatus = Downloading;
      task->StatusText = "Resolving host...";
      RefreshRow(taskIndex);
      return;
    case TE_CONNECTED:
      task->StatusText = "Sending request...";
      RefreshRow(taskIndex);
      return;
    case TE_SIZE_KNOWN: {
      SocketDownLoad* worker = FindWorker(taskIndex);
      if (!worker) return;
      task->FileBytes = worker->totalSize.load();
      task->StatusText = "Getting file size...";
      RefreshRow(taskIndex);
      return;
    }
    case TE_FILE_CREATED:
      task->StatusText = "Creating file...";
      task->CreateTime = platform::NowText();
      RefreshRow(taskIndex);
      return;
    case TE_RECEIVING:
      task->StatusText = "Receiving data...";
      RefreshRow(taskIndex);
      return;
    case TE_LOG:
      MoveLog(*task);
      return;
    case TE_CANCELED:
      task->DownStatus = Paused;
      ClearRunTexts(*task);
      task->StatusText = "Paused";
      RefreshRow(taskIndex);
      ReleaseWorker(taskIndex);
      return;
    case TE_DELETED:
      task->DownStatus = DeletedPaused;
      task->SortIndex = ++model_.LastSortIndex;
      RefreshViews();
      ReleaseWorker(taskIndex);
      return;
    case TE_COMPLETED:
      HandleCompletion(*task);
      return;
    default:
      if (IsFailureEvent(code)) HandleFailure(*task);
      return;
  }
}

void TaskRunner::HandleFailure(DataRecord& task) {
  const int32_t taskIndex = task.TaskIndex;
  // With no partial file left (the worker discards one the server's answer
  // does not fit) there is nothing the size expected must match any more:
  // kept, it would fail every later attempt once the file changed on the server.
  if (!platform::FileExists(DataModel::TempPath(task))) task.FileBytes = 0;
  const Slot* slot = FinishedSlot(taskIndex);
  const bool hopeless = slot && slot->worker->certificateRejected;
  if (!hopeless && task.RetryCount < settings_.RetryTimes) {
    ReleaseWorker(taskIndex);
    task.DownStatus = Retrying;
    ClearRunTexts(task);
    task.StatusText = "Retrying";
    RefreshRow(taskIndex);
    LogToTask(task, LOG_SUMMARY, 0, "Wait " + std::to_string(settings_.RetryDelay) + " seconds before retry.");
    services_.SetTimer(taskIndex + kRetryTimerBase, settings_.RetryDelay * 1000 + 100);
  } else {
    task.DownStatus = Failed;
    ClearRunTexts(task);
    task.StatusText = "Failed";
    RefreshRow(taskIndex);
    LogToTask(task, LOG_SUMMARY, 3, "Failed to download the file.");
    ReleaseWorker(taskIndex);
  }
}

void TaskRunner::HandleCompletion(DataRecord& task) {
  const int32_t taskIndex = task.TaskIndex;
  Slot* slot = FinishedSlot(taskIndex);
  if (!slot) return;
  SocketDownLoad* worker = slot->worker.get();
  // The worker has posted its last event; let its thread finish first.
  if (worker->thread.joinable()) worker->thread.join();

  task.DownStatus = Completed;
  task.FileBytes = task.DownBytes = worker->totalSize.load();
  task.FinishTime = platform::NowText();
  task.Progress = "100";
  ClearRunTexts(task);
  task.StatusText = "Completed";
  task.RetryCount = 0;
  task.SortIndex = ++model_.LastSortIndex;

  const std::string newName =
      FreeFinalName(task.SaveDir, task.FileName, [](const std::string& p) { return platform::FileExists(p); });
  const std::string tempPath = DataModel::TempPath(task);
  if (platform::RenameFile(tempPath, task.SaveDir + newName)) {
    task.FileName = newName;
  } else if (platform::FileExists(tempPath)) {
    // The finished data stays where it is: the task names the file that is
    // really there rather than one that isn't.
    task.FileName = task.TempFile;
    LogToTask(task, LOG_SUMMARY, 3, "Failed to rename the temporary file to " + newName + ".");
  } else {
    // Nothing on disk to claim: the download has to be made again.
    task.DownStatus = Failed;
    task.StatusText = "Failed";
    task.Progress.clear();
    task.FileBytes = task.DownBytes = 0;
    LogToTask(task, LOG_SUMMARY, 3, "The downloaded file is missing.");
  }

  RefreshViews();
  ReleaseWorker(taskIndex);
  DataRecord* done = model_.FindTask(taskIndex);
  if (!done || done->DownStatus != Completed) return;
  if (settings_.PlaySound && hosts_.sound) hosts_.sound->PlaySync(settings_.FinishSound);
  if (hosts_.completion) hosts_.completion->OnTaskCompleted(taskIndex);
}

void TaskRunner::WatchdogTick() {
  for (const auto& slot : workers_) {
    SocketDownLoad& w = *slot->worker;
    // A worker the user stopped or deleted is ending already; a time-out
    // would turn that into a failure and a retry.
    if (w.cancelFlag || w.deleteFlag) continue;
    int64_t mark = w.watchdogMark.load();
    int64_t downloaded = w.downloaded.load();
    if (mark < -1)
      w.watchdogMark = mark + 1;  // the first tick is a grace tick
    else if (mark == downloaded)
      w.TimeOut();
    else
      w.watchdogMark = downloaded;
  }
}

void TaskRunner::StartRows(const std::vector<int32_t>& rows) {
  if (hosts_.list) hosts_.list->ClearPreview();
  for (int32_t taskIndex : rows) {
    DataRecord* task = model_.FindTask(taskIndex);
    if (!task || (task->DownStatus != Failed && task->DownStatus != Paused)) continue;
    task->Log.clear();
    ShowLog(taskIndex);
    StartTask(taskIndex, 1);
  }
}

void TaskRunner::Start() {
  if (hosts_.list) StartRows(hosts_.list->SelectedRows());
}

void TaskRunner::StartAll() {
  if (hosts_.list) StartRows(hosts_.list->Rows());
}

void TaskRunner::StopRows(const std::vector<int32_t>& rows) {
  for (int32_t taskIndex : rows) {
    DataRecord* task = model_.FindTask(taskIndex);
    if (!task) continue;
    if (SocketDownLoad* worker = FindWorker(taskIndex)) {
      // Whatever the status shows (a worker's first event may still be on
      // its way), a running worker is stopped, and its TE_CANCELED makes
      // the task Paused.
      services_.KillTimer(taskIndex + kRetryTimerBase);
      task->DownStatus = Stopping;
      task->RetryCount = 0;
      RefreshRow(taskIndex);
      worker->Stop();
    } else if (task->DownStatus == Downloading || task->DownStatus == Retrying) {
      services_.KillTimer(taskIndex + kRetryTimerBase);
      task->RetryCount = 0;
      task->DownStatus = Paused;
      ClearRunTexts(*task);
      task->StatusText = "Paused";
      RefreshRow(taskIndex);
      LogToTask(*task, LOG_SUMMARY, 3, "User canceled the downloading.");
    }
  }
}

void TaskRunner::Stop() {
  if (hosts_.list) StopRows(hosts_.list->SelectedRows());
}

void TaskRunner::StopAll() {
  if (hosts_.list) StopRows(hosts_.list->Rows());
}

void TaskRunner::DownloadAgain() {
  if (!hosts_.list) return;
  hosts_.list->ClearPreview();
  if (platform::ShowMessageBox("Confirm", "Existing downloaded files will be deleted. Are you sure to continue?",
                               platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES)
    return;
  std::vector<int32_t> rows = hosts_.list->SelectedRows();
  bool restarted = false;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    DataRecord* task = model_.FindTask(*it);
    if (!task || (task->DownStatus != Completed && !IsDeletedStatus(task->DownStatus))) continue;
    model_.ResetToBeginning(*task);
    task->SaveDir = settings_.SavePath;
    StartTask(task->TaskIndex, 1);
    restarted = true;
  }
  if (restarted) RefreshViews();
}

void TaskRunner::Delete() {
  if (!hosts_.list) return;
  hosts_.list->ClearPreview();
  bool alsoDeleteFiles = false;
  if (hosts_.list->IsDeletedList()) {
    if (!hosts_.deleteConfirmation || !hosts_.deleteConfirmation->Confirm(alsoDeleteFiles)) return;
  }
  std::vector<int32_t> rows = hosts_.list->SelectedRows();
  bool changed = false;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    const int32_t taskIndex = *it;
    DataRecord* task = model_.FindTask(taskIndex);
    if (!task) continue;
    if (SocketDownLoad* worker = FindWorker(taskIndex); worker && !IsDeletedStatus(task->DownStatus)) {
      // A running worker is deleted through itself whatever the status
      // shows; its TE_DELETED moves the task to the Deleted list.
      services_.KillTimer(taskIndex + kRetryTimerBase);
      task->RetryCount = 0;
      ClearRunTexts(*task);
      task->StatusText = "Paused";
      task->DownStatus = Stopping;
      RefreshRow(taskIndex);
      worker->Delete();
      changed = true;
      continue;
    }
    switch (task->DownStatus) {
      case Failed:
        task->DownStatus = DeletedFailed;
        task->SortIndex = ++model_.LastSortIndex;
        changed = true;
        break;
      case Downloading:
      case Stopping:
        // No worker left to finish the change: the task goes at once.
        ClearRunTexts(*task);
        task->StatusText = "Paused";
        task->DownStatus = DeletedPaused;
        task->SortIndex = ++model_.LastSortIndex;
        changed = true;
        break;
      case Paused:
        task->DownStatus = DeletedPaused;
        task->SortIndex = ++model_.LastSortIndex;
        changed = true;
        break;
      case Retrying:
        services_.KillTimer(taskIndex + kRetryTimerBase);
        task->RetryCount = 0;
        task->DownStatus = DeletedPaused;
        task->SortIndex = ++model_.LastSortIndex;
        changed = true;
        break;
      case Completed:
        task->RetryCount = 0;
        task->DownStatus = DeletedCompleted;
        changed = true;
        break;
      case DeletedFailed:
      case DeletedPaused:
      case DeletedCompleted:
        if (alsoDeleteFiles) {
          if (!task->FileName.empty()) platform::DeleteFile(DataModel::FinalPath(*task));
          if (!task->TempFile.empty()) platform::DeleteFile(DataModel::TempPath(*task));
        }
        model_.RemoveTask(taskIndex);  // `task` is gone from here on
        changed = true;
        break;
      default:
        break;
    }
  }
  if (changed) RefreshViews();
}

void TaskRunner::Restore() {
  if (!hosts_.list) return;
  for (int32_t taskIndex : hosts_.list->SelectedRows()) {
    DataRecord* task = model_.FindTask(taskIndex);
    if (!task || !IsDeletedStatus(task->DownStatus)) continue;
    if (task->DownStatus == DeletedCompleted)
      task->DownStatus = Completed;
    else if (task->DownStatus == DeletedFailed)
      task->DownStatus = Failed;
    else
      task->DownStatus = Paused;
  }
  RefreshViews();
}

void TaskRunner::ResumeAtStartUp() {
  std::vector<int32_t> toStart;
  for (const DataRecord& task : model_.tasks)
    if (task.DownStatus == Downloading || task.DownStatus == Retrying) toStart.push_back(task.TaskIndex);
  for (int32_t taskIndex : toStart) StartTask(taskIndex, 1);
}

// Every worker ends within one receive wait once stopped, because Stop
// closes its connection and every step checks the flags. One that still has
// not ended after the wait (a name lookup that hangs, a disk that doesn't
// answer) cannot be killed safely: it is left running and its object is
// deliberately never freed, so it can't touch freed memory; it posts into a
// disconnected relay, it only ever appends to its temporary file, and the
// process exit ends it. Its task keeps the temporary file and resumes later.
size_t TaskRunner::ShutDown() {
  // No retry may start a worker from here on.
  for (const DataRecord& task : model_.tasks) services_.KillTimer(task.TaskIndex + kRetryTimerBase);
  // Every worker, whatever its task shows: one just started for a Retrying
  // task, or one whose first event is still on its way, would cost the
  // whole wait.
  for (const auto& slot : workers_) slot->worker->Stop();
  size_t leftRunning = 0;
  for (auto& slot : workers_) {
    if (!slot->worker->thread.joinable()) continue;
    if (slot->WaitEnded(kShutdownWaitMs)) {
      slot->worker->thread.join();
    } else {
      slot->worker->thread.detach();
      (void)slot->worker.release();
      ++leftRunning;
    }
  }
  workers_.clear();
  relay_->Disconnect();
  return leftRunning;
}
