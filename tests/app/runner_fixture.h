// A task runner on the manual clock, with stand-ins for the windows around it
// and small in-process servers for the workers to talk to.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/download/task_runner.h"
#include "http/task_events.h"
#include "platform/manual_clock.h"
#include "platform/message_box.h"
#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"

namespace runnertest {

struct FakeList : VisibleList {
  std::vector<int32_t> rows, selected;
  bool deletedList = false;
  int refreshAll = 0;
  std::vector<int32_t> refreshedRows;
  int previewCleared = 0;
  // When set, every status text a row was redrawn with, each change once.
  const DataModel* model = nullptr;
  std::vector<std::string> shownTexts;
  std::vector<int32_t> Rows() const override { return rows; }
  std::vector<int32_t> SelectedRows() const override { return selected; }
  bool IsDeletedList() const override { return deletedList; }
  void RefreshRow(int32_t t) override {
    refreshedRows.push_back(t);
    const DataRecord* task = model ? model->FindTask(t) : nullptr;
    if (task && (shownTexts.empty() || shownTexts.back() != task->StatusText)) shownTexts.push_back(task->StatusText);
  }
  void RefreshAll() override { ++refreshAll; }
  void ShowLogIfSelected(int32_t) override {}
  void ClearPreview() override { ++previewCleared; }
};

struct FakeConfirmation : DeleteConfirmation {
  bool answerOk = true;
  bool alsoDeleteFiles = false;
  int asked = 0;
  bool Confirm(bool& files) override {
    ++asked;
    files = alsoDeleteFiles;
    return answerOk;
  }
};

struct FakeNotice : CompletionNotice {
  std::vector<int32_t> completed;
  void OnTaskCompleted(int32_t t) override { completed.push_back(t); }
};

struct FakeSound : platform::SoundPlayer {
  std::vector<std::string> played;
  bool PlaySync(const std::string& p) override {
    played.push_back(p);
    return false;
  }
};

struct AnswerBoxes : platform::MessageBoxSink {
  int answer = platform::IDYES;
  std::vector<std::string> texts;
  int Show(const std::string& caption, const std::string& text, uint32_t) override {
    texts.push_back(caption + ": " + text);
    return answer;
  }
};

// A listening socket on 127.0.0.1 served by a thread. `serve` gets each
// accepted connection; the server stops when the object goes.
class LocalServer {
 public:
  enum Mode { kSilent, kServeBody, kTrickleBody };  // trickle: 1 KiB every 20 ms

  LocalServer(Mode mode, std::string body = {}) : mode_(mode), body_(std::move(body)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::listen(fd_, 16);
    thread_ = std::thread([this] { Loop(); });
  }
  ~LocalServer() {
    stop_ = true;
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
    for (int c : clients_) ::shutdown(c, SHUT_RDWR);
    for (auto& t : serving_) t.join();
    for (int c : clients_) ::close(c);
  }
  int port() const { return port_; }
  // Silent mode: connections the client has closed.
  int closedByClient() const { return closedByClient_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  void Loop() {
    for (;;) {
      int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) return;
      if (stop_) {
        ::close(c);
        return;
      }
      if (mode_ == kSilent) {
        // Keep it open and say nothing; note when the client goes.
        serving_.emplace_back([this, c] {
          char buf[4096];
          while (::recv(c, buf, sizeof buf, 0) > 0) {
          }
          ++closedByClient_;
        });
        clients_.push_back(c);
        continue;
      }
      serving_.emplace_back([this, c] { Serve(c); });
    }
  }

  void Serve(int c) {
    {
      std::string request;
      char buf[2048];
      while (request.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = ::recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<size_t>(n));
      }
      std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body_.size()) +
                           "\r\nConnection: close\r\n\r\n" + body_;
      if (mode_ == kServeBody) {
        ::send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
      } else {
        for (size_t at = 0; at < answer.size() && !stop_; at += 1024) {
          if (::send(c, answer.data() + at, std::min<size_t>(1024, answer.size() - at), MSG_NOSIGNAL) <= 0) break;
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
      }
      ::close(c);
    }
  }

  Mode mode_;
  std::string body_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> closedByClient_{0};
  std::thread thread_;
  std::vector<int> clients_;
  std::vector<std::thread> serving_;
};

// A port on 127.0.0.1 that refuses connections.
inline int ClosedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);  // bound, never listened: connections are refused
  return ntohs(a.sin_port);
}

class RunnerTest : public ::testing::Test {
 protected:
  RunnerTest() {
    settings.SavePath = box.dir();
    settings.FinishSound = box.path("finish.wav");
    platform::SetMessageBoxSink(&boxes);
    runner = std::make_unique<TaskRunner>(model, settings, clock,
                                          TaskRunner::Hosts{&list, &confirmation, &notice, &sound});
  }
  ~RunnerTest() override {
    runner.reset();
    platform::SetMessageBoxSink(nullptr);
  }

  // Adds a Paused task by hand, with its files in the sandbox.
  int32_t AddTask(const std::string& url, const std::string& fileName, int32_t status = Paused) {
    DataRecord r;
    r.URL = url;
    r.FileName = fileName;
    r.SaveDir = box.dir();
    r.TempFile = "{1_" + fileName + "}.TMP!";
    r.TaskIndex = ++model.LastTaskIndex;
    r.SortIndex = ++model.LastSortIndex;
    r.DownStatus = status;
    r.StatusText = "Paused";
    model.tasks.push_back(r);
    list.rows.push_back(r.TaskIndex);
    return r.TaskIndex;
  }
  DataRecord& Task(int32_t t) { return *model.FindTask(t); }
  // Delivers worker events until the task has no worker and is in `status`.
  bool SettlesIn(int32_t t, int32_t status) {
    return clock.DeliverUntil([&] { return runner->FindWorker(t) == nullptr && Task(t).DownStatus == status; });
  }
  // Delivers worker events until the task's worker has more than `bytes`.
  bool ReceivesMoreThan(int32_t t, int64_t bytes) {
    return clock.DeliverUntil([&] {
      SocketDownLoad* w = runner->FindWorker(t);
      return w && w->downloaded.load() > bytes;
    });
  }
  // Serves the sandbox file `file` from the scripted fault server, which
  // logs the requests to requests.log; the port, or 0 when it did not start.
  int StartFaultServer(const std::string& file) {
    const int port = testsupport::FreeTcpPort();
    if (!faultServer.Start({"python3", std::string(TAMBOREL_PEERS_DIR) + "/http_fault_server.py",
                            std::to_string(port), box.path(file), box.path("requests.log")}) ||
        !testsupport::WaitForPort(port))
      return 0;
    return port;
  }
  // Delivers events and fires the retry timers until the task completes: the
  // retries it took, or -1 when it is not done after `limit` of them.
  int RetriesUntilCompleted(int32_t t, int limit = 10) {
    for (int retries = 0; retries <= limit; ++retries) {
      if (!clock.DeliverUntil([&] {
            return runner->FindWorker(t) == nullptr &&
                   (Task(t).DownStatus == Retrying || Task(t).DownStatus == Completed);
          }))
        return -1;
      if (Task(t).DownStatus == Completed) return retries;
      if (!clock.AdvanceToNextTimer()) return -1;
    }
    return -1;
  }
  // Where the ranges the fault server was asked for start, in order.
  std::vector<int64_t> RangeStarts() {
    const std::string requests = box.ReadFile("requests.log");
    const std::string tag = "Range: bytes=";
    std::vector<int64_t> starts;
    for (size_t at = requests.find(tag); at != std::string::npos; at = requests.find(tag, at + 1))
      starts.push_back(std::stoll(requests.substr(at + tag.size())));
    return starts;
  }
  static bool LogHas(const DataRecord& r, const std::string& text) {
    return std::any_of(r.Log.begin(), r.Log.end(), [&](const LogEntry& e) { return e.text == text; });
  }

  testsupport::Sandbox box;
  DataModel model;
  Settings settings;
  platform::ManualClock clock;
  FakeList list;
  FakeConfirmation confirmation;
  FakeNotice notice;
  FakeSound sound;
  AnswerBoxes boxes;
  std::unique_ptr<TaskRunner> runner;
  testsupport::ChildProcess faultServer;
};

}  // namespace runnertest
