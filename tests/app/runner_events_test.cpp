// What the runner makes of a worker's events, and the list commands that
// start tasks.
#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/app/runner_fixture.h"
#include "tests/peers/fault_proxy.h"
#include "tests/support/nginx_peer.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_pki.h"

namespace runnertest {
namespace {

TEST_F(RunnerTest, StatusTextsFollowTheWorkerThroughADownload) {
  LocalServer server(LocalServer::kServeBody, std::string(3000, 'b'));
  list.model = &model;
  int32_t t = AddTask(server.Url("/b"), "b");
  runner->StartTask(t, 1);
  ASSERT_TRUE(SettlesIn(t, Completed));
  EXPECT_EQ(list.shownTexts,
            (std::vector<std::string>{"Resolving host...", "Sending request...", "Getting file size...",
                                      "Creating file...", "Receiving data..."}));
  EXPECT_FALSE(Task(t).CreateTime.empty());
  EXPECT_EQ(Task(t).StatusText, "Completed");
}

TEST_F(RunnerTest, RejectedCertificateFailsWithoutRetrying) {
  if (!testsupport::NginxPeer::Available()) GTEST_SKIP() << "nginx is not installed";
  testsupport::TestPki pki;
  ASSERT_TRUE(pki.Make());
  testsupport::ScopedEnv trust("SSL_CERT_FILE", pki.ca_file().c_str());
  testsupport::NginxPeer nginx;
  ASSERT_TRUE(nginx.StartTls(box.dir(), pki.untrusted_cert(), pki.key_file())) << nginx.ErrorLog();
  ASSERT_GT(settings.RetryTimes, 0);
  int32_t t = AddTask(nginx.SecureUrl("/x"), "x");
  runner->StartTask(t, 1);
  ASSERT_TRUE(SettlesIn(t, Failed));
  EXPECT_EQ(Task(t).RetryCount, 0);
  EXPECT_TRUE(LogHas(Task(t), "The server's certificate is not trusted."));
  EXPECT_FALSE(LogHas(Task(t), "Wait " + std::to_string(settings.RetryDelay) + " seconds before retry."));
}

TEST_F(RunnerTest, StartAndStartAllRestartOnlyFailedAndPausedTasks) {
  const std::string url = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/";
  struct Row {
    int32_t status;
    bool starts;
  } rows[] = {{Paused, true}, {Failed, true}, {Completed, false}, {Retrying, false}, {DeletedPaused, false}};
  for (bool all : {false, true}) {
    SCOPED_TRACE(all ? "Start All" : "Start");
    list.rows.clear();
    std::vector<int32_t> tasks;
    for (const Row& r : rows) {
      int32_t t = AddTask(url + std::to_string(tasks.size()), "t" + std::to_string(model.LastTaskIndex), r.status);
      Task(t).RetryCount = 3;
      model.AppendLog(t, LOG_SUMMARY, 0, "earlier");
      tasks.push_back(t);
    }
    // Start takes the selection; Start All every row of the list.
    list.selected = all ? std::vector<int32_t>{} : tasks;
    const int cleared = list.previewCleared;
    if (all)
      runner->StartAll();
    else
      runner->Start();
    EXPECT_EQ(list.previewCleared, cleared + 1);
    for (size_t i = 0; i < tasks.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(runner->FindWorker(tasks[i]) != nullptr, rows[i].starts);
      EXPECT_EQ(LogHas(Task(tasks[i]), "earlier"), !rows[i].starts);
      EXPECT_EQ(Task(tasks[i]).RetryCount, 3);  // a manual start keeps the count
    }
    for (size_t i = 0; i < tasks.size(); ++i)
      if (rows[i].starts) {
        ASSERT_TRUE(SettlesIn(tasks[i], Retrying));
      }
    for (int32_t t : tasks) clock.KillTimer(t + TaskRunner::kRetryTimerBase);
  }
}

TEST_F(RunnerTest, DeleteWhileDownloadingEndsInTheDeletedList) {
  LocalServer server(LocalServer::kTrickleBody, std::string(4 << 20, 'x'));
  int32_t t = AddTask(server.Url("/big"), "big");
  runner->StartTask(t, 1);
  ASSERT_TRUE(ReceivesMoreThan(t, 10000));
  const int32_t sortBefore = model.LastSortIndex;
  const int refreshes = list.refreshAll;
  list.selected = {t};
  runner->Delete();
  EXPECT_EQ(Task(t).DownStatus, Stopping);
  EXPECT_EQ(Task(t).StatusText, "Paused");
  ASSERT_TRUE(SettlesIn(t, DeletedPaused));
  EXPECT_TRUE(LogHas(Task(t), "User deleted the downloading."));
  EXPECT_GT(Task(t).SortIndex, sortBefore);
  EXPECT_GE(list.refreshAll, refreshes + 2);  // the command and the event
  // Not yet deleted for good: the partial file stays.
  EXPECT_GT(platform::FileSize(DataModel::TempPath(Task(t))), 10000);
}

TEST_F(RunnerTest, CompletionWithoutItsFileFailsTheTask) {
  LocalServer server(LocalServer::kServeBody, std::string(5000, 'm'));
  int32_t t = AddTask(server.Url("/m"), "m.flv");
  runner->StartTask(t, 1);
  // The worker has written and closed the file once it counts every byte;
  // the file goes before the runner sees the completion.
  SocketDownLoad* worker = runner->FindWorker(t);
  for (int i = 0; i < 3000 && !(worker->totalSize > 0 && worker->downloaded == worker->totalSize); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(worker->downloaded.load(), 5000);
  ASSERT_TRUE(platform::DeleteFile(DataModel::TempPath(Task(t))));
  ASSERT_TRUE(SettlesIn(t, Failed));
  EXPECT_EQ(Task(t).Log.back().text, "The downloaded file is missing.");
  EXPECT_EQ(Task(t).FileBytes, 0);
  EXPECT_EQ(Task(t).Progress, "");
  EXPECT_FALSE(platform::FileExists(DataModel::FinalPath(Task(t))));
  EXPECT_TRUE(notice.completed.empty());
  EXPECT_TRUE(sound.played.empty());
}

TEST_F(RunnerTest, FileThatChangedSizeOnTheServerCompletesAfterOneRetry) {
  std::string source(60000, '\0');
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<char>(i * 7 + 3);
  box.WriteFile("source.bin", source);
  const int port = StartFaultServer("source.bin");
  ASSERT_NE(port, 0);

  struct Case {
    const char* what;
    size_t partial;  // bytes of an earlier, longer version on disk
  } cases[] = {{"partial file", 1000}, {"no partial file", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int32_t t = AddTask("http://127.0.0.1:" + std::to_string(port) + "/ok/c.bin", std::string("c") + c.what);
    Task(t).FileBytes = 70000;  // the size the file had before
    if (c.partial) box.WriteFile(Task(t).TempFile, source.substr(0, c.partial));
    runner->StartTask(t, 1);
    ASSERT_TRUE(SettlesIn(t, Retrying));
    ASSERT_TRUE(clock.AdvanceToNextTimer());
    ASSERT_TRUE(SettlesIn(t, Completed));
    EXPECT_EQ(Task(t).FileBytes, 60000);
    EXPECT_TRUE(box.ReadFile(Task(t).FileName) == source);
  }
}

TEST_F(RunnerTest, DownloadCutTwiceWithLongHeadersResumesEachTime) {
  std::string source(400000, '\0');
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<char>((i * 131) ^ (i >> 9));
  box.WriteFile("source.bin", source);
  const int port = StartFaultServer("source.bin");
  ASSERT_NE(port, 0);
  // Every answer carries about 5 KB of cookies before its Content-Range.
  testpeers::FaultProxy proxy;
  ASSERT_TRUE(proxy.Start(port, {120000, 150000}));

  settings.RetryDelay = 1;
  int32_t t = AddTask("http://127.0.0.1:" + std::to_string(proxy.port()) + "/long-fields/clip.bin", "clip.bin");
  runner->StartTask(t, 1);
  EXPECT_EQ(RetriesUntilCompleted(t), 2);
  EXPECT_EQ(proxy.cuts(), 2);
  EXPECT_FALSE(LogHas(Task(t), "Server does not support resuming. Restart from the beginning."));
  EXPECT_TRUE(box.ReadFile("clip.bin") == source) << "the file differs from the source";
  // Each attempt went on from where the cut left the file: the bytes sent
  // are the file once, plus three headers.
  const std::vector<int64_t> starts = RangeStarts();
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_GT(starts[0], 100000);
  EXPECT_GT(starts[1], starts[0] + 100000);
  EXPECT_GE(proxy.forwarded(), static_cast<int64_t>(source.size()));
  EXPECT_LT(proxy.forwarded(), static_cast<int64_t>(source.size()) + 3 * 8000);
}

}  // namespace
}  // namespace runnertest
