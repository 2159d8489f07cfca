#include "flash/invoke_request.h"

#include <charconv>
#include <array>
#include <optional>

namespace flash {

namespace {

constexpr std::string_view kHead = "<invoke name=\"";
constexpr std::string_view kAfterName = "\" returntype=\"xml\"><arguments>";
constexpr std::string_view kTail = "</arguments></invoke>";
constexpr std::string_view kOpenString = "<string>";
constexpr std::string_view kOpenNumber = "<number>";
constexpr std::string_view kCloseString = "</string>";
constexpr std::string_view kCloseNumber = "</number>";

// Bounds the work a hostile request can cause; the hosts send a path or an
// address of at most a few thousand bytes.
constexpr size_t kMaxRequest = 1 << 20;
constexpr size_t kMaxArguments = 64;

std::string_view OpenTag(InvokeArgument::Kind kind) {
  return kind == InvokeArgument::String ? kOpenString : kOpenNumber;
}
std::string_view CloseTag(InvokeArgument::Kind kind) {
  return kind == InvokeArgument::String ? kCloseString : kCloseNumber;
}

void AppendArgument(std::string& out, const InvokeArgument& a) {
  out += OpenTag(a.kind);
  out += a.value;
  out += CloseTag(a.kind);
}

std::string Request(std::string_view name, std::initializer_list<InvokeArgument> args) {
  return BuildInvokeRequest(name, std::vector<InvokeArgument>(args));
}

InvokeArgument Str(std::string_view v) { return {InvokeArgument::String, std::string(v)}; }

std::string Decimal(int v) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// A place in the argument list where one value ends and the next begins:
// "</string><number>" and the like. Such places never overlap.
struct Boundary {
  size_t begin;
  size_t end;
  InvokeArgument::Kind closes;
  InvokeArgument::Kind opens;
};

struct Body {
  std::string_view text;  // everything between <arguments> and </arguments>
  InvokeArgument::Kind first;
  InvokeArgument::Kind last;
  std::vector<Boundary> boundaries;
};

std::optional<InvokeArgument::Kind> KindAt(std::string_view text, size_t pos, bool closing) {
  for (auto kind : {InvokeArgument::String, InvokeArgument::Number}) {
    const std::string_view tag = closing ? CloseTag(kind) : OpenTag(kind);
    if (text.substr(pos, tag.size()) == tag) return kind;
  }
  return std::nullopt;
}

// Splits the request into its name and argument body; false when the fixed
// frame is not there.
bool ReadFrame(std::string_view request, std::string* name, std::string_view* body) {
  if (request.size() > kMaxRequest) return false;
  if (request.substr(0, kHead.size()) != kHead) return false;
  const size_t nameEnd = request.find('"', kHead.size());
  if (nameEnd == std::string_view::npos || nameEnd == kHead.size()) return false;
  if (request.substr(nameEnd, kAfterName.size()) != kAfterName) return false;
  const size_t bodyBegin = nameEnd + kAfterName.size();
  if (request.size() < bodyBegin + kTail.size()) return false;
  if (request.substr(request.size() - kTail.size()) != kTail) return false;
  *name = std::string(request.substr(kHead.size(), nameEnd - kHead.size()));
  *body = request.substr(bodyBegin, request.size() - kTail.size() - bodyBegin);
  return true;
}

bool ReadBody(std::string_view text, Body* body) {
  body->text = text;
  const auto first = KindAt(text, 0, false);
  if (!first) return false;
  // All tags have the same length.
  const size_t tag = kOpenString.size();
  const size_t closeTag = kCloseString.size();
  if (text.size() < tag + closeTag) return false;
  const auto last = KindAt(text, text.size() - closeTag, true);
  if (!last) return false;
  body->first = *first;
  body->last = *last;
  // Boundaries lie wholly between the first opening and the last closing tag.
  const size_t limit = text.size() - closeTag;
  size_t pos = tag;
  while ((pos = text.find("</", pos)) != std::string_view::npos && pos + closeTag + tag <= limit) {
    const auto closes = KindAt(text, pos, true);
    const auto opens = closes ? KindAt(text, pos + closeTag, false) : std::nullopt;
    if (closes && opens) {
      body->boundaries.push_back({pos, pos + closeTag + tag, *closes, *opens});
      pos += closeTag + tag;
    } else {
      pos += 2;
    }
  }
  return true;
}

void Emit(const Body& body, const std::vector<size_t>& chosen, InvokeCall* call) {
  const size_t tag = kOpenString.size();
  size_t valueBegin = tag;
  InvokeArgument::Kind kind = body.first;
  for (size_t index : chosen) {
    const Boundary& b = body.boundaries[index];
    call->arguments.push_back({kind, std::string(body.text.substr(valueBegin, b.begin - valueBegin))});
    valueBegin = b.end;
    kind = b.opens;
  }
  const size_t valueEnd = body.text.size() - kCloseString.size();
  call->arguments.push_back({kind, std::string(body.text.substr(valueBegin, valueEnd - valueBegin))});
}

int KindIndex(InvokeArgument::Kind k) { return k == InvokeArgument::String ? 0 : 1; }

// Any number of arguments, each as short as possible: from every boundary
// onwards, whether the rest of the body can still be split well.
bool SplitShortest(const Body& body, std::vector<size_t>* chosen) {
  const size_t n = body.boundaries.size();
  // finish[i][k]: with boundaries i.. still available and the current value
  // of kind k, the body can be completed.
  std::vector<std::array<bool, 2>> finish(n + 1);
  finish[n][0] = body.last == InvokeArgument::String;
  finish[n][1] = body.last == InvokeArgument::Number;
  for (size_t i = n; i-- > 0;) {
    for (int k = 0; k < 2; ++k) {
      const Boundary& b = body.boundaries[i];
      finish[i][k] = finish[i + 1][k] || (KindIndex(b.closes) == k && finish[i + 1][KindIndex(b.opens)]);
    }
  }
  int kind = KindIndex(body.first);
  if (!finish[0][kind]) return false;
  for (size_t i = 0; i < n; ++i) {
    const Boundary& b = body.boundaries[i];
    if (KindIndex(b.closes) == kind && finish[i + 1][KindIndex(b.opens)]) {
      chosen->push_back(i);
      kind = KindIndex(b.opens);
      if (chosen->size() + 1 > kMaxArguments) return false;
    }
  }
  return true;
}

// Exactly `count` arguments, earlier ones as long as possible.
bool SplitExact(const Body& body, size_t count, std::vector<size_t>* chosen) {
  if (count == 0 || count > kMaxArguments) return false;
  const size_t n = body.boundaries.size();
  const size_t need = count - 1;  // boundaries to choose
  if (need > n) return false;
  // fit[r][i][k]: r more boundaries can be chosen from i.. starting in kind k.
  std::vector<std::vector<std::array<bool, 2>>> fit(need + 1, std::vector<std::array<bool, 2>>(n + 1));
  for (size_t i = 0; i <= n; ++i) {
    fit[0][i][0] = body.last == InvokeArgument::String;
    fit[0][i][1] = body.last == InvokeArgument::Number;
  }
  for (size_t r = 1; r <= need; ++r) {
    for (size_t i = n; i-- > 0;) {
      const Boundary& b = body.boundaries[i];
      for (int k = 0; k < 2; ++k)
        fit[r][i][k] = fit[r][i + 1][k] || (KindIndex(b.closes) == k && fit[r - 1][i + 1][KindIndex(b.opens)]);
    }
  }
  int kind = KindIndex(body.first);
  if (!fit[need][0][kind]) return false;
  size_t from = 0;
  for (size_t r = need; r > 0; --r) {
    // The latest boundary that still leaves a fit for the rest.
    for (size_t i = n; i-- > from;) {
      const Boundary& b = body.boundaries[i];
      if (KindIndex(b.closes) == kind && fit[r - 1][i + 1][KindIndex(b.opens)]) {
        chosen->push_back(i);
        kind = KindIndex(b.opens);
        from = i + 1;
        break;
      }
    }
  }
  return true;
}

bool Parse(std::string_view request, std::optional<size_t> count, InvokeCall* call) {
  InvokeCall result;
  std::string_view text;
  if (!ReadFrame(request, &result.name, &text)) return false;
  if (text.empty()) {
    if (count && *count != 0) return false;
  } else {
    Body body;
    if (!ReadBody(text, &body)) return false;
    std::vector<size_t> chosen;
    const bool ok = count ? SplitExact(body, *count, &chosen) : SplitShortest(body, &chosen);
    if (!ok) return false;
    Emit(body, chosen, &result);
  }
  *call = std::move(result);
  return true;
}

}  // namespace

std::string BuildInvokeRequest(std::string_view name, const std::vector<InvokeArgument>& arguments) {
  std::string out;
  out += kHead;
  out += name;
  out += kAfterName;
  for (const InvokeArgument& a : arguments) AppendArgument(out, a);
  out += kTail;
  return out;
}

bool ParseInvokeRequest(std::string_view request, InvokeCall* call) {
  return Parse(request, std::nullopt, call);
}

bool ParseInvokeRequest(std::string_view request, size_t argumentCount, InvokeCall* call) {
  return Parse(request, argumentCount, call);
}

namespace invoke {

std::string SetMoive(std::string_view pathOrAddress) { return Request("SetMoive", {Str(pathOrAddress)}); }
std::string PlayMovie() { return Request("PlayMovie", {}); }
std::string PauseMovie() { return Request("PauseMovie", {}); }
std::string StopMovie() { return Request("StopMovie", {}); }
std::string SetSound(int volume) { return Request("SetSound", {Str(Decimal(volume))}); }

std::string SetProcess(double seconds) {
  // "%.03f" without the locale's decimal separator.
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, seconds, std::chars_format::fixed, 3);
  const std::string text = r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0.000");
  return Request("SetProcess", {{InvokeArgument::Number, text}});
}

std::string SetSize(int percent) { return Request("SetSize", {Str(Decimal(percent))}); }
std::string SetFullScreen() { return Request("SetFullScreen", {}); }
std::string SetRestoreScreen() { return Request("SetRestoreScreen", {}); }
std::string ShowFrame() { return Request("ShowFrame", {}); }
std::string HideFrame() { return Request("HideFrame", {}); }
std::string CloseMovie() { return Request("CloseMovie", {}); }

std::string SetMovie(std::string_view path, int taskIndex) {
  return Request("SetMovie", {Str(path), Str("true"), Str(Decimal(taskIndex))});
}

std::string setMovie(std::string_view address) { return Request("setMovie", {Str(address)}); }

}  // namespace invoke

}  // namespace flash
