#include "http/log_lock.h"

std::mutex LogLock;
