// The name a completed download gets when its final name is taken.
#pragma once

#include <functional>
#include <string>

// When `saveDir` + `fileName` exists: the name without a trailing "[n]" and
// numbered from [0] until free ("clip[2].flv" over an existing file gives
// "clip[0].flv"). Otherwise `fileName` itself.
std::string FreeFinalName(const std::string& saveDir, const std::string& fileName,
                          const std::function<bool(const std::string&)>& exists);
