#include "app/download/task_rows.h"

#include <algorithm>
#include <cstdio>

#include "core/format.h"
#include "core/settings.h"

namespace {

constexpr int kCmdStart = 32775, kCmdStop = 32776, kCmdStartAll = 32777, kCmdStopAll = 32778,
              kCmdDownloadAgain = 32779, kCmdDelete = 32780, kCmdOpenFolder = 32781, kCmdOpenFile = 32782,
              kCmdCopyUrl = 32783, kCmdProperties = 32784, kCmdRestore = 32854;

bool Any(const std::vector<int32_t>& statuses, std::initializer_list<int32_t> wanted) {
  return std::any_of(statuses.begin(), statuses.end(), [&](int32_t s) {
    return std::find(wanted.begin(), wanted.end(), s) != wanted.end();
  });
}

}  // namespace

std::vector<ColumnInfo> CategoryColumns(int category) {
  using A = CellAlign;
  switch (category) {
    case kCategoryCompleted:
      return {{"  Name", 180, A::Left},          {"Size  ", 80, A::Right},
              {" Dimension ", 100, A::Centre},   {" Duration ", 100, A::Centre},
              {"  Time Created", 140, A::Left},  {"  Time Completed", 140, A::Left},
              {"  URL", 140, A::Left},           {"  Comment", 80, A::Left}};
    case kCategoryDeleted:
      return {{"  Name", 180, A::Left}, {"Size  ", 80, A::Right}, {"Completed  ", 80, A::Right},
              {"  Progress", 110, A::Left}, {"  URL", 140, A::Left}};
    default: {
      bool downloading = category == kCategoryDownloading;
      return {{"  Name", downloading ? 90 : 180, A::Left},
              {"Size  ", 80, A::Right},
              {"Completed  ", 80, A::Right},
              {"  Progress", 110, A::Left},
              {"Speed  ", 90, A::Right},
              {" Elapsed ", 70, A::Centre},
              {" Time Left ", 70, A::Centre},
              {"  Status", 100, A::Left},
              {"  URL", downloading ? 240 : 140, A::Left}};
    }
  }
}

int UrlColumn(int category) {
  switch (category) {
    case kCategoryCompleted: return 6;
    case kCategoryDeleted: return 4;
    default: return 8;
  }
}

int ProgressColumn(int category) { return category == kCategoryCompleted ? -1 : 3; }

bool StatusInCategory(int32_t status, int category) {
  switch (category) {
    case kCategoryAll: return status >= Failed && status <= Completed;
    case kCategoryDownloading: return status >= Failed && status <= Retrying;
    case kCategoryCompleted: return status == Completed;
    case kCategoryDeleted: return status >= DeletedFailed && status <= DeletedCompleted;
    default: return false;
  }
}

int CategoryForShowTask(int32_t status) {
  if (status >= Failed && status <= Paused) return kCategoryDownloading;
  if (status == Completed) return kCategoryCompleted;
  if (status >= DeletedFailed && status <= DeletedCompleted) return kCategoryDeleted;
  return kCategoryAll;
}

int PictureOfStatus(int32_t status) {
  switch (status) {
    case Failed:
    case DeletedFailed: return kPictureFailed;
    case Downloading:
    case Retrying: return kPictureDownloading;
    case Paused:
    case DeletedPaused: return kPicturePaused;
    case Completed:
    case DeletedCompleted: return kPictureFinished;
    case Stopping: return kPictureStopping;
    default: return kPictureNone;
  }
}

std::string SizeText(int64_t bytes) { return FormatSize(bytes > 0 ? static_cast<uint64_t>(bytes) : 0); }

std::string SizeOrUnknown(int64_t bytes) { return bytes == 0 ? std::string("?") : SizeText(bytes); }

RowCells CellsOf(const DataRecord& t, int category) {
  RowCells c;
  c[0] = t.FileName;
  switch (category) {
    case kCategoryCompleted:
      c[1] = SizeText(t.FileBytes);
      if (t.Width != 0 && t.Height != 0) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%d x %d", t.Width, t.Height);
        c[2] = buf;
      }
      c[3] = t.Duration;
      c[4] = t.CreateTime;
      c[5] = t.FinishTime;
      c[6] = t.URL;
      c[7] = t.Comment;
      break;
    case kCategoryDeleted:
    default:
      c[1] = SizeOrUnknown(t.FileBytes);
      c[2] = SizeText(t.DownBytes);
      c[3] = t.Progress;
      if (category == kCategoryDeleted) {
        c[4] = t.URL;
        break;
      }
      c[4] = t.SpeedText;
      c[5] = t.ElapsedText;
      c[6] = t.TimeLeftText;
      c[7] = t.StatusText;
      c[8] = t.URL;
      break;
  }
  return c;
}

bool TaskCommandEnabled(int id, const std::vector<int32_t>& s) {
  switch (id) {
    case kCmdStart: return Any(s, {Failed, Paused});
    case kCmdStop: return Any(s, {Downloading, Retrying});
    case kCmdDownloadAgain:
      return !s.empty() && std::all_of(s.begin(), s.end(), [](int32_t v) {
        return v == Completed || v == DeletedFailed || v == DeletedPaused || v == DeletedCompleted;
      });
    case kCmdOpenFile: return Any(s, {Completed, DeletedCompleted});
    case kCmdDelete:
    case kCmdOpenFolder:
    case kCmdCopyUrl:
    case kCmdProperties:
    case kCmdRestore: return !s.empty();
    case kCmdStartAll:
    case kCmdStopAll: return true;
    default: return false;
  }
}

DoubleClickAction DoubleClickActionFor(int category, int32_t status, const Settings& settings) {
  auto byValue = [](int32_t value) {
    if (value == 1) return DoubleClickAction::OpenFile;
    if (value == 2) return DoubleClickAction::Properties;
    return DoubleClickAction::Nothing;
  };
  switch (category) {
    case kCategoryAll:
      if (settings.DblClickIncomplete == 1)
        return status == Completed ? byValue(settings.DblClickCompleted) : DoubleClickAction::Nothing;
      return settings.DblClickIncomplete == 2 ? DoubleClickAction::Properties : DoubleClickAction::Nothing;
    case kCategoryCompleted: return byValue(settings.DblClickCompleted);
    case kCategoryDeleted: return byValue(settings.DblClickDeleted);
    default: return DoubleClickAction::Nothing;
  }
}

std::string UrlLines(const std::vector<std::string>& urls) {
  std::string out;
  for (const std::string& u : urls) out += u + "\r\n";
  return out;
}
