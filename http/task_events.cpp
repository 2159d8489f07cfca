#include "http/task_events.h"

const char* TaskEventName(int32_t code) {
  switch (code) {
    case TE_URL_INVALID: return "TE_URL_INVALID";
    case TE_SOCKET_FAILED: return "TE_SOCKET_FAILED";
    case TE_CONNECT_FAILED: return "TE_CONNECT_FAILED";
    case TE_CONNECTED: return "TE_CONNECTED";
    case TE_SEND_FAILED: return "TE_SEND_FAILED";
    case TE_NO_RESPONSE: return "TE_NO_RESPONSE";
    case TE_BAD_RESPONSE: return "TE_BAD_RESPONSE";
    case TE_NO_SIZE: return "TE_NO_SIZE";
    case TE_SIZE_KNOWN: return "TE_SIZE_KNOWN";
    case TE_CREATE_FAILED: return "TE_CREATE_FAILED";
    case TE_FILE_CREATED: return "TE_FILE_CREATED";
    case TE_RECEIVING: return "TE_RECEIVING";
    case TE_RECV_ERROR: return "TE_RECV_ERROR";
    case TE_RECV_FAILED: return "TE_RECV_FAILED";
    case TE_WRITE_FAILED: return "TE_WRITE_FAILED";
    case TE_CANCELED: return "TE_CANCELED";
    case TE_DELETED: return "TE_DELETED";
    case TE_COMPLETED: return "TE_COMPLETED";
    case TE_LOG: return "TE_LOG";
    case TE_TIMEOUT: return "TE_TIMEOUT";
    case TE_RESOLVING: return "TE_RESOLVING";
    default: return "";
  }
}
