// capture_block_writer NUMBER field=value ...: creates QUORLIN_DL_<NUMBER>
// with the given fields and leaves it for the reader.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/capture/capture_block.h"
#include "platform/shared_memory.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  capture::CaptureFields f;
  const struct {
    const char* key;
    std::string capture::CaptureFields::*field;
  } keys[] = {
      {"request", &capture::CaptureFields::requestLine}, {"referer", &capture::CaptureFields::refererLine},
      {"ua", &capture::CaptureFields::userAgentLine},    {"cookie", &capture::CaptureFields::cookie},
      {"host", &capture::CaptureFields::hostLine},       {"pattern", &capture::CaptureFields::pattern},
      {"text", &capture::CaptureFields::text},           {"rtmphost", &capture::CaptureFields::rtmpHost},
      {"rtmpapp", &capture::CaptureFields::rtmpApp},     {"rtmppath", &capture::CaptureFields::rtmpPlayPath},
      {"rtmpthost", &capture::CaptureFields::rtmptHost}, {"rtmptapp", &capture::CaptureFields::rtmptApp},
      {"rtmptpath", &capture::CaptureFields::rtmptPlayPath},
  };
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const size_t eq = arg.find('=');
    if (eq == std::string::npos) return 2;
    const std::string key = arg.substr(0, eq), value = arg.substr(eq + 1);
    bool known = false;
    for (const auto& k : keys)
      if (key == k.key) {
        f.*k.field = value;
        known = true;
      }
    if (key == "value") {
      f.value = std::atoi(value.c_str());
      known = true;
    }
    if (!known) return 2;
  }
  const uint32_t number = static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 16));
  platform::SharedMemory block;
  if (!block.Create(capture::CaptureBlockName(number), capture::CaptureBlockLayout::kSize)) return 1;
  return capture::WriteCaptureBlock(f, block.Data()) ? 0 : 1;
}
