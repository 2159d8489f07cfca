// tamborel-browser-host [origin]: started by a browser for the Tamborel
// extension, talks native messaging on standard input and output. The browser
// is its parent process. TAMBOREL_BROWSER_HOST_LOG names a file that gets one
// line per message.
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include "app/capture/browser/browser_host.h"
#include "app/capture/browser/browser_process.h"

int main() {
  // A browser that closes the port while an answer is on its way must not
  // kill the host before it has cleaned up its capture block.
  ::signal(SIGPIPE, SIG_IGN);
  browserhost::HostOptions options;
  options.browser = browserhost::ExecutableNameOfProcess(::getppid());
  if (const char* log = std::getenv("TAMBOREL_BROWSER_HOST_LOG")) options.logPath = log;
  browserhost::BrowserHost host(std::move(options));
  return host.Serve(STDIN_FILENO, STDOUT_FILENO);
}
