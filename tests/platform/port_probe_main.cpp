// Reaches for a message port or a shared block the way a process of another
// user would; the tests run it under a different uid. Exit 0: it got in.
//   port_probe post HANDLE           PostWindowMessage through the runtime folder
//   port_probe raw SOCKET_PATH       a hand-made frame straight to the socket
//   port_probe open NAME SIZE        SharedMemory::Open for reading
//   port_probe create NAME SIZE      SharedMemory::Create, left in place
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/message_port.h"
#include "platform/message_port_wire.h"
#include "platform/shared_memory.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::string what = argv[1];
  if (what == "post") {
    auto handle = static_cast<platform::WindowHandle>(std::strtoul(argv[2], nullptr, 16));
    return platform::PostWindowMessage(handle, 4024, 7, 0) ? 0 : 1;
  }
  if (what == "raw") {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, argv[2], sizeof(addr.sun_path) - 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) return 3;
    platform::port_wire::Frame f{platform::port_wire::kMagic, platform::port_wire::kPost, 4024, 0, 7, 0};
    if (::send(fd, &f, sizeof(f), MSG_NOSIGNAL) != sizeof(f)) return 1;
    char reply = 0;
    return ::recv(fd, &reply, 1, 0) == 1 ? 0 : 1;
  }
  if (argc < 4) return 2;
  size_t size = std::strtoul(argv[3], nullptr, 10);
  platform::SharedMemory block;
  if (what == "open") return block.Open(argv[2], size, false) ? 0 : 1;
  if (what == "create") return block.Create(argv[2], size) ? 0 : 1;
  return 2;
}
