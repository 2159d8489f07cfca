// Blocking IPv4 TCP connection, standing in for the Windows socket calls the
// engines make. One thread reads and writes; Close may come from any other
// thread and wakes a blocked receive without the descriptor being reused
// under it.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

namespace platform {

class TcpSocket {
 public:
  TcpSocket() = default;
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // Resolves `host` (dotted quad or a name, first IPv4 address) and connects.
  // Any open connection is closed first.
  bool Connect(const char* host, int port);
  // The same within `timeout_ms` for the name lookup and the connection
  // together (0: no limit), giving up soon after `*stop` becomes true, as
  // a stop from another thread sets it.
  bool Connect(const char* host, int port, int timeout_ms, const std::atomic<bool>* stop);
  // Takes over an already-connected stream socket (a socketpair end in
  // tests), which this object then closes. Any open connection is closed first.
  bool Adopt(int fd);
  // Receive time-out in milliseconds; a receive that waits longer fails.
  bool SetReceiveTimeout(int ms);

  // Up to `size` bytes: the count received, 0 when the peer closed, -1 on an
  // error, a time-out or a close.
  long Receive(void* buffer, size_t size);
  // Sends some of the bytes: the count sent, -1 on an error or a close.
  long Send(const void* buffer, size_t size);
  // Waits until bytes can be read: 1 ready, 0 time-out, -1 closed or error.
  int WaitReadable(int timeout_ms);

  bool IsOpen() const;
  void Close();
  // The connected peer's IPv4 address as dotted-quad text into `out`
  // (at least 16 bytes); false when not connected.
  bool PeerAddress(char* out, size_t size);

 private:
  // Marks one call in progress; false when the socket is closed.
  bool Enter(int* fd);
  void Leave();

  mutable std::mutex mutex_;
  int fd_ = -1;
  bool closing_ = false;  // closed, but a call still uses the descriptor
  int busy_ = 0;
};

}  // namespace platform
