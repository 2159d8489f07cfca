// The monitored file-name patterns a response's Content-Type stands for, for
// addresses whose path names no file type (".../videoplayback?id=7").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace browserhost {

// Candidates in order of preference ("video/mpeg" is "*.mpg" or "*.mpeg");
// empty for a type that is none of the monitored ones. Parameters and case
// are ignored ("Video/MP4; codecs=avc1").
std::vector<std::string> PatternsOfContentType(std::string_view contentType);

// Whether `pattern` ("*.mp4") is one of the built-in monitored types, any case.
bool IsMediaPattern(const std::string& pattern);

}  // namespace browserhost
