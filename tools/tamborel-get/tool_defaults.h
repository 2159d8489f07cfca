// Defaults of tamborel-get, taken from the program's settings record.
#pragma once

#include "get_options.h"

// The default save folder (not the stored SavePath), RetryTimes and RetryDelay.
GetOptions DefaultGetOptions();
