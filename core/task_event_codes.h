// The message a download worker posts to the task list view and its event
// codes (wParam = code, lParam = TaskIndex). Both the HTTP worker and the
// stream recorders post them, so they live below either engine.
#pragma once

#include <cstdint>

inline constexpr uint32_t UM_TASK_EVENT = 2254;  // 0x08CE

enum TaskEvent : int32_t {
  TE_URL_INVALID = 2255,
  TE_SOCKET_FAILED = 2256,
  TE_CONNECT_FAILED = 2257,
  TE_CONNECTED = 2258,
  TE_SEND_FAILED = 2259,
  TE_NO_RESPONSE = 2260,
  TE_BAD_RESPONSE = 2263,
  TE_NO_SIZE = 2265,
  TE_SIZE_KNOWN = 2266,
  TE_CREATE_FAILED = 2267,
  TE_FILE_CREATED = 2268,
  TE_RECEIVING = 2269,
  TE_RECV_ERROR = 2270,
  TE_RECV_FAILED = 2271,
  TE_WRITE_FAILED = 2272,
  TE_CANCELED = 2273,
  TE_DELETED = 2274,
  TE_COMPLETED = 2275,
  TE_LOG = 2278,
  TE_TIMEOUT = 2279,
  TE_RESOLVING = 2323,
};
