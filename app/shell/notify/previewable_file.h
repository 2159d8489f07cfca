// Whether the preview pane can play a file: an FLV with video, or an
// MP4-style file (an "ftyp" box first).
#pragma once

#include <string>

bool IsPreviewableFile(const std::string& path);
