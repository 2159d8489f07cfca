// A file larger than 4 GiB through the real runner: served by nginx, cut once
// by a proxy, resumed, and shown with its size in Task.dat and the list.
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QModelIndex>

#include <string>
#include <vector>

#include "app/download/task_list_model.h"
#include "core/task_list_file.h"
#include "platform/file_system.h"
#include "platform/tick_count.h"
#include "tests/app/runner_fixture.h"
#include "tests/peers/fault_proxy.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/nginx_peer.h"

namespace runnertest {
namespace {

constexpr int64_t kGiB = int64_t{1} << 30;
constexpr int64_t kSize = 4 * kGiB + kGiB / 2;  // 4.5 GiB
constexpr int64_t kCutAt = 4 * kGiB + kGiB / 4;
// Where the source holds a few non-zero bytes among its zeros.
const int64_t kMarkers[] = {12345, (int64_t{1} << 31) + 7, (int64_t{1} << 32) + 1, kCutAt + 99, kSize - 16};

std::string Marker(int64_t at) { return "@" + std::to_string(at) + "@"; }

bool WriteAt(const std::string& path, int64_t at, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::pwrite(fd, bytes.data(), bytes.size(), at) == static_cast<ssize_t>(bytes.size());
  return ::close(fd) == 0 && ok;
}

std::string ReadAt(const std::string& path, int64_t at, size_t size) {
  std::string bytes(size, '\0');
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  ssize_t n = ::pread(fd, bytes.data(), size, at);
  ::close(fd);
  bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return bytes;
}

int64_t FreeBytes(const std::string& folder) {
  struct statvfs s;
  return ::statvfs(folder.c_str(), &s) == 0 ? static_cast<int64_t>(s.f_bavail) * s.f_frsize : 0;
}

QString Cell(const TaskListModel& list, int row, int column) {
  return list.data(list.index(row, column), Qt::DisplayRole).toString();
}

// Delivers worker events until `done` holds; the transfer is long, so the
// wait is too.
bool DeliverLongUntil(platform::ManualClock& clock, const std::function<bool()>& done) {
  return clock.DeliverUntil(done, 10 * 60 * 1000);
}

class LargeDownloadTest : public RunnerTest {
 protected:
  void SetUp() override { testsupport::OffscreenApp(); }
};

TEST_F(LargeDownloadTest, FileOverFourGibibytesIsCutResumedAndShownWithItsSize) {
  if (!testsupport::NginxPeer::Available()) GTEST_SKIP() << "nginx is not installed";
  // The download writes the whole file for real (its zeros arrive as data).
  const int64_t free = FreeBytes(box.dir());
  if (free < 10 * kGiB)
    GTEST_SKIP() << "needs about 10 GiB free in " << box.dir() << ", has " << free / kGiB << " GiB";

  // The source is sparse: it takes no room but its markers.
  platform::CreateFolders(box.path("www/"));
  const std::string source = box.path("www/big.bin");
  box.WriteFile("www/big.bin", "");
  ASSERT_EQ(::truncate(source.c_str(), kSize), 0);
  for (int64_t at : kMarkers) ASSERT_TRUE(WriteAt(source, at, Marker(at)));
  ASSERT_EQ(platform::FileSize(source), kSize);

  testsupport::NginxPeer nginx;
  ASSERT_TRUE(nginx.Start(box.path("www"))) << nginx.ErrorLog();
  testpeers::FaultProxy proxy;
  ASSERT_TRUE(proxy.Start(nginx.port(), {kCutAt}));

  settings.RetryDelay = 1;
  const int32_t t = AddTask("http://127.0.0.1:" + std::to_string(proxy.port()) + "/big.bin", "big.bin");
  runner->StartTask(t, 1);

  // Cut once past 4 GiB, then retried.
  ASSERT_TRUE(DeliverLongUntil(clock, [&] { return runner->FindWorker(t) == nullptr; }));
  ASSERT_EQ(Task(t).DownStatus, Retrying);
  EXPECT_EQ(proxy.cuts(), 1);
  EXPECT_EQ(Task(t).FileBytes, kSize);
  ASSERT_TRUE(clock.AdvanceToNextTimer());

  // While it runs, the list shows the live counters past 4 GiB.
  ASSERT_TRUE(ReceivesMoreThan(t, 4 * kGiB + kGiB / 10 * 3));
  TaskListModel running(kCategoryAll);
  running.Fill(model);
  running.RefreshRunning(model, [&](int32_t i) { return runner->FindWorker(i); }, platform::TickCountMs());
  const int runningRow = running.RowOf(t);
  ASSERT_GE(runningRow, 0);
  EXPECT_EQ(Cell(running, runningRow, 1), "4.50 GB");
  EXPECT_TRUE(Cell(running, runningRow, 2).startsWith("4.")) << Cell(running, runningRow, 2).toStdString();

  ASSERT_TRUE(DeliverLongUntil(clock, [&] { return runner->FindWorker(t) == nullptr; }));
  ASSERT_EQ(Task(t).DownStatus, Completed);
  EXPECT_EQ(proxy.connections(), 2);

  // The second request went on from beyond 4 GiB.
  std::vector<int64_t> starts;
  const std::string tag = "Range: bytes=";
  for (const LogEntry& e : Task(t).Log)
    if (e.kind == LOG_REQUEST && e.text.find(tag) != std::string::npos)
      starts.push_back(std::stoll(e.text.substr(e.text.find(tag) + tag.size())));
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_GT(starts[0], 4 * kGiB);
  EXPECT_LE(starts[0], kCutAt);

  // On disk: the size and the markers where the source has them.
  const std::string saved = box.path("big.bin");
  EXPECT_EQ(platform::FileSize(saved), kSize);
  for (int64_t at : kMarkers) EXPECT_EQ(ReadAt(saved, at, Marker(at).size()), Marker(at)) << at;
  EXPECT_EQ(ReadAt(saved, kCutAt - 4, 8), std::string(8, '\0'));
  ASSERT_TRUE(platform::DeleteFile(saved));
  ASSERT_TRUE(platform::DeleteFile(source));

  // In Task.dat, and back from it.
  EXPECT_EQ(Task(t).FileBytes, kSize);
  EXPECT_EQ(Task(t).DownBytes, kSize);
  ASSERT_TRUE(SaveTaskList(model, box.dir()));
  EXPECT_NE(box.ReadFile(kTaskListFileName).find("<FileBytes>4831838208</FileBytes><DownBytes>4831838208</DownBytes>"),
            std::string::npos);
  DataModel loaded;
  ASSERT_EQ(LoadTaskList(loaded, box.dir(), false), 1);
  EXPECT_EQ(loaded.tasks[0].FileBytes, kSize);

  // In the lists' cells.
  TaskListModel all(kCategoryAll), completed(kCategoryCompleted);
  all.Fill(loaded);
  completed.Fill(loaded);
  ASSERT_EQ(all.rowCount(), 1);
  ASSERT_EQ(completed.rowCount(), 1);
  EXPECT_EQ(Cell(all, 0, 1), "4.50 GB");
  EXPECT_EQ(Cell(all, 0, 2), "4.50 GB");
  EXPECT_EQ(Cell(all, 0, 3), "100");
  EXPECT_EQ(Cell(completed, 0, 1), "4.50 GB");
}

}  // namespace
}  // namespace runnertest
