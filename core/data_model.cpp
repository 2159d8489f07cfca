#include "core/data_model.h"

#include <algorithm>

#include "core/ansi_text.h"
#include "core/save_name.h"
#include "core/temp_name.h"
#include "platform/file_system.h"
#include "platform/local_time.h"

namespace {

// Fills the host, play path and application of a stream address that the
// request did not split already. False when the splitter refuses it.
bool SplitStreamAddress(DataRecord& task, const StreamAddressSplitter& split) {
  std::string* host = nullptr;
  std::string* playPath = nullptr;
  std::string* app = nullptr;
  if (StartsWithNoCase(task.URL, "rtmpt://")) {
    if (!task.RTMPTHost.empty()) return true;
    host = &task.RTMPTHost;
    playPath = &task.RTMPTPlayPath;
    app = &task.RTMPTApp;
  } else if (StartsWithNoCase(task.URL, "rtmp://")) {
    if (!task.RTMPHost.empty()) return true;
    host = &task.RTMPHost;
    playPath = &task.RTMPPlayPath;
    app = &task.RTMPApp;
  } else {
    return true;
  }
  if (!split) return false;
  std::string h, p, a;
  if (!split(task.URL, h, p, a)) return false;
  *host = h;
  *playPath = p;
  *app = a;
  return true;
}

void ClearProgress(DataRecord& task) {
  task.FileBytes = task.DownBytes = 0;
  task.Progress.clear();
  task.SpeedText.clear();
  task.ElapsedText.clear();
  task.TimeLeftText.clear();
  task.StatusText = "Paused";
  task.Width = task.Height = 0;
  task.Duration.clear();
  task.CreateTime.clear();
  task.FinishTime.clear();
}

bool IsDeleted(int32_t status) {
  return status == DeletedFailed || status == DeletedPaused || status == DeletedCompleted;
}

}  // namespace

DataRecord* DataModel::FindTask(int32_t taskIndex) {
  auto it = std::find_if(tasks.begin(), tasks.end(), [&](const DataRecord& t) { return t.TaskIndex == taskIndex; });
  return it == tasks.end() ? nullptr : &*it;
}

const DataRecord* DataModel::FindTask(int32_t taskIndex) const {
  return const_cast<DataModel*>(this)->FindTask(taskIndex);
}

DataRecord* DataModel::FindTaskByUrl(const std::string& url) {
  auto it = std::find_if(tasks.begin(), tasks.end(), [&](const DataRecord& t) { return EqualNoCase(t.URL, url); });
  return it == tasks.end() ? nullptr : &*it;
}

int32_t DataModel::AddTask(const TaskRequest* request, const AddTaskOptions& options,
                           const AddTaskServices& services, AskingWindow* asker) {
  DataRecord task;
  TaskRequest from;
  if (options.ShowTaskWnd || request == nullptr) {
    if (services.newDownload == nullptr) return -1;
    if (request != nullptr) from = *request;
    if (!services.newDownload->Show(request, from)) return -1;
    const std::string url = TrimBlanks(from.URL);
    if (const DataRecord* existing = FindTaskByUrl(url)) {
      if (services.taskExisted != nullptr) services.taskExisted->Show(url, existing->TaskIndex);
      return -1;
    }
    task.FileName = TrimBlanks(from.FileName);
    task.SaveDir = from.SaveDir;
    task.TempFile = from.TempFile;
  } else {
    // A captured address added directly: no duplicate check.
    from = *request;
    const std::string url = TrimBlanks(from.URL);
    task.FileName = MakeSaveName(url, options.SavePath, from.ExtHint, *this);
    task.SaveDir = options.SavePath;
    TempNameRandom random(services.tempNameSeed ? services.tempNameSeed() : TimeSeed());
    if (!MakeTempFileName(task.SaveDir, task.FileName, random, this, task.TempFile)) return -1;
  }

  task.URL = TrimBlanks(from.URL);
  task.Referer = from.Referer;
  task.Cookie = from.Cookie;
  task.UserAgent = from.UserAgent;
  task.Comment = from.Comment;
  task.RTMPHost = from.RTMPHost;
  task.RTMPPlayPath = from.RTMPPlayPath;
  task.RTMPApp = from.RTMPApp;
  task.RTMPTHost = from.RTMPTHost;
  task.RTMPTPlayPath = from.RTMPTPlayPath;
  task.RTMPTApp = from.RTMPTApp;
  ClearProgress(task);
  if (!SplitStreamAddress(task, services.splitStreamAddress)) return -1;

  task.TaskIndex = ++LastTaskIndex;
  task.RetryCount = 0;
  task.SortIndex = ++LastSortIndex;
  task.DownStatus = Paused;
  const int32_t taskIndex = task.TaskIndex;
  tasks.push_back(std::move(task));

  if (services.runner != nullptr) {
    services.runner->RefreshViews();
    services.runner->StartTask(taskIndex, from.StartFlag);
  }
  if (asker != nullptr) asker->SendTaskAdded();
  return taskIndex;
}

bool DataModel::RemoveTask(int32_t taskIndex) {
  if (taskIndex == -1) return false;
  auto it = std::find_if(tasks.begin(), tasks.end(), [&](const DataRecord& t) { return t.TaskIndex == taskIndex; });
  if (it == tasks.end()) return false;
  tasks.erase(it);
  return true;
}

CategoryCounts DataModel::CountByCategory() const {
  CategoryCounts counts;
  for (const DataRecord& t : tasks) {
    if (t.DownStatus >= Failed && t.DownStatus <= Retrying) {
      ++counts.downloading;
    } else if (t.DownStatus == Completed) {
      ++counts.completed;
    } else if (IsDeleted(t.DownStatus)) {
      ++counts.deleted;
    }
  }
  return counts;
}

RunningSummary DataModel::RunningTotals() const {
  RunningSummary totals;
  for (const DataRecord& t : tasks) {
    if (t.DownStatus == Downloading || t.DownStatus == Retrying) {
      ++totals.count;
      totals.speed += t.Speed;
    }
  }
  return totals;
}

int32_t DataModel::GetDownStatus(int32_t taskIndex) const {
  const DataRecord* t = FindTask(taskIndex);
  return t == nullptr ? -1 : t->DownStatus;
}

int32_t DataModel::GetSortIndex(int32_t taskIndex) const {
  const DataRecord* t = FindTask(taskIndex);
  return t == nullptr ? -1 : t->SortIndex;
}

bool DataModel::AppendLog(int32_t taskIndex, LogEntry entry) {
  DataRecord* t = FindTask(taskIndex);
  if (t == nullptr) return false;
  entry.TaskIndex = taskIndex;
  t->Log.push_back(std::move(entry));
  return true;
}

bool DataModel::AppendLog(int32_t taskIndex, int32_t kind, int32_t icon, const std::string& text) {
  LogEntry entry;
  entry.kind = kind;
  entry.icon = icon;
  entry.text = text;
  entry.time = platform::NowText();
  return AppendLog(taskIndex, std::move(entry));
}

std::string DataModel::FinalPath(const DataRecord& task) { return task.SaveDir + task.FileName; }

std::string DataModel::TempPath(const DataRecord& task) { return task.SaveDir + task.TempFile; }

std::string DataModel::FinalPathWithSeparator(const DataRecord& task) {
  // An empty folder stays empty: a leading separator would point at the root.
  if (task.SaveDir.empty() || task.SaveDir.back() == platform::kPathSeparator) return FinalPath(task);
  return task.SaveDir + platform::kPathSeparator + task.FileName;
}

void DataModel::ResetToBeginning(DataRecord& task) {
  // Without a name the path would be the folder itself.
  if (!task.FileName.empty()) platform::DeleteFile(FinalPath(task));
  if (!task.TempFile.empty()) platform::DeleteFile(TempPath(task));
  task.DownStatus = Paused;
  ClearProgress(task);
  task.RetryCount = 0;
  task.SortIndex = ++LastSortIndex;
  task.Log.clear();
}

bool DataModel::DownloadAgain(int32_t taskIndex, TaskRunnerHooks* runner, AskingWindow* asker) {
  DataRecord* task = FindTask(taskIndex);
  if (task == nullptr) return false;
  if (task->DownStatus != Paused && task->DownStatus != Completed && !IsDeleted(task->DownStatus)) return false;
  ResetToBeginning(*task);
  if (runner != nullptr) runner->StartTask(taskIndex, 1);
  if (asker != nullptr) asker->SendTaskAdded();
  if (runner != nullptr) runner->RefreshViews();
  return true;
}
