// The one record of user preferences: loaded once at start-up, changed in
// memory while the program runs, written back at exit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/key_value_store.h"

// A monitored file type: what the user reads and the pattern ("*.flv").
struct MediaType {
  std::string Description;
  std::string Pattern;
};

struct BrowserEntry {
  std::string Name;       // program name ("firefox.exe")
  uint8_t Monitored = 1;
};

inline constexpr int kMediaTypeCount = 17;

class Settings {
 public:
  Settings();
  virtual ~Settings() = default;

  int32_t Monitoring = 1;               // not stored
  int32_t RetryDelay = 10;              // seconds; not stored
  uint8_t WarnOnExit = 1;               // not stored
  int32_t CloseAction = 0;
  int32_t CloseActionLastTimeUsed = 1;
  uint8_t PreviewSelected = 1;          // preview the selected file; not stored
  uint8_t PreviewAutoPlay = 1;          // and start it at once; not stored
  std::string CaptureSound;             // not stored
  uint8_t ShowCapturePopWnd = 1;        // not stored
  uint8_t WarnOnExecutable = 1;         // not stored
  uint8_t MinimizeToTray = 1;           // not stored
  uint8_t DetailLog = 1;                // not stored
  int32_t RetryTimes = 100;             // not stored
  std::string FinishSound;              // not stored
  int32_t ToolTipShowedCount = 0;
  uint8_t ShowTutorial = 1;
  std::vector<MediaType> MediaTypes;    // not stored; always the built-in list
  int32_t DblClickDeleted = 1;          // not stored
  int32_t DblClickCompleted = 1;        // not stored
  int32_t DblClickIncomplete = 1;       // not stored
  std::string SavePath;                 // ends in the path separator
  uint8_t ResumeTask = 0;
  uint8_t AutoStart = 0;
  uint8_t ShowTaskWnd = 1;
  uint8_t ShowFinishPopWnd = 1;
  uint8_t PlaySound = 1;
  int32_t ClosePopWndWay = 1;
  int32_t ClosePopWndSeconds = 20;
  uint8_t MediaTypeOn[kMediaTypeCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0};
  std::vector<BrowserEntry> Browsers;   // stored as the Monitor and UnMonitor texts

  // Reads the stored values, missing ones taking their defaults, and sets the
  // rest from the folders: `program_dir` is the program folder and
  // `documents_dir` the user's documents folder (empty when unknown, then the
  // home folder stands in); both may lack the trailing separator. The default
  // save folder is created on disk.
  void Load(const KeyValueStore& store, const std::string& program_dir,
            const std::string& documents_dir);

  // Writes every stored value; true when the store took all of them.
  bool Save(KeyValueStore& store) const;

  // documents_dir + "Tamborel/", or the home folder's when documents_dir is empty.
  static std::string DefaultSaveFolder(const std::string& documents_dir);

  // The 17 built-in monitored file types.
  static std::vector<MediaType> BuiltInMediaTypes();

  // Monitored entries from `monitor`, then unmonitored ones from `unmonitor`;
  // both are comma-separated and empty pieces are dropped.
  static std::vector<BrowserEntry> ParseBrowsers(const std::string& monitor,
                                                 const std::string& unmonitor);
};
