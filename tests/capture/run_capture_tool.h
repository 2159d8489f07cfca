// Runs tamborel-capture with its standard error folded into the output.
#pragma once

#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace testsupport {

struct ToolRun {
  int code;
  std::string output;
};

inline ToolRun RunCaptureTool(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"sh", "-c", "exec \"$0\" \"$@\" 2>&1", TAMBOREL_CAPTURE};
  argv.insert(argv.end(), args.begin(), args.end());
  ToolRun run;
  run.code = RunCommand(argv, &run.output);
  return run;
}

}  // namespace testsupport
