#include "app/capture/browser/media_content_type.h"

#include "core/ansi_text.h"
#include "core/settings.h"

namespace browserhost {

namespace {

struct TypePatterns {
  const char* mime;
  std::vector<std::string> patterns;
};

// Every built-in pattern has at least one entry; alternative spellings that
// servers use in the wild are listed too.
const std::vector<TypePatterns>& Table() {
  static const std::vector<TypePatterns> table = {
      {"video/x-flv", {"*.flv"}},
      {"video/flv", {"*.flv"}},
      {"video/x-f4v", {"*.f4v"}},
      {"video/f4v", {"*.f4v"}},
      {"video/mp4", {"*.mp4", "*.m4v"}},
      {"video/x-m4v", {"*.m4v", "*.mp4"}},
      {"video/x-ms-wmv", {"*.wmv"}},
      {"video/x-ms-asf", {"*.asf"}},
      {"application/vnd.ms-asf", {"*.asf"}},
      {"video/mpeg", {"*.mpg", "*.mpeg"}},
      {"video/x-mpeg", {"*.mpg", "*.mpeg"}},
      {"application/vnd.rn-realmedia", {"*.rm"}},
      {"application/vnd.rn-realmedia-vbr", {"*.rmvb"}},
      {"video/3gpp", {"*.3gp"}},
      {"video/3gpp2", {"*.3g2"}},
      {"video/quicktime", {"*.mov"}},
      {"video/x-msvideo", {"*.avi"}},
      {"video/avi", {"*.avi"}},
      {"video/msvideo", {"*.avi"}},
      {"audio/mpeg", {"*.mp3"}},
      {"audio/mp3", {"*.mp3"}},
      {"audio/x-mpeg", {"*.mp3"}},
      {"audio/x-ms-wma", {"*.wma"}},
      {"application/x-shockwave-flash", {"*.swf"}},
  };
  return table;
}


}  // namespace

std::vector<std::string> PatternsOfContentType(std::string_view contentType) {
  const std::string mime = TrimBlanks(contentType.substr(0, contentType.find(';')));
  for (const TypePatterns& t : Table())
    if (EqualNoCase(mime, t.mime)) return t.patterns;
  return {};
}

bool IsMediaPattern(const std::string& pattern) {
  for (const MediaType& t : Settings::BuiltInMediaTypes())
    if (EqualNoCase(t.Pattern, pattern)) return true;
  return false;
}

}  // namespace browserhost
