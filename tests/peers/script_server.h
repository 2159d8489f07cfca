// What the scripted RTMP and RTMPT servers share: a listener on 127.0.0.1
// that hands one client to a test's script on a thread of its own, and the
// raw socket calls of a scripted connection.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <utility>

namespace testpeers {

// The socket of a scripted connection. Reads give up after `timeout_ms` so a
// broken client cannot hang a test.
class ScriptSocket {
 public:
  explicit ScriptSocket(int fd) : fd_(fd) {}
  ~ScriptSocket();
  ScriptSocket(const ScriptSocket&) = delete;
  ScriptSocket& operator=(const ScriptSocket&) = delete;

  // True when the client closes the connection within the time-out.
  bool WaitClosed(int timeout_ms = 10000);
  void Close();

 protected:
  // Every byte of `bytes`, or false.
  bool SendAll(const std::string& bytes);
  // Appends what one read brings to in_; false at the end of the stream or
  // when nothing comes within the time-out.
  bool Receive(int timeout_ms);

  int fd_;
  std::string in_;
};

inline constexpr size_t kHandshakeSize = 1536;

// S1 as the scripted servers send it: time field 0x01020304, four zero
// bytes, then a fixed pattern.
std::string ScriptedS1();

// Listens on a free port of 127.0.0.1 for one client.
class ScriptListener {
 public:
  ScriptListener();
  ~ScriptListener();
  ScriptListener(const ScriptListener&) = delete;
  ScriptListener& operator=(const ScriptListener&) = delete;

  int port() const { return port_; }
  // Waits for the script to end.
  void Join();
  // Clients accepted so far.
  int clients() const { return clients_; }
  // Ends RunOnEachClient's accepting (after the client being served) and waits.
  void Stop();

 protected:
  // Accepts one client on a thread of its own and runs `script` with its
  // socket.
  void RunOnClient(std::function<void(int fd)> script);
  // The same for one client after another, until Stop.
  void RunOnEachClient(std::function<void(int fd)> script);

 private:
  int listen_fd_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::atomic<int> clients_{0};
  std::atomic<bool> stop_{false};
};

// A server whose script works with a connection of type Conn, made from the
// accepted socket; the connection closes when the script returns.
template <class Conn>
class ScriptServer : public ScriptListener {
 public:
  void Run(std::function<void(Conn&)> script) {
    RunOnClient([script = std::move(script)](int fd) {
      Conn conn(fd);
      script(conn);
    });
  }
  void RunEach(std::function<void(Conn&)> script) {
    RunOnEachClient([script = std::move(script)](int fd) {
      Conn conn(fd);
      script(conn);
    });
  }
};

}  // namespace testpeers
