#include "app/capture/capture_intake.h"

#include <sys/time.h>

#include <algorithm>
#include <ctime>
#include <vector>

#include "app/capture/capture_block.h"
#include "app/capture/capture_messages.h"
#include "core/data_model.h"
#include "core/save_name.h"
#include "core/settings.h"
#include "platform/shared_memory.h"
#include "platform/sound_player.h"
#include "platform/window_services.h"

namespace capture {

namespace {

// The reader removes the name: on this platform a block outlives every
// handle, and the capture side waits for the name to go as its sign that the
// capture arrived.
bool ReadSharedBlock(uint32_t number, uint8_t* block) {
  const std::string name = CaptureBlockName(number);
  if (!platform::SharedMemory::ReadCopy(name, block, CaptureBlockLayout::kSize)) return false;
  platform::SharedMemory::Unlink(name);
  return true;
}

}  // namespace

CaptureTime LocalCaptureTime() {
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  std::tm tm{};
  time_t seconds = tv.tv_sec;
  ::localtime_r(&seconds, &tm);
  CaptureTime t;
  t.year = static_cast<uint16_t>(tm.tm_year + 1900);
  t.month = static_cast<uint16_t>(tm.tm_mon + 1);
  t.dayOfWeek = static_cast<uint16_t>(tm.tm_wday);
  t.day = static_cast<uint16_t>(tm.tm_mday);
  t.hour = static_cast<uint16_t>(tm.tm_hour);
  t.minute = static_cast<uint16_t>(tm.tm_min);
  t.second = static_cast<uint16_t>(tm.tm_sec);
  t.milliseconds = static_cast<uint16_t>(tv.tv_usec / 1000);
  return t;
}

void CaptureIntake::OnCaptured(uint32_t blockNumber) {
  std::vector<uint8_t> block(CaptureBlockLayout::kSize);
  const bool read = s_.readBlock ? s_.readBlock(blockNumber, block.data()) : ReadSharedBlock(blockNumber, block.data());
  if (!read) return;

  CaptureRecord record = ComposeCapture(ReadCaptureBlock(block.data()), s_.specialHost);
  record.id = ++lastId_;  // advances even for an item dropped below
  if (s_.popups && s_.popups->IsOnScreen(record.address)) return;

  if (s_.settings->PlaySound && s_.sound) s_.sound->PlaySync(s_.settings->CaptureSound);

  record.time = s_.now ? s_.now() : LocalCaptureTime();
  record.thumbnail.reset();
  const int32_t id = record.id;
  PopupRequest popup{id, s_.mainWindow, kPopupKindCapture, false, record.address, record.pattern};
  history_.push_back(std::move(record));

  if (s_.settings->ShowCapturePopWnd && s_.popups)
    s_.popups->Queue(popup);
  else if (s_.frame)
    s_.frame->Post(kUmCaptureAdd, 0, id);
}

CaptureRecord* CaptureIntake::Find(int32_t id) {
  auto it = std::find_if(history_.begin(), history_.end(), [&](const CaptureRecord& r) { return r.id == id; });
  return it == history_.end() ? nullptr : &*it;
}

bool CaptureIntake::AddAndForget(int32_t id, const TaskRequest& request, AskingWindow* asker) {
  int32_t added;
  if (s_.addTask) {
    added = s_.addTask(request, asker);
  } else {
    static const AddTaskServices kNone;
    const AddTaskOptions options{s_.settings->ShowTaskWnd != 0, s_.settings->SavePath};
    added = s_.model->AddTask(&request, options, s_.addTaskServices ? *s_.addTaskServices : kNone, asker);
  }
  if (added < 0) return false;
  // The record may have moved while AddTask ran dialogs: look it up again.
  auto it = std::find_if(history_.begin(), history_.end(), [&](const CaptureRecord& r) { return r.id == id; });
  if (it != history_.end()) history_.erase(it);  // its thumbnail goes with it
  return true;
}

bool CaptureIntake::OnCaptureAdd(AskingWindow* asker, int32_t id) {
  if (id < 0) return false;
  const CaptureRecord* r = Find(id);
  if (!r) return false;
  TaskRequest request;
  request.Flag = 1;
  request.StartFlag = 1;
  request.URL = r->address;
  request.SaveDir = s_.settings->SavePath;
  request.Referer = r->referer;
  request.Cookie = r->cookie;
  request.ExtHint = r->pattern;
  request.UserAgent = r->userAgent;
  request.RTMPHost = r->rtmpHost;
  request.RTMPPlayPath = r->rtmpPlayPath;
  request.RTMPApp = r->rtmpApp;
  request.RTMPTHost = r->rtmptHost;
  request.RTMPTPlayPath = r->rtmptPlayPath;
  request.RTMPTApp = r->rtmptApp;
  return AddAndForget(id, request, asker);
}

bool CaptureIntake::OnHistoryDownload(int32_t id) {
  bool added = false;
  const CaptureRecord* r = Find(id);
  if (r && !r->address.empty()) {
    TaskRequest request;
    request.Flag = 1;
    request.StartFlag = 1;
    request.URL = r->address;
    request.FileName = MakeSaveName(r->address, s_.settings->SavePath, r->pattern, *s_.model);
    request.Referer = r->referer;
    request.UserAgent = r->userAgent;
    request.ExtHint = r->pattern;
    request.Cookie = r->cookie;
    added = AddAndForget(id, request, nullptr);
  }
  if (s_.popups) s_.popups->RemoveWaiting(id);
  return added;
}

}  // namespace capture
