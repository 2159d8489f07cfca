#include "core/settings.h"

#include "platform/file_system.h"
#include "platform/user_folders.h"

namespace {

const char kBuiltInMediaTypes[] =
    "Flash Video|*.flv,Flash Video|*.f4v,MPEG-4 Video|*.mp4,MPEG-4 Video|*.m4v,"
    "Windows Media|*.wmv,Windows Media|*.asf,MPEG Video|*.mpg,MPEG Video|*.mpeg,"
    "Real Media|*.rm,Real Media|*.rmvb,3GP Video|*.3gp,3GP Video|*.3g2,"
    "QuickTime Movie|*.mov,AVI Video|*.avi,MPEG-1 Audio Layer 3|*.mp3,"
    "Windows Media Audio|*.wma,Flash Movie|*.swf";

// "chromium" is the browser this system ships; "firefox.exe" already names
// Firefox here (see BrowserEntryMatches). Stored lists stay as they were:
// the options dialog offers the browsers found on the system.
const char kDefaultMonitor[] = "iexplore.exe,firefox.exe,opera.exe,maxthon.exe,chromium";

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(sep, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != platform::kPathSeparator) folder += platform::kPathSeparator;
  return folder;
}

class Reader {
 public:
  explicit Reader(const KeyValueStore& store) : store_(store) {}

  int32_t Number(const char* section, const std::string& name, int32_t def) const {
    uint32_t v;
    return store_.ReadNumber(section, name, &v) ? static_cast<int32_t>(v) : def;
  }
  uint8_t Flag(const char* section, const std::string& name, uint8_t def) const {
    uint32_t v;
    return store_.ReadNumber(section, name, &v) ? (v != 0 ? 1 : 0) : def;
  }
  std::string Text(const char* section, const std::string& name, const std::string& def) const {
    std::string v;
    return store_.ReadText(section, name, &v) ? v : def;
  }

 private:
  const KeyValueStore& store_;
};

std::string MediaTypeValueName(int i) { return "MediaType" + std::to_string(i); }

}  // namespace

Settings::Settings()
    : MediaTypes(BuiltInMediaTypes()), Browsers(ParseBrowsers(kDefaultMonitor, "")) {}

std::vector<MediaType> Settings::BuiltInMediaTypes() {
  std::vector<MediaType> types;
  for (const std::string& piece : Split(kBuiltInMediaTypes, ',')) {
    std::vector<std::string> pair = Split(piece, '|');
    if (pair.size() == 2 && pair[1] != "*.") types.push_back({pair[0], pair[1]});
  }
  return types;
}

std::vector<BrowserEntry> Settings::ParseBrowsers(const std::string& monitor,
                                                  const std::string& unmonitor) {
  std::vector<BrowserEntry> browsers;
  for (const std::string& name : Split(monitor, ','))
    if (!name.empty()) browsers.push_back({name, 1});
  for (const std::string& name : Split(unmonitor, ','))
    if (!name.empty()) browsers.push_back({name, 0});
  return browsers;
}

std::string Settings::DefaultSaveFolder(const std::string& documents_dir) {
  std::string base = documents_dir.empty() ? platform::HomeFolder() : WithSeparator(documents_dir);
  return base + "Tamborel/";
}

void Settings::Load(const KeyValueStore& store, const std::string& program_dir,
                    const std::string& documents_dir) {
  std::string program = WithSeparator(program_dir);
  std::string default_folder = DefaultSaveFolder(documents_dir);
  platform::CreateFolders(default_folder);

  CaptureSound = program + "sound/capture.wav";
  FinishSound = program + "sound/finish.wav";
  MediaTypes = BuiltInMediaTypes();

  Reader r(store);
  ShowTutorial = r.Flag("GlobalStatus", "ShowTutorial", 1);
  ToolTipShowedCount = r.Number("GlobalStatus", "ToolTipShowedCount", 0);
  CloseAction = r.Number("GlobalStatus", "CloseAction", 0);
  CloseActionLastTimeUsed = r.Number("GlobalStatus", "CloseActionLastTimeUsed", 1);

  AutoStart = r.Flag("GeneralOption", "AutoStart", 0);
  ResumeTask = r.Flag("GeneralOption", "ResumeTask", 0);
  ShowTaskWnd = r.Flag("GeneralOption", "ShowTaskWnd", 1);
  // Every task path is SaveDir + name, so an empty folder or one without the
  // trailing separator would put files in the wrong place.
  SavePath = WithSeparator(r.Text("GeneralOption", "SavePath", default_folder));
  if (SavePath.empty()) SavePath = default_folder;

  PlaySound = r.Flag("PromptOption", "PlaySound", 1);
  ShowFinishPopWnd = r.Flag("PromptOption", "ShowFinishPopWnd", 1);
  ClosePopWndSeconds = r.Number("PromptOption", "ClosePopWndSeconds", 20);
  ClosePopWndWay = r.Number("PromptOption", "ClosePopWndWay", 1);

  for (int i = 0; i < kMediaTypeCount; ++i)
    MediaTypeOn[i] = r.Flag("MonitorOption", MediaTypeValueName(i), i < 16 ? 1 : 0);

  Browsers = ParseBrowsers(r.Text("Browser", "Monitor", kDefaultMonitor),
                           r.Text("Browser", "UnMonitor", ""));
}

bool Settings::Save(KeyValueStore& store) const {
  bool ok = true;
  auto number = [&](const char* section, const std::string& name, int32_t v) {
    ok = store.WriteNumber(section, name, static_cast<uint32_t>(v)) && ok;
  };
  auto text = [&](const char* section, const char* name, const std::string& v) {
    ok = store.WriteText(section, name, v) && ok;
  };

  number("GlobalStatus", "ShowTutorial", ShowTutorial);
  number("GlobalStatus", "ToolTipShowedCount", ToolTipShowedCount);
  number("GlobalStatus", "CloseAction", CloseAction);
  number("GlobalStatus", "CloseActionLastTimeUsed", CloseActionLastTimeUsed);

  number("GeneralOption", "AutoStart", AutoStart);
  number("GeneralOption", "ResumeTask", ResumeTask);
  number("GeneralOption", "ShowTaskWnd", ShowTaskWnd);
  text("GeneralOption", "SavePath", SavePath);

  number("PromptOption", "PlaySound", PlaySound);
  number("PromptOption", "ShowFinishPopWnd", ShowFinishPopWnd);
  number("PromptOption", "ClosePopWndSeconds", ClosePopWndSeconds);
  number("PromptOption", "ClosePopWndWay", ClosePopWndWay);

  for (int i = 0; i < kMediaTypeCount; ++i)
    number("MonitorOption", MediaTypeValueName(i), MediaTypeOn[i]);

  // Each name after a comma: the leading one is dropped again on loading.
  std::string monitor, unmonitor;
  for (const BrowserEntry& b : Browsers) (b.Monitored ? monitor : unmonitor) += "," + b.Name;
  text("Browser", "Monitor", monitor);
  text("Browser", "UnMonitor", unmonitor);

  return store.Flush() && ok;
}
