#include "app/capture/popups/popup_texts.h"

#include <strings.h>

#include <cctype>

std::string PopupTypeLabel(const std::string& typePattern) {
  size_t begin = typePattern.find_first_not_of("*.");
  if (begin == std::string::npos) begin = typePattern.size();
  size_t end = typePattern.find_last_not_of(":/");
  end = end == std::string::npos || end < begin ? begin : end + 1;
  std::string label = "(";
  for (size_t i = begin; i < end; ++i) label += static_cast<char>(std::toupper(static_cast<unsigned char>(typePattern[i])));
  return label + ")";
}

PreviewMode CapturePreviewMode(const std::string& typePattern) {
  if (typePattern == "*.mp3" || typePattern == "*.wma") return PreviewMode::Audio;
  if (typePattern == "*.swf") return PreviewMode::FlashMovie;
  return PreviewMode::Video;
}

bool IsAudioPattern(const std::string& typePattern) {
  return strcasecmp(typePattern.c_str(), "*.mp3") == 0 || strcasecmp(typePattern.c_str(), "*.wma") == 0;
}

std::string FileNameOfPath(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
