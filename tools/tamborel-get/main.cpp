// tamborel-get: downloads one address into a folder the way a task of the
// program does, and prints where the file went.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <limits.h>
#include <string>

#include "core/data_model.h"
#include "get_options.h"
#include "get_runner.h"
#include "platform/file_system.h"
#include "rtmp/diag_log.h"
#include "rtmp/rtmp_recorder.h"
#include "rtmp/stream_address.h"
#include "resume_name.h"
#include "tool_defaults.h"

namespace {

void OnSignal(int) { GetRunner::interrupted = 1; }

std::string AbsoluteFolder(const std::string& folder) {
  char resolved[PATH_MAX];
  if (!::realpath(folder.c_str(), resolved)) return folder;
  std::string out = resolved;
  if (out.back() != platform::kPathSeparator) out += platform::kPathSeparator;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  GetOptions options = DefaultGetOptions();
  std::string error;
  if (!ParseGetOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "tamborel-get: %s\n%s\n", error.c_str(), GetUsage());
    return 2;
  }
  if (options.help) {
    std::printf("%s\n\n"
                "Downloads one http://, https:// or rtmp:// address into FOLDER (default: %s),\n"
                "retrying failed attempts N times (default %d), SECONDS apart (default %d).\n"
                "Run it again after an interruption to continue where it stopped.\n"
                "-v also shows the stream engine's diagnostics.\n",
                GetUsage(), DefaultGetOptions().folder.c_str(), DefaultGetOptions().retries,
                DefaultGetOptions().retryDelay);
    return 0;
  }
  // The stream engine's developer diagnostics share standard error with the
  // progress display; they are wanted only when asked for.
  FILE* quiet = options.verbose ? nullptr : std::fopen("/dev/null", "w");
  if (quiet) DiagSink = quiet;
  if (!platform::CreateFolders(options.folder)) {
    std::fprintf(stderr, "tamborel-get: cannot create the folder %s\n", options.folder.c_str());
    return 2;
  }
  options.folder = AbsoluteFolder(options.folder);

  // Naming as for a captured address added straight to the list.
  DataModel model;
  TaskRequest request;
  request.URL = options.url;
  AddTaskOptions addOptions;
  addOptions.ShowTaskWnd = false;
  addOptions.SavePath = options.folder;
  // rtmp:// addresses are split and recorded as the program does.
  AddTaskServices services;
  services.splitStreamAddress = SplitStreamTaskAddress;
  static RtmpStreamRecorder recorder;
  SetStreamRecorder(&recorder);
  int32_t index = model.AddTask(&request, addOptions, services);
  DataRecord* task = index < 0 ? nullptr : model.FindTask(index);
  if (!task || task->FileName.empty()) {
    std::fprintf(stderr, "The URL address is invalid.\n");
    return 2;
  }
  // A run for the same address interrupted earlier left its temporary file
  // under this name: carry on there.
  task->TempFile = TempFileFor(options.url, task->FileName);

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGHUP, &sa, nullptr);

  GetRunner runner(model, index, options);
  std::string finalPath;
  int rc = runner.Run(&finalPath);
  if (rc == 0) std::printf("%s\n", finalPath.c_str());
  return rc;
}
