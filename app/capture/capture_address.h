// Turns the fields of a capture block into a record: the address to
// download (HTTP, RTMP or RTMPT) and the header values without their names.
#pragma once

#include <string>

#include "app/capture/capture_block.h"
#include "app/capture/capture_record.h"

namespace capture {

// The one streaming host whose application and play path carry session
// parameters after a "?" that must not reach the stored fields.
inline constexpr char kDefaultSpecialStreamHost[] = "newsvideo.stream.example.com";

// Everything but the identifier, the time and the thumbnail.
CaptureRecord ComposeCapture(const CaptureFields& fields,
                             const std::string& specialHost = kDefaultSpecialStreamHost);

}  // namespace capture
