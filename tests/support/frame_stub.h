// The main frame as the features hooked into it see it, for tests without a
// real frame: the task list and settings are plain members, and what the
// features post goes to `services`.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/shell/frame_hooks.h"
#include "core/data_model.h"
#include "core/settings.h"

namespace testsupport {

template <typename PostTarget>
class StubFrame : public shell::FrameAccess {
 public:
  QWidget* Window() override { return window; }
  DataModel& Model() override { return model; }
  Settings& AppSettings() override { return settings; }
  TaskRunner& Runner() override { std::abort(); }  // no feature under these tests asks for it
  platform::WindowServices& Services() override { return services; }
  uint32_t WindowHandle() const override { return 0; }
  void RefreshViews() override {}
  int32_t AddTask(const TaskRequest*, AskingWindow*) override { return -1; }
  void PreviewFile(const std::string&, int32_t) override {}
  void SetMonitoring(bool) override {}
  void ShowAndRaise() override {}
  void ShowTask(int32_t) override {}

  QWidget* window = nullptr;
  DataModel model;
  Settings settings;
  PostTarget services;
};

// Appends a task with this status and file name to the list; its address is
// made from the name.
inline DataRecord& AddListedTask(DataModel& model, int32_t status, const std::string& name,
                                 const std::string& dir) {
  DataRecord t;
  t.TaskIndex = ++model.LastTaskIndex;
  t.SortIndex = ++model.LastSortIndex;
  t.DownStatus = status;
  t.FileName = name;
  t.URL = "http://example.test/" + name;
  t.SaveDir = dir;
  model.tasks.push_back(t);
  return model.tasks.back();
}

}  // namespace testsupport
