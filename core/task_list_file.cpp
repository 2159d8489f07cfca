#include "core/task_list_file.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string_view>

#include "core/byte_count.h"
#include "core/xml_file.h"
#include "platform/atomic_file_writer.h"
#include "platform/file_stamp.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/local_time.h"

namespace {

// Cuts to at most kTaskListMaxValue bytes without splitting a UTF-8 sequence.
void CutValue(std::string& text) {
  if (text.size() <= kTaskListMaxValue) return;
  size_t end = kTaskListMaxValue;
  // A sequence is at most 4 bytes; further back the text was not UTF-8 anyway.
  for (int k = 0; k < 3 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80; ++k) --end;
  text.resize(end);
}

// Path values whose bytes the text of an element cannot carry (not UTF-8,
// control characters, CR) also go into this attribute in hexadecimal, so that
// a task keeps its folder and files whatever their names hold.
constexpr char kRawBytesAttribute[] = "bytes";

bool NeedsRawBytes(const std::string& value) {
  return value.find('\r') != std::string::npos || CXMLFile::ToXmlText(value) != value;
}

std::string ToHex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

// False for text that is not an even run of hexadecimal digits.
bool FromHex(std::string_view hex, std::string* bytes) {
  if (hex.size() % 2 != 0 || hex.size() / 2 > kTaskListMaxValue) return false;
  auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                            : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  bytes->clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes->push_back(static_cast<char>(hi * 16 + lo));
  }
  return true;
}

// All text below the element, as one value, in the form the writer gives it.
std::string ElementText(pugi::xml_node element) {
  std::string text;
  // Iterative: a hostile file may nest deeper than the stack allows.
  pugi::xml_node n = element.first_child();
  while (n && text.size() <= kTaskListMaxValue) {
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n && n != element && !n.next_sibling()) n = n.parent();
    if (!n || n == element) break;
    n = n.next_sibling();
  }
  // A file from elsewhere may hold bytes or characters that ours never
  // holds; reading them as they will be written keeps load and save in step.
  text = CXMLFile::ToXmlText(text);
  CutValue(text);
  return text;
}

// The C library's rule: leading blanks, a sign, digits up to the first
// other character, 0 without digits. Values past `limit` saturate (to
// -limit - 1 below, as the C library's int does).
int64_t ParseDecimal(const std::string& text, int64_t limit) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > limit) break;
  }
  if (negative) v = -v;
  return std::clamp<int64_t>(v, -limit - 1, limit);
}

std::string Trim(const std::string& text) {
  const char* blanks = " \t\n\v\f\r";
  size_t b = text.find_first_not_of(blanks);
  if (b == std::string::npos) return {};
  size_t e = text.find_last_not_of(blanks);
  return text.substr(b, e - b + 1);
}

bool ReadTask(pugi::xml_node task, bool resume_task, const std::string& now, DataRecord* r) {
  pugi::xml_node values[kTaskListValueCount];
  int count = 0;
  for (pugi::xml_node c = task.first_child(); c && count < kTaskListValueCount; c = c.next_sibling())
    if (c.type() == pugi::node_element) values[count++] = c;
  if (count < kTaskListValueCount) return false;

  auto text = [&](int i) { return ElementText(values[i]); };
  // A path kept byte for byte, when the file has it so.
  auto path = [&](int i) {
    std::string raw;
    if (FromHex(values[i].attribute(kRawBytesAttribute).value(), &raw) && !raw.empty()) {
      CutValue(raw);
      return raw;
    }
    return text(i);
  };
  auto number = [&](int i) { return static_cast<int32_t>(ParseDecimal(ElementText(values[i]), INT32_MAX)); };
  // Sizes are 64-bit; within the largest count, sums and differences of two
  // of them cannot overflow.
  auto size = [&](int i) { return ParseDecimal(ElementText(values[i]), kMaxByteCount); };

  // values[0] is the TaskIndex of the run that wrote the file: not used.
  int32_t status = number(1);
  // Nothing is downloading or stopping yet in a new run.
  if (status == Stopping) status = Paused;
  if (!resume_task && (status == Downloading || status == Retrying)) status = Paused;
  r->DownStatus = status;
  r->FileName = path(2);
  r->TempFile = path(3);
  r->URL = Trim(text(4));
  r->Referer = Trim(text(5));
  r->UserAgent = text(6);
  r->CreateTime = text(7);
  if (r->CreateTime.empty()) r->CreateTime = now;
  r->FinishTime = text(8);
  if (r->FinishTime.empty()) r->FinishTime = now;
  r->FileBytes = size(9);
  r->DownBytes = size(10);
  r->Progress = text(11);
  r->Width = number(12);
  r->Height = number(13);
  r->Duration = text(14);
  r->SaveDir = path(15);
  r->SortIndex = number(16);
  r->RTMPHost = text(17);
  r->RTMPApp = text(18);
  r->RTMPPlayPath = text(19);
  r->RTMPTHost = text(20);
  r->RTMPTApp = text(21);
  r->RTMPTPlayPath = text(22);
  return true;
}

// The next save writes only what was loaded; tasks the loader had to leave
// out survive in a copy of the file as it was.
void KeepUnreadCopy(const std::string& path, const std::string& copy) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return;
  platform::AtomicFileWriter writer;
  if (writer.Begin(copy) && writer.Write(bytes.data(), bytes.size())) writer.Commit();
}

// Appends one task element and its values, in file order, to a fresh document.
class TaskWriter {
 public:
  TaskWriter(CXMLFile& xml, int index) : xml_(xml) {
    char name[32];
    std::snprintf(name, sizeof name, "Task-%d", index);
    task_ = xml_.AppendElement({}, name);
    ok_ = !task_.empty();
  }

  void Text(const char* name, const std::string& value) { Append(name, value); }
  void Path(const char* name, const std::string& value) {
    pugi::xml_node element = Append(name, value);
    if (!element) return;
    std::string raw = value;
    CutValue(raw);
    if (!NeedsRawBytes(raw)) return;
    pugi::xml_attribute bytes = element.append_attribute(kRawBytesAttribute);
    ok_ = bytes && bytes.set_value(ToHex(raw).c_str()) && ok_;
  }
  void Number(const char* name, int64_t value) {
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    Append(name, std::string_view(text, static_cast<size_t>(n)));
  }
  bool ok() const { return ok_; }

 private:
  pugi::xml_node Append(const char* name, std::string_view value) {
    if (!ok_) return {};
    std::string text = CXMLFile::ToXmlText(value);
    CutValue(text);
    pugi::xml_node element = xml_.AppendValue(task_, name, text);
    ok_ = !element.empty();
    return element;
  }

  CXMLFile& xml_;
  pugi::xml_node task_;
  bool ok_ = true;
};

}  // namespace

// The Task.dat this process last parsed or wrote, as it was then: while the
// file keeps that stamp it is known to parse.
static std::mutex knownGoodLock;
static std::string knownGoodPath;
static platform::FileStamp knownGoodStamp;

static void RememberKnownGood(const std::string& path) {
  const platform::FileStamp stamp = platform::StampOf(path);
  std::lock_guard<std::mutex> lock(knownGoodLock);
  knownGoodPath = path;
  knownGoodStamp = stamp;
}

static bool IsKnownGood(const std::string& path) {
  const platform::FileStamp stamp = platform::StampOf(path);
  std::lock_guard<std::mutex> lock(knownGoodLock);
  return stamp.size >= 0 && path == knownGoodPath && stamp == knownGoodStamp;
}

// The first of `base`, `base`-2, `base`-3, ... not in `folder`; empty when
// all are taken.
static std::string FreeCopyName(const std::string& folder, const char* base) {
  for (int n = 1; n < 1000; ++n) {
    std::string name = base;
    if (n > 1) name += "-" + std::to_string(n);
    if (!platform::FileExists(folder + name)) return name;
  }
  return {};
}

// Every load that leaves tasks unread keeps its own copy: an earlier one may
// hold tasks the later file no longer has.
static void KeepUnread(const std::string& path, const std::string& folder) {
  const std::string name = FreeCopyName(folder, kTaskListUnreadCopyName);
  if (!name.empty()) KeepUnreadCopy(path, folder + name);
}

// Moves a file the parser rejects out of the way under a free name: kept as
// it was for the user, while later saves write a new list instead of
// failing for the rest of the run. Empty when it could not be moved.
static std::string MoveDamagedAside(const std::string& path, const std::string& folder) {
  const std::string name = FreeCopyName(folder, kTaskListDamagedName);
  if (name.empty()) return {};
  return platform::RenameFile(path, folder + name) ? name : std::string();
}

int LoadTaskList(DataModel& model, const std::string& folder, bool resume_task) {
  const std::string path = folder + kTaskListFileName;
  CXMLFile xml;
  xml.SetQuiet(true);
  if (!xml.Open(path, "Tasks")) {
    std::string text = xml.ErrorText();
    if (platform::FileExists(path)) {
      const std::string kept = MoveDamagedAside(path, folder);
      if (!kept.empty()) text += "\nThe file is kept as " + folder + kept + "; the task list starts empty.";
    }
    platform::ShowMessageBox("Error", text, platform::MB_OK | platform::MB_ICONERROR);
    return -1;
  }
  pugi::xml_node root = xml.Root();
  if (!root) {
    KeepUnread(path, folder);
    return 0;
  }
  RememberKnownGood(path);

  const std::string now = platform::NowText();
  size_t elements = 0;
  for (pugi::xml_node task = root.first_child(); task; task = task.next_sibling()) ++elements;
  model.tasks.reserve(model.tasks.size() + elements);
  int loaded = 0;
  int32_t largest_sort = model.LastSortIndex;
  for (pugi::xml_node task = root.first_child(); task; task = task.next_sibling()) {
    if (task.type() != pugi::node_element) continue;
    if (!task.find_child([](pugi::xml_node c) { return c.type() == pugi::node_element; })) continue;
    DataRecord record;
    if (!ReadTask(task, resume_task, now, &record)) {
      KeepUnread(path, folder);
      break;
    }
    record.TaskIndex = ++model.LastTaskIndex;
    largest_sort = std::max(largest_sort, record.SortIndex);
    model.tasks.push_back(std::move(record));
    ++loaded;
  }
  model.LastSortIndex = largest_sort;
  return loaded;
}

bool SaveTaskList(const DataModel& model, const std::string& folder) {
  platform::AtomicFileWriter writer;
  return SaveTaskList(model, folder, writer);
}

bool SaveTaskList(const DataModel& model, const std::string& folder,
                  platform::AtomicFileWriter& writer) {
  const std::string path = folder + kTaskListFileName;
  // A file that does not parse may still hold the user's tasks: keep it.
  // Reading back the file this process last read or wrote is skipped: for a
  // long list that costs as much as building the new one.
  CXMLFile xml;
  if (!IsKnownGood(path) && !xml.Open(path, "Tasks")) return false;
  if (!xml.Reset()) return false;

  bool ok = true;
  int i = 0;
  for (const DataRecord& r : model.tasks) {
    TaskWriter w(xml, i++);
    w.Number("TaskIndex", r.TaskIndex);
    w.Number("DownStatus", r.DownStatus == Stopping ? Paused : r.DownStatus);
    w.Path("FileName", r.FileName);
    w.Path("TempFile", r.TempFile);
    w.Text("URL", r.URL);
    w.Text("Referer", r.Referer);
    w.Text("UserAgent", r.UserAgent);
    w.Text("CreateTime", r.CreateTime);
    w.Text("FinishTime", r.FinishTime);
    w.Number("FileBytes", r.FileBytes);
    w.Number("DownBytes", r.DownBytes);
    w.Text("Progress", r.Progress);
    w.Number("Width", r.Width);
    w.Number("Height", r.Height);
    w.Text("Duration", r.Duration);
    w.Path("SaveDir", r.SaveDir);
    w.Number("SortIndex", r.SortIndex);
    w.Text("RTMPHost", r.RTMPHost);
    w.Text("RTMPApp", r.RTMPApp);
    w.Text("RTMPPlayPath", r.RTMPPlayPath);
    w.Text("RTMPTHost", r.RTMPTHost);
    w.Text("RTMPTApp", r.RTMPTApp);
    w.Text("RTMPTPlayPath", r.RTMPTPlayPath);
    ok = w.ok() && ok;
  }
  // A document missing values would stop the next load part-way: keep the old file.
  if (!ok) return false;
  if (!xml.Save(path, writer)) return false;
  RememberKnownGood(path);
  return true;
}
