// A TCP proxy for tests that sits between a client and a real server on
// 127.0.0.1 and cuts connections: the n-th connection it accepts is closed
// (both ways) once the server has sent it cut_after[n] bytes; connections
// beyond the list pass everything through.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace testpeers {

class FaultProxy {
 public:
  FaultProxy() = default;
  ~FaultProxy() { Stop(); }
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  // Listens on a free port of 127.0.0.1 and forwards to 127.0.0.1:target_port.
  bool Start(int target_port, std::vector<int64_t> cut_after);
  void Stop();

  int port() const { return port_; }
  int connections() const { return accepted_; }
  int cuts() const { return cuts_; }
  // Bytes passed from the server to clients, over all connections.
  int64_t forwarded() const { return forwarded_; }

 private:
  void AcceptLoop();
  void Relay(int client, int index);

  int target_port_ = 0;
  int port_ = 0;
  int listen_fd_ = -1;
  std::vector<int64_t> cut_after_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::atomic<int> cuts_{0};
  std::atomic<int64_t> forwarded_{0};
  std::thread accept_thread_;
  std::mutex relays_mutex_;
  std::vector<std::thread> relays_;
};

}  // namespace testpeers
