// Where a download worker's events go: the task list view in the program, a
// plain loop in the command-line tool, a recorder in tests.
#pragma once

#include <cstdint>

class TaskEventSink {
 public:
  virtual ~TaskEventSink() = default;
  // Posts UM_TASK_EVENT (code, TaskIndex). Called on the worker thread; must
  // queue and return at once, never wait for the receiving thread.
  virtual void PostTaskEvent(int32_t code, int32_t taskIndex) = 0;
};
