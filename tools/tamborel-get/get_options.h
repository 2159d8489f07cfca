// The command line of tamborel-get.
#pragma once

#include <string>

struct GetOptions {
  std::string folder;  // where the file goes, ending in the path separator
  int retries = 0;     // failed attempts retried before giving up
  int retryDelay = 0;  // seconds between attempts; also the stall watchdog's period
  std::string url;
  bool help = false;     // -h or --help: print the usage and end
  bool verbose = false;  // -v: show the stream engine's own diagnostics too
};

// tamborel-get [-v] [-o FOLDER] [--retries N] [--retry-delay SECONDS] URL.
// `options` comes in with the defaults. False with *error set for a bad line.
bool ParseGetOptions(int argc, char** argv, GetOptions* options, std::string* error);

const char* GetUsage();
