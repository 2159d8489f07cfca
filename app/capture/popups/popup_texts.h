// Texts and choices the popups and the history derive from a request.
#pragma once

#include <string>

// "*.flv" -> "(FLV)": leading '*' and '.' and trailing ':' and '/' go.
std::string PopupTypeLabel(const std::string& typePattern);

// The capture popup's preview: the link movie for video, nothing for audio,
// the captured movie itself for a foreign SWF. Exact comparison, so "*.MP3"
// counts as video here.
enum class PreviewMode { Video = 0, Audio = 1, FlashMovie = 2 };
PreviewMode CapturePreviewMode(const std::string& typePattern);

// The history row picture: audio for "*.mp3" and "*.wma" in any case.
bool IsAudioPattern(const std::string& typePattern);

// The completion popup's label: the part after the last separator, the whole
// path when there is none.
std::string FileNameOfPath(const std::string& path);
