// The task runner: starts a SocketDownLoad worker on a thread of its own for
// each started task, turns the workers' events into task state, retries
// failed attempts on per-task timers, times out stalled connections, moves
// completed files to their final names, and carries out the list commands.
// Everything here runs on the user-interface thread; it owns no window of
// its own, only the window services it is given, so it runs headless too.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "app/download/runner_hosts.h"
#include "core/data_model.h"
#include "core/settings.h"
#include "http/socket_download.h"
#include "http/task_event_sink.h"
#include "platform/sound_player.h"
#include "platform/window_services.h"

class TaskRunner : public platform::MessageHandler, public TaskRunnerHooks {
 public:
  static constexpr int kRetryTimerBase = 100;   // retry timer id = TaskIndex + 100
  static constexpr int kShutdownWaitMs = 1000;  // per worker at exit

  struct Hosts {
    VisibleList* list = nullptr;
    DeleteConfirmation* deleteConfirmation = nullptr;
    CompletionNotice* completion = nullptr;
    platform::SoundPlayer* sound = nullptr;
  };

  TaskRunner(DataModel& model, Settings& settings, platform::WindowServices& services, Hosts hosts);
  ~TaskRunner() override;
  TaskRunner(const TaskRunner&) = delete;
  TaskRunner& operator=(const TaskRunner&) = delete;

  // Starts a worker for the task when it exists, the flag is 1 and the task
  // has none yet.
  void StartTask(int32_t taskIndex, uint8_t startFlag) override;
  void RefreshViews() override;

  // UM_TASK_EVENT and the retry timers arrive here through the window services.
  void OnMessage(uint32_t msg, platform::MessageParam wParam, platform::MessageParam lParam) override;
  void OnTimer(int id) override;
  void HandleTaskEvent(int32_t code, int32_t taskIndex);

  // Called every RetryDelay seconds by the frame's watchdog timer.
  void WatchdogTick();

  // List commands on the visible list.
  void Start();
  void StartAll();
  void Stop();
  void StopAll();
  void DownloadAgain();
  void Delete();
  void Restore();

  // With ResumeTask on: starts every Downloading or Retrying task, in model order.
  void ResumeAtStartUp();
  // Kills the retry timers, stops every worker and waits for them; returns
  // how many did not end within the wait (see the note at the definition).
  size_t ShutDown();

  // The running worker of a task, or nullptr.
  SocketDownLoad* FindWorker(int32_t taskIndex) const;
  size_t WorkerCount() const { return workers_.size(); }

 private:
  struct Slot;
  class EventRelay;

  // The worker of the task that has posted its final event, or nullptr.
  Slot* FinishedSlot(int32_t taskIndex) const;
  void ReleaseWorker(int32_t taskIndex);
  void HandleFailure(DataRecord& task);
  void HandleCompletion(DataRecord& task);
  void MoveLog(DataRecord& task);
  void LogToTask(DataRecord& task, int32_t kind, int32_t icon, const std::string& text);
  void RefreshRow(int32_t taskIndex);
  void ShowLog(int32_t taskIndex);
  void StartRows(const std::vector<int32_t>& rows);
  void StopRows(const std::vector<int32_t>& rows);
  static void ClearRunTexts(DataRecord& task);

  DataModel& model_;
  Settings& settings_;
  platform::WindowServices& services_;
  Hosts hosts_;
  std::shared_ptr<EventRelay> relay_;
  std::vector<std::unique_ptr<Slot>> workers_;
};
