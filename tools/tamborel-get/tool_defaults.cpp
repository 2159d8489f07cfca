#include "tool_defaults.h"

#include "core/settings.h"
#include "platform/qt/standard_folders.h"

GetOptions DefaultGetOptions() {
  Settings settings;
  GetOptions o;
  o.folder = Settings::DefaultSaveFolder(platform::DocumentsFolder());
  o.retries = settings.RetryTimes;
  o.retryDelay = settings.RetryDelay;
  return o;
}
