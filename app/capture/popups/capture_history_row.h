// What the capture history dialog keeps of one capture record: the frame
// copies its history into a list of these on every refresh.
#pragma once

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

struct CaptureTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct CaptureHistoryRow {
  int32_t id = 0;  // capture identifier
  std::string address;
  std::string typePattern;
  CaptureTime time;
  QImage thumbnail;  // null until the popup delivered one
};

// The frame as the dialog sees it; each call is answered before it returns.
class CaptureHistoryFrame {
 public:
  virtual ~CaptureHistoryFrame() = default;
  // UM_HISTORY_ATTACH: replace `rows` with the history, oldest first.
  virtual void AttachHistory(std::vector<CaptureHistoryRow>& rows) = 0;
  // UM_HISTORY_DOWNLOAD
  virtual void DownloadCapture(int32_t captureId) = 0;
  // UM_HISTORY_CLEAR
  virtual void ClearHistory() = 0;
};
