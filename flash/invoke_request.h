// Invoke requests: the XML texts with which both programs call a function a
// movie has registered. The hosts build them byte for byte; the control
// parses them back. Values travel unescaped, so the parser goes by the fixed
// tags and never treats the text as XML.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace flash {

struct InvokeArgument {
  enum Kind { String, Number };
  Kind kind = String;
  std::string value;
};

struct InvokeCall {
  std::string name;
  std::vector<InvokeArgument> arguments;
};

// "<invoke name=\"NAME\" returntype=\"xml\"><arguments>ARGS</arguments></invoke>"
std::string BuildInvokeRequest(std::string_view name, const std::vector<InvokeArgument>& arguments);

// Takes a request as the hosts send it; false for anything else. Where a
// value holds text that looks like an argument boundary, each value is taken
// as short as a well-formed request allows.
bool ParseInvokeRequest(std::string_view request, InvokeCall* call);
// The same for a function of known arity: exactly `argumentCount` arguments,
// the earlier ones taken as long as the rest still fits, since only the first
// argument of any request (a path or an address) carries free text.
bool ParseInvokeRequest(std::string_view request, size_t argumentCount, InvokeCall* call);

// The requests of the two programs, one function each.
namespace invoke {
// Pellumo's player movie.
std::string SetMoive(std::string_view pathOrAddress);
std::string PlayMovie();
std::string PauseMovie();
std::string StopMovie();
std::string SetSound(int volume);              // "%d"
std::string SetProcess(double seconds);        // "%.03f"
std::string SetSize(int percent);              // "%d"
std::string SetFullScreen();
std::string SetRestoreScreen();
std::string ShowFrame();
std::string HideFrame();
std::string CloseMovie();
// Tamborel's preview movie and the capture popup's link movie.
std::string SetMovie(std::string_view path, int taskIndex);  // path, "true", "%d"
std::string setMovie(std::string_view address);
}  // namespace invoke

}  // namespace flash
