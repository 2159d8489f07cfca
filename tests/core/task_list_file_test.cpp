#include "core/task_list_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <random>

#include "core/byte_count.h"
#include "core/xml_file.h"
#include "platform/atomic_file_writer.h"
#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/message_box.h"
#include "tests/support/full_disk_writer.h"
#include "tests/support/sandbox.h"

namespace {

struct ShownBox {
  std::string caption, text;
  uint32_t style;
};

class RecordingMessageBox : public platform::MessageBoxSink {
 public:
  int Show(const std::string& caption, const std::string& text, uint32_t style) override {
    shown.push_back({caption, text, style});
    return platform::IDOK;
  }
  std::vector<ShownBox> shown;
};

class TaskListFileTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetMessageBoxSink(&boxes_); }
  void TearDown() override { platform::SetMessageBoxSink(nullptr); }

  std::string File() const { return box_.ReadFile(kTaskListFileName); }
  void WriteFile(const std::string& content) const { box_.WriteFile(kTaskListFileName, content); }

  DataModel Load(bool resume = false, int expected = -2) {
    DataModel m;
    int n = LoadTaskList(m, box_.dir(), resume);
    if (expected != -2) {
      EXPECT_EQ(n, expected);
    }
    return m;
  }

  testsupport::Sandbox box_;
  RecordingMessageBox boxes_;
};

// The 23 values of one task as written, in file order.
std::string TaskXml(const std::vector<std::string>& v, const std::string& name = "Task-0") {
  static const char* kNames[] = {"TaskIndex", "DownStatus", "FileName", "TempFile", "URL",
                                 "Referer", "UserAgent", "CreateTime", "FinishTime", "FileBytes",
                                 "DownBytes", "Progress", "Width", "Height", "Duration",
                                 "SaveDir", "SortIndex", "RTMPHost", "RTMPApp", "RTMPPlayPath",
                                 "RTMPTHost", "RTMPTApp", "RTMPTPlayPath"};
  std::string xml = "<" + name + ">";
  for (size_t i = 0; i < v.size(); ++i)
    xml += std::string("<") + kNames[i] + ">" + v[i] + "</" + kNames[i] + ">";
  return xml + "</" + name + ">";
}

std::vector<std::string> SimpleValues(const std::string& index, const std::string& sort) {
  return {index, "4", "a.flv", "{1_a.flv}.TMP!", "http://h/a.flv", "", "", "2024-01-02 03:04:05",
          "2024-01-02 03:05:00", "100", "50", "50.00", "0", "0", "", "/v/", sort,
          "", "", "", "", "", ""};
}

const char kHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

DataRecord FullRecord(int n) {
  DataRecord r;
  std::string s = std::to_string(n);
  r.FileName = "file " + s + ".flv";
  r.FileBytes = 1000 + n;
  r.DownBytes = 500 + n;
  r.Speed = 77;
  r.Progress = "50.0" + s;
  r.SpeedText = "77 B/s";
  r.ElapsedText = "00:00:01";
  r.TimeLeftText = "??:??:??";
  r.StatusText = "Receiving data";
  r.URL = "http://example.com/v" + s + "?a=1&b=<2>";
  r.Width = 640 + n;
  r.Height = 480 + n;
  r.Duration = "00:01:0" + s;
  r.CreateTime = "2024-05-0" + s + " 10:00:00";
  r.FinishTime = "2024-05-0" + s + " 11:00:00";
  r.Comment = "a comment";
  r.Referer = "http://example.com/page" + s;
  r.Cookie = "k=v";
  r.SaveDir = "/home/u/Vidéos/";
  r.TempFile = "{12_file " + s + ".flv}.TMP!";
  r.UserAgent = "Agent/" + s;
  r.RTMPHost = "rtmp://h" + s;
  r.RTMPPlayPath = "mp4:p" + s;
  r.RTMPApp = "app" + s;
  r.RTMPTHost = "rtmpt://t" + s;
  r.RTMPTPlayPath = "tp" + s;
  r.RTMPTApp = "tapp" + s;
  r.TaskIndex = 40 + n;
  r.RetryCount = 3;
  r.SortIndex = 10 * n;
  r.DownStatus = Completed;
  r.Log.push_back({LOG_SUMMARY, 1, "line", "2024-05-01 10:00:00", r.TaskIndex});
  return r;
}

void ExpectPersistedEqual(const DataRecord& a, const DataRecord& b) {
  EXPECT_EQ(a.FileName, b.FileName);
  EXPECT_EQ(a.FileBytes, b.FileBytes);
  EXPECT_EQ(a.DownBytes, b.DownBytes);
  EXPECT_EQ(a.Progress, b.Progress);
  EXPECT_EQ(a.URL, b.URL);
  EXPECT_EQ(a.Width, b.Width);
  EXPECT_EQ(a.Height, b.Height);
  EXPECT_EQ(a.Duration, b.Duration);
  EXPECT_EQ(a.CreateTime, b.CreateTime);
  EXPECT_EQ(a.FinishTime, b.FinishTime);
  EXPECT_EQ(a.Referer, b.Referer);
  EXPECT_EQ(a.SaveDir, b.SaveDir);
  EXPECT_EQ(a.TempFile, b.TempFile);
  EXPECT_EQ(a.UserAgent, b.UserAgent);
  EXPECT_EQ(a.RTMPHost, b.RTMPHost);
  EXPECT_EQ(a.RTMPPlayPath, b.RTMPPlayPath);
  EXPECT_EQ(a.RTMPApp, b.RTMPApp);
  EXPECT_EQ(a.RTMPTHost, b.RTMPTHost);
  EXPECT_EQ(a.RTMPTPlayPath, b.RTMPTPlayPath);
  EXPECT_EQ(a.RTMPTApp, b.RTMPTApp);
  EXPECT_EQ(a.SortIndex, b.SortIndex);
  EXPECT_EQ(a.DownStatus, b.DownStatus);
}

TEST_F(TaskListFileTest, SaveAndLoadKeepThePersistedFieldsAndRenumber) {
  DataModel model;
  for (int n = 1; n <= 3; ++n) model.tasks.push_back(FullRecord(n));
  model.tasks[1].SortIndex = 99;
  model.LastTaskIndex = 43;
  model.LastSortIndex = 120;
  ASSERT_TRUE(SaveTaskList(model, box_.dir()));

  DataModel loaded = Load(true, 3);
  ASSERT_EQ(loaded.tasks.size(), 3u);
  const DataRecord fresh;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const DataRecord& r = loaded.tasks[i];
    ExpectPersistedEqual(r, model.tasks[i]);
    EXPECT_EQ(r.TaskIndex, i + 1);
    EXPECT_EQ(r.Speed, fresh.Speed);
    EXPECT_EQ(r.SpeedText, fresh.SpeedText);
    EXPECT_EQ(r.ElapsedText, fresh.ElapsedText);
    EXPECT_EQ(r.TimeLeftText, fresh.TimeLeftText);
    EXPECT_EQ(r.StatusText, fresh.StatusText);
    EXPECT_EQ(r.Comment, fresh.Comment);
    EXPECT_EQ(r.Cookie, fresh.Cookie);
    EXPECT_EQ(r.RetryCount, fresh.RetryCount);
    EXPECT_TRUE(r.Log.empty());
  }
  EXPECT_EQ(loaded.LastTaskIndex, 3);
  EXPECT_EQ(loaded.LastSortIndex, 99);
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_FALSE(platform::FileExists(platform::AtomicFileWriter::TempPath(box_.path("Task.dat"))));
  EXPECT_FALSE(platform::FileExists(box_.path(kTaskListUnreadCopyName)));
}

TEST_F(TaskListFileTest, WritesTheExactLayout) {
  DataModel model;
  DataRecord r;
  r.TaskIndex = 5;
  r.DownStatus = Stopping;
  r.FileName = "a&b.flv";
  r.URL = "http://h/x?a=1&b=2";
  r.FileBytes = -1;
  r.SortIndex = 2;
  model.tasks.push_back(r);
  r.TaskIndex = 6;
  r.DownStatus = Completed;
  model.tasks.push_back(r);
  ASSERT_TRUE(SaveTaskList(model, box_.dir()));

  auto values = [](const char* index, const char* status) {
    return std::vector<std::string>{index, status, "a&amp;b.flv", "", "http://h/x?a=1&amp;b=2",
                                    "", "", "", "", "-1", "0", "", "0", "0", "", "", "2",
                                    "", "", "", "", "", ""};
  };
  EXPECT_EQ(File(), std::string(kHead) + "<Tasks>" + TaskXml(values("5", "4"), "Task-0") +
                        TaskXml(values("6", "6"), "Task-1") + "</Tasks>");
}

// Sizes are written in decimal as before, so a file from a program with
// 32-bit sizes reads as it always did, and sizes past 32 bits come back whole.
TEST_F(TaskListFileTest, SizesPastThirtyTwoBitsSurviveSaveAndLoad) {
  const int64_t sizes[] = {INT32_MAX, int64_t{1} << 31, (int64_t{1} << 32) + 1, int64_t{4608} << 20};
  DataModel model;
  for (int64_t size : sizes) {
    DataRecord r = FullRecord(1);
    r.TaskIndex = static_cast<int32_t>(model.tasks.size() + 1);  // as loading numbers them
    r.FileBytes = size;
    r.DownBytes = size - 1;
    model.tasks.push_back(r);
  }
  ASSERT_TRUE(SaveTaskList(model, box_.dir()));
  const std::string file = File();
  EXPECT_NE(file.find("<FileBytes>4831838208</FileBytes><DownBytes>4831838207</DownBytes>"), std::string::npos);

  DataModel loaded = Load(false, static_cast<int>(std::size(sizes)));
  for (size_t i = 0; i < std::size(sizes); ++i) {
    SCOPED_TRACE(sizes[i]);
    EXPECT_EQ(loaded.tasks[i].FileBytes, sizes[i]);
    EXPECT_EQ(loaded.tasks[i].DownBytes, sizes[i] - 1);
  }
  ASSERT_TRUE(SaveTaskList(loaded, box_.dir()));
  EXPECT_EQ(File(), file);
}

TEST_F(TaskListFileTest, AFileWithThirtyTwoBitSizesLoadsAndSavesUnchanged) {
  // As the program wrote it when sizes were 32-bit: the extremes it could hold.
  std::vector<std::string> a = SimpleValues("1", "7");
  a[9] = "2147483647";
  a[10] = "2147483000";
  std::vector<std::string> b = SimpleValues("2", "8");
  b[9] = "-1";  // a damaged count is kept as it is
  b[10] = "0";
  const std::string old = std::string(kHead) + "<Tasks>" + TaskXml(a, "Task-0") + TaskXml(b, "Task-1") + "</Tasks>";
  WriteFile(old);
  DataModel m = Load(false, 2);
  EXPECT_EQ(m.tasks[0].FileBytes, INT32_MAX);
  EXPECT_EQ(m.tasks[0].DownBytes, 2147483000);
  EXPECT_EQ(m.tasks[1].FileBytes, -1);
  ASSERT_TRUE(SaveTaskList(m, box_.dir()));
  EXPECT_EQ(File(), old);
}

// Saves skip reading back the file they wrote last, but not one changed since.
TEST_F(TaskListFileTest, AFileDamagedAfterASaveIsLeftAlone) {
  DataModel model;
  model.tasks.push_back(FullRecord(1));
  ASSERT_TRUE(SaveTaskList(model, box_.dir()));
  ASSERT_TRUE(SaveTaskList(model, box_.dir()));
  const std::string damaged = std::string(kHead) + "<Tasks><Task-0>";
  WriteFile(damaged);
  EXPECT_FALSE(SaveTaskList(model, box_.dir()));
  EXPECT_EQ(File(), damaged);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].caption, "Error");

  // A file loaded and then damaged the same way.
  ASSERT_TRUE(platform::DeleteFile(box_.path(kTaskListFileName)));
  ASSERT_TRUE(SaveTaskList(model, box_.dir()));
  Load(false, 1);
  WriteFile(damaged + "<TaskIndex>");
  EXPECT_FALSE(SaveTaskList(model, box_.dir()));
  EXPECT_EQ(File(), damaged + "<TaskIndex>");
}

TEST_F(TaskListFileTest, EmptyModelWritesAnEmptyRootAndLoadsAsEmpty) {
  ASSERT_TRUE(SaveTaskList(DataModel(), box_.dir()));
  EXPECT_EQ(File(), std::string(kHead) + "<Tasks></Tasks>");
  DataModel m = Load(false, 0);
  EXPECT_EQ(m.LastTaskIndex, 0);
  EXPECT_EQ(m.LastSortIndex, 0);
}

TEST_F(TaskListFileTest, MissingFileLoadsNothingWithoutComplaint) {
  DataModel m = Load(false, 0);
  EXPECT_TRUE(m.tasks.empty());
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(TaskListFileTest, StatusOnLoadDependsOnResumeTask) {
  struct Case {
    int32_t saved;
    int32_t without_resume;
    int32_t with_resume;
  };
  const Case cases[] = {
      {Failed, Failed, Failed},          {Downloading, Paused, Downloading},
      {Stopping, Paused, Paused},        {Paused, Paused, Paused},
      {Retrying, Paused, Retrying},      {Completed, Completed, Completed},
      {DeletedFailed, DeletedFailed, DeletedFailed},
      {DeletedCompleted, DeletedCompleted, DeletedCompleted},
  };
  DataModel model;
  for (const Case& c : cases) {
    DataRecord r;
    r.DownStatus = c.saved;
    model.tasks.push_back(r);
  }
  ASSERT_TRUE(SaveTaskList(model, box_.dir()));
  EXPECT_EQ(File().find("<DownStatus>3</DownStatus>"), std::string::npos);

  DataModel off = Load(false, std::size(cases));
  DataModel on = Load(true, std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(off.tasks[i].DownStatus, cases[i].without_resume) << cases[i].saved;
    EXPECT_EQ(on.tasks[i].DownStatus, cases[i].with_resume) << cases[i].saved;
  }
}

// Files written by hand: how values are read.
TEST_F(TaskListFileTest, ReadsByPositionWithTheDecimalRuleTrimmingAndLoadTime) {
  struct Case {
    std::string file_bytes;  // the FileBytes text
    int64_t expected;
  };
  const Case numbers[] = {
      {"42", 42},        {"  42abc", 42},      {"\t\n-7", -7},    {"+5", 5},
      {"abc", 0},        {"", 0},              {"- 3", 0},        {"0x10", 0},
      {"99999999999", 99999999999},            {"-99999999999", -99999999999},
      {"99999999999999999999", kMaxByteCount}, {"-99999999999999999999", -kMaxByteCount - 1},
      {"3.9", 3},
  };
  std::string xml = std::string(kHead) + "\n<Tasks>\n";
  int sort = 0;
  for (const Case& c : numbers) {
    std::vector<std::string> v = SimpleValues(std::to_string(100 - sort), std::to_string(sort));
    v[9] = c.file_bytes;
    xml += "  " + TaskXml(v, "Anything") + "\n";
    ++sort;
  }
  xml += "</Tasks>\n";
  WriteFile(xml);

  DataModel m = Load(false, std::size(numbers));
  for (size_t i = 0; i < std::size(numbers); ++i) {
    EXPECT_EQ(m.tasks[i].FileBytes, numbers[i].expected) << '"' << numbers[i].file_bytes << '"';
    EXPECT_EQ(m.tasks[i].TaskIndex, static_cast<int32_t>(i + 1));
  }
  EXPECT_EQ(m.LastSortIndex, static_cast<int32_t>(std::size(numbers) - 1));

  // The other numbers stay 32-bit and saturate there.
  std::vector<std::string> wide = SimpleValues("1", "99999999999");
  wide[12] = "99999999999";
  wide[13] = "-99999999999";
  WriteFile(std::string(kHead) + "<Tasks>" + TaskXml(wide) + "</Tasks>");
  m = Load(false, 1);
  EXPECT_EQ(m.tasks[0].Width, INT32_MAX);
  EXPECT_EQ(m.tasks[0].Height, INT32_MIN);
  EXPECT_EQ(m.tasks[0].SortIndex, INT32_MAX);

  // Texts: URL and Referer trimmed, the rest as they are; empty times become the load time.
  std::vector<std::string> v = SimpleValues("7", "3");
  v[2] = "  spaced name  ";
  v[4] = " \t http://h/x \r\n";
  v[5] = "\n http://h/page ";
  v[7] = "";
  v[8] = "<![CDATA[x<y]]>";
  v[11] = "   ";
  v[14] = "a<b>c</b>d";  // markup inside a value: its text
  std::vector<std::string> swapped = SimpleValues("3", "1");
  std::swap(swapped[2], swapped[3]);  // names are not examined: read by position
  swapped[8] = "";
  WriteFile(std::string(kHead) + "<Tasks>" + TaskXml(v) + TaskXml(swapped, "Task-1") + "</Tasks>");
  std::string before = platform::NowText();
  m = Load(false, 2);
  std::string after = platform::NowText();
  const DataRecord& r = m.tasks[0];
  EXPECT_EQ(r.TaskIndex, 1);
  EXPECT_EQ(r.FileName, "  spaced name  ");
  EXPECT_EQ(r.URL, "http://h/x");
  EXPECT_EQ(r.Referer, "http://h/page");
  EXPECT_GE(r.CreateTime, before);
  EXPECT_LE(r.CreateTime, after);
  EXPECT_EQ(r.FinishTime, "x<y");
  EXPECT_EQ(r.Progress, "   ");
  EXPECT_EQ(r.Duration, "acd");
  EXPECT_EQ(m.tasks[1].TaskIndex, 2);
  EXPECT_EQ(m.tasks[1].FileName, "{1_a.flv}.TMP!");
  EXPECT_EQ(m.tasks[1].TempFile, "a.flv");
  EXPECT_GE(m.tasks[1].FinishTime, before);
  EXPECT_LE(m.tasks[1].FinishTime, after);
  EXPECT_EQ(m.tasks[1].CreateTime, "2024-01-02 03:04:05");
  EXPECT_EQ(m.LastSortIndex, 3);
}

TEST_F(TaskListFileTest, LoadingStopsAtATaskWithTooFewValues) {
  std::vector<std::string> short_task = SimpleValues("3", "3");
  short_task.pop_back();
  WriteFile(std::string(kHead) + "<Tasks>" + TaskXml(SimpleValues("1", "1"), "Task-0") +
            "<Task-1/><Task-1b>text only</Task-1b>" + TaskXml(SimpleValues("2", "8"), "Task-2") +
            TaskXml(short_task, "Task-3") + TaskXml(SimpleValues("4", "9"), "Task-4") + "</Tasks>");
  const std::string original = File();
  DataModel m = Load(false, 2);
  ASSERT_EQ(m.tasks.size(), 2u);
  EXPECT_EQ(m.tasks[1].SortIndex, 8);
  EXPECT_EQ(m.LastTaskIndex, 2);
  EXPECT_EQ(m.LastSortIndex, 8);

  // The tasks after the short one outlive the next save in the copy.
  ASSERT_TRUE(SaveTaskList(m, box_.dir()));
  EXPECT_EQ(box_.ReadFile(kTaskListUnreadCopyName), original);
  EXPECT_EQ(Load(false, 2).tasks.size(), 2u);

  // Stopping early again keeps the first copy and makes another.
  const std::string later = std::string(kHead) + "<Tasks>" + TaskXml(short_task, "Task-0") +
                            TaskXml(SimpleValues("5", "5"), "Task-1") + "</Tasks>";
  for (const char* name : {"Task.dat.unread-2", "Task.dat.unread-3"}) {
    SCOPED_TRACE(name);
    WriteFile(later);
    Load(false, 0);
    EXPECT_EQ(box_.ReadFile(kTaskListUnreadCopyName), original);
    EXPECT_EQ(box_.ReadFile(name), later);
  }
}

TEST_F(TaskListFileTest, AnotherRootLoadsNothingButIsKept) {
  const std::string other =
      std::string(kHead) + "<Downloads>" + TaskXml(SimpleValues("1", "1")) + "</Downloads>";
  WriteFile(other);
  DataModel m = Load(false, 0);
  EXPECT_TRUE(m.tasks.empty());
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(box_.ReadFile(kTaskListUnreadCopyName), other);
}

// A file the parser rejects is reported, loads nothing, and is kept aside
// byte for byte under a free name, so that the tasks of this run can be saved.
TEST_F(TaskListFileTest, RejectedFileIsReportedAndKeptAside) {
  const std::string valid =
      std::string(kHead) + "<Tasks>" + TaskXml(SimpleValues("1", "1")) + "</Tasks>";
  const std::string cases[] = {
      "",
      std::string(kHead),
      valid.substr(0, valid.size() / 2),
      std::string(kHead) + "<Tasks><Task-0></Task-1></Tasks>",
      std::string("\x00\x01\xff\xfe<\x80\x00>\x13", 9),
      "plain text, no markup",
  };
  int n = 0;
  for (const std::string& content : cases) {
    SCOPED_TRACE(testing::PrintToString(content.substr(0, 40)));
    const std::string kept =
        std::string(kTaskListDamagedName) + (n++ == 0 ? "" : "-" + std::to_string(n));
    boxes_.shown.clear();
    WriteFile(content);
    DataModel m;
    EXPECT_EQ(LoadTaskList(m, box_.dir(), false), -1);
    EXPECT_TRUE(m.tasks.empty());
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].caption, "Error");
    EXPECT_NE(boxes_.shown[0].text.find("Task.dat"), std::string::npos);
    EXPECT_NE(boxes_.shown[0].text.find(box_.path(kept)), std::string::npos) << boxes_.shown[0].text;
    EXPECT_EQ(boxes_.shown[0].style, platform::MB_OK | platform::MB_ICONERROR);
    EXPECT_EQ(box_.ReadFile(kept), content);

    m.tasks.push_back(FullRecord(1));
    EXPECT_TRUE(SaveTaskList(m, box_.dir()));
    EXPECT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(Load(false, 1).tasks.size(), 1u);
    EXPECT_EQ(box_.ReadFile(kept), content);
  }
  // The parser's reason reaches the user.
  WriteFile(std::string(kHead) + "<Tasks><Task-0></Task-1></Tasks>");
  boxes_.shown.clear();
  Load();
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_NE(boxes_.shown[0].text.find("Start-end tags mismatch"), std::string::npos)
      << boxes_.shown[0].text;
}

// Values the file cannot carry as they are: what is written is always valid
// XML 1.0 in UTF-8, and the other tasks are untouched.
TEST_F(TaskListFileTest, HostileValuesAreWrittenSoTheNextStartCanReadThem) {
  const std::string euro = "\xE2\x82\xAC";
  std::string long_text = "a";
  while (long_text.size() < 40000) long_text += euro;
  std::string exact(kTaskListMaxValue, 'x');

  struct Case {
    std::string value;
    std::string expected;
  };
  const Case cases[] = {
      {"ctl\x01\x02\x1f\x7f end", "ctl\x7f end"},
      {std::string("nul\0byte", 8), "nulbyte"},
      {"tab\tlf\n", "tab\tlf\n"},
      {"cr\r\nlf", "cr\nlf"},  // XML reads CR LF as LF
      {"latin1 caf\xE9!", "latin1 caf\xEF\xBF\xBD!"},
      {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"overlong \xC0\xAF surrogate \xED\xA0\x80", "overlong \xEF\xBF\xBD\xEF\xBF\xBD surrogate "
                                                 "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"nonchar \xEF\xBF\xBE", "nonchar \xEF\xBF\xBD"},
      {"markup ]]> <x/> &amp; \"'", "markup ]]> <x/> &amp; \"'"},
      {exact, exact},
      {long_text, long_text.substr(0, 1 + 3 * ((kTaskListMaxValue - 1) / 3))},
  };
  DataModel model;
  model.tasks.push_back(FullRecord(1));
  for (const Case& c : cases) {
    DataRecord r = FullRecord(2);
    r.FileName = c.value;
    r.Duration = c.value;
    model.tasks.push_back(r);
  }
  model.tasks.push_back(FullRecord(3));
  ASSERT_TRUE(SaveTaskList(model, box_.dir()));

  // Nothing but tab, LF and CR below 0x20 in the file.
  std::string file = File();
  for (unsigned char c : file) ASSERT_TRUE(c >= 0x20 || c == '\t' || c == '\n' || c == '\r');

  DataModel m = Load(true, static_cast<int>(model.tasks.size()));
  ASSERT_EQ(m.tasks.size(), model.tasks.size());
  ExpectPersistedEqual(m.tasks.front(), model.tasks.front());
  ExpectPersistedEqual(m.tasks.back(), model.tasks.back());
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    // A path keeps its bytes (cut like any value); other texts become valid.
    const std::string& path =
        cases[i].value.size() > kTaskListMaxValue ? cases[i].expected : cases[i].value;
    EXPECT_EQ(m.tasks[i + 1].FileName, path);
    EXPECT_EQ(m.tasks[i + 1].Duration, cases[i].expected);
    EXPECT_EQ(m.tasks[i + 1].URL, model.tasks[i + 1].URL);
  }
  // What was loaded saves and loads again unchanged.
  ASSERT_TRUE(SaveTaskList(m, box_.dir()));
  const std::string second = File();
  ASSERT_TRUE(SaveTaskList(Load(true), box_.dir()));
  EXPECT_TRUE(File() == second);
}

// Folder and file names are the user's bytes, UTF-8 or not: a task must
// find its partial file again after a restart. The file stays valid UTF-8.
TEST_F(TaskListFileTest, PathsKeepTheirBytes) {
  DataModel model;
  DataRecord r = FullRecord(1);
  r.SaveDir = "/home/u/caf\xE9 \x01tab\t/";
  r.FileName = "clip\xFF\xFE.flv";
  r.TempFile = "{1_clip\xFF\xFE.flv}.TMP!\r";
  model.tasks.push_back(r);
  model.tasks.push_back(FullRecord(2));
  ASSERT_TRUE(SaveTaskList(model, box_.dir()));
  const std::string file = File();
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_buffer(file.data(), file.size(), pugi::parse_default, pugi::encoding_utf8));
  EXPECT_EQ(CXMLFile::ToXmlText(file.substr(file.find("<Tasks>"))), file.substr(file.find("<Tasks>")));

  DataModel m = Load(true, 2);
  ASSERT_EQ(m.tasks.size(), 2u);
  EXPECT_EQ(m.tasks[0].SaveDir, r.SaveDir);
  EXPECT_EQ(m.tasks[0].FileName, r.FileName);
  EXPECT_EQ(m.tasks[0].TempFile, r.TempFile);
  ExpectPersistedEqual(m.tasks[1], model.tasks[1]);
}

TEST_F(TaskListFileTest, OverlongValuesInAFileAreCut) {
  std::vector<std::string> v = SimpleValues("1", "1");
  v[2] = std::string(50000, 'n');
  v[4] = std::string(40000, ' ') + "http://h/x";  // cut first, then trimmed
  WriteFile(std::string(kHead) + "<Tasks>" + TaskXml(v) + TaskXml(SimpleValues("2", "2"), "T") +
            "</Tasks>");
  DataModel m = Load(false, 2);
  EXPECT_EQ(m.tasks[0].FileName, std::string(kTaskListMaxValue, 'n'));
  EXPECT_EQ(m.tasks[0].URL, "");
  EXPECT_EQ(m.tasks[1].FileName, "a.flv");
}

using testsupport::FullDiskWriter;

TEST_F(TaskListFileTest, AFailedSaveLeavesTheOldFileWhole) {
  DataModel old_model;
  old_model.tasks.push_back(FullRecord(1));
  old_model.tasks.push_back(FullRecord(2));
  ASSERT_TRUE(SaveTaskList(old_model, box_.dir()));
  const std::string old_file = File();
  const std::string temp = platform::AtomicFileWriter::TempPath(box_.path(kTaskListFileName));

  DataModel new_model = old_model;
  for (int n = 3; n < 50; ++n) new_model.tasks.push_back(FullRecord(n));
  for (size_t room : {size_t{0}, size_t{100}, old_file.size() + 10}) {
    SCOPED_TRACE(room);
    FullDiskWriter writer(room);
    EXPECT_FALSE(SaveTaskList(new_model, box_.dir(), writer));
    EXPECT_EQ(File(), old_file);
    EXPECT_FALSE(platform::FileExists(temp));
  }

  // The temporary file cannot even be made.
  ASSERT_TRUE(platform::CreateFolders(temp));
  EXPECT_FALSE(SaveTaskList(new_model, box_.dir()));
  EXPECT_EQ(File(), old_file);
  ::rmdir(temp.c_str());

  DataModel m = Load(true, 2);
  ExpectPersistedEqual(m.tasks[1], old_model.tasks[1]);

  // A temporary file left by a crash changes nothing and goes at the next save.
  testsupport::WriteWholeFile(temp, "<Tasks><half");
  EXPECT_EQ(Load(true).tasks.size(), 2u);
  ASSERT_TRUE(SaveTaskList(new_model, box_.dir()));
  EXPECT_FALSE(platform::FileExists(temp));
  EXPECT_EQ(Load(true).tasks.size(), new_model.tasks.size());
}

// Damaged copies of a good file: none may crash, and whatever loads must
// save to a file that loads the same again.
TEST_F(TaskListFileTest, DamagedFilesNeverCrashAndWhatLoadsSavesReadably) {
  DataModel model;
  for (int n = 1; n <= 4; ++n) model.tasks.push_back(FullRecord(n));
  ASSERT_TRUE(SaveTaskList(model, box_.dir()));
  const std::string good = File();

  std::mt19937 rng(12345);
  for (int round = 0; round < 600; ++round) {
    std::string bad = good;
    static const char kBytes[] = "<>/&;# \x01\x1f\x80\xc3\xe2\xff";
    int edits = 1 + static_cast<int>(rng() % 3);
    for (int e = 0; e < edits && !bad.empty(); ++e) {
      size_t at = rng() % bad.size();
      char c = rng() % 2 ? kBytes[rng() % (sizeof kBytes - 1)] : static_cast<char>(rng());
      switch (rng() % 10) {
        case 0: case 1: case 2: case 3: bad[at] = c; break;
        case 4: case 5: bad.erase(at, 1 + rng() % 8); break;
        case 6: case 7: case 8: bad.insert(at, 1, c); break;
        case 9: bad.resize(at); break;
      }
    }
    WriteFile(bad);
    DataModel m;
    int n = LoadTaskList(m, box_.dir(), true);
    if (n < 0) continue;
    ASSERT_TRUE(SaveTaskList(m, box_.dir())) << round;
    DataModel again;
    ASSERT_EQ(LoadTaskList(again, box_.dir(), true), n) << round;
    for (int i = 0; i < n; ++i) ExpectPersistedEqual(again.tasks[i], m.tasks[i]);
  }
}

}  // namespace
