#include "rtmp/rtmp_download.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/byte_count.h"
#include "core/stream_worker.h"
#include "core/task_event_codes.h"
#include "platform/tick_count.h"
#include "rtmp/rtmp.h"
#include "rtmp/stream_address.h"

CRTMPDownload::~CRTMPDownload() {
  if (file) fclose(file);
}

CRTMP* CRTMPDownload::NewConnection() { return new (std::nothrow) CRTMP(); }

bool CRTMPDownload::ReportStart() {
  if (!worker->Report(TE_RESOLVING, 0, 3, "")) {
    result = ATTEMPT_FAILED;
    return false;
  }
  if (!host || !*host) {
    worker->Report(TE_URL_INVALID, 0, 3,
                   tunnelled ? "You must specify a url (-r \"rtmpt://host[:port]/playpath\") "
                               "containing a hostname."
                             : "You must specify a url (-r \"rtmp://host[:port]/playpath\") "
                               "containing a hostname.");
    result = ATTEMPT_FAILED;
    return false;
  }
  if (!playpath || !*playpath) {
    worker->Report(TE_URL_INVALID, 0, 3,
                   tunnelled ? "You must specify a url (-r \"rtmpt://host[:port]/playpath\") "
                               "containing a playpath."
                             : "You must specify a url (-r \"rtmp://host[:port]/playpath\") "
                               "containing a playpath.");
    result = ATTEMPT_FAILED;
    return false;
  }
  return true;
}

bool CRTMPDownload::AllocateOutputBuffer() {
  buffer.reset(new (std::nothrow) uint8_t[kOutputBufferSize]());
  bufferSize = buffer ? kOutputBufferSize : 0;
  return buffer != nullptr;
}

void CRTMPDownload::Publish(MediaSource* source) { worker->PublishStreamClient(source); }

bool CRTMPDownload::WriteAll(const uint8_t* data, size_t size) {
  return fwrite(data, 1, size, file) == size;
}

bool CRTMPDownload::OpenTemporaryFile(MediaSource& source) {
  if (resume) {
    file = fopen(tempPath, "r+b");
    if (file) {
      const int inspected = InspectFile(file, &source);
      if (inspected == INSPECT_CONTINUE) {
        // Everything after the resume keyframe comes again from the server;
        // cut it off so that a shorter continuation can't leave stale tag
        // bytes behind it in the file.
        if (fflush(file) != 0 || ftruncate(fileno(file), resumePosition) != 0 ||
            fseeko(file, resumePosition, SEEK_SET) != 0) {
          result = ATTEMPT_FILE_UNUSABLE;
          return false;
        }
        fresh_ = false;
        return true;
      }
      if (inspected == INSPECT_UNUSABLE) {
        result = ATTEMPT_FILE_UNUSABLE;
        return false;
      }
    }
  }
  resume = false;
  fresh_ = true;
  resumeTimestamp = 0;
  metadata.reset();
  resumeFrame.reset();
  if (file) {
    fclose(file);
    file = nullptr;
  }
  file = fopen(tempPath, "wb");
  if (!file) {
    worker->Report(TE_CREATE_FAILED, 0, 3, "Failed to create temporary file.");
    result = ATTEMPT_FAILED;
    return false;
  }
  if (!worker->Report(TE_FILE_CREATED, 3, 1, "Create temporary file successfully.")) {
    result = ATTEMPT_FAILED;
    return false;
  }
  return true;
}

bool CRTMPDownload::AfterConnect(bool firstAttempt) {
  if (worker->CheckAbort()) {
    result = ATTEMPT_ABORTED;
    return false;
  }
  if (firstAttempt && (!worker->Report(TE_CONNECTED, 0, 0, "Connected.") ||
                       !worker->Report(TE_RECEIVING, 0, 0, "Start receiving data ..."))) {
    result = ATTEMPT_FAILED;
    return false;
  }
  return true;
}

bool CRTMPDownload::Record(MediaSource& source, bool tunnelled) {
  result = ATTEMPT_COMPLETED;
  if (fresh_) {
    uint8_t header[kFlvHeaderSize];
    WriteHeader(header);
    if (fseeko(file, 0, SEEK_SET) != 0 || !WriteAll(header, sizeof header)) {
      worker->Report(TE_WRITE_FAILED, 0, 0, "Failed to write file data.");
      result = ATTEMPT_FAILED;
      return false;
    }
    byteCount_ = kFlvHeaderSize;
    headerFlags_ = header[4];
  } else {
    byteCount_ = 0;
    const int64_t here = ftello(file);
    if (fseeko(file, 0, SEEK_END) == 0) byteCount_ = ftello(file);
    if (here < 0 || fseeko(file, here, SEEK_SET) != 0) {
      worker->Report(TE_WRITE_FAILED, 0, 0, "Failed to write file data.");
      result = ATTEMPT_FAILED;
      return false;
    }
  }
  lastUpdateTick_ = platform::TickCountMs();
  lastUpdateBytes_ = byteCount_;
  progressStarted_ = true;
  mediaSeen_ = false;
  ResetResumeFilter();

  int n = 0;
  uint32_t timestamp = 0;
  do {
    if (worker->CheckAbort()) {
      result = ATTEMPT_ABORTED;
      return false;
    }
    n = NextTag(source, timestamp);
    if (n == kSeekOvershot) return true;
    if (n > 0) {
      if (!WriteAll(buffer.get(), size_t(n)) || !KeepHeaderFlags()) {
        worker->Report(TE_WRITE_FAILED, 0, 0, "Failed to write file data.");
        result = ATTEMPT_FAILED;
        return false;
      }
      byteCount_ += n;
      if (duration <= 0) duration = MetadataSeconds(source.GetDuration());
      if (worker->TotalSize() == 0) worker->SetTotalSize(MetadataBytes(source.GetFileSize()));
      if (duration > 0) {
        if (double(bufferTime) < duration * 1000) {
          bufferTime = int32_t(duration * 1000) + 5000;
          source.SetBufferMS(bufferTime);
          source.UpdateBufferMS();
        }
        percent = double(timestamp) / (duration * 10);
        if (percent > 100) percent = 100;
      }
    }
    if (uint32_t(platform::TickCountMs() - lastUpdateTick_) > kProgressIntervalMs) {
      ProgressUpdate(tunnelled);
      if (result == ATTEMPT_ABORTED) return false;
    }
  } while (n >= 0 && source.IsConnected());

  KeepHeaderFlags();
  if (!fresh_ && n == -2) {
    worker->Report(TE_RECV_ERROR, 0, 0, "Error occurred.");
    result = ATTEMPT_FAILED;
    return false;
  }
  if ((duration > 0 && percent > 99.9) || n == 0) {
    // A stream shorter than the update interval has had no update yet.
    UpdateCounters(tunnelled);
    worker->SetTotalSize(worker->Downloaded());
    result = worker->Report(TE_COMPLETED, 3, 1, "Download Completed.") ? ATTEMPT_COMPLETED
                                                                       : ATTEMPT_FAILED;
    return false;
  }
  // Broken off, or closed by a stop. An abort is told at once rather than
  // through the next attempt; and a close right after a write must not end
  // the task quietly without any outcome.
  if (worker->CheckAbort()) {
    result = ATTEMPT_ABORTED;
    return false;
  }
  if (!mediaSeen_) {
    // The server refused the stream or ended it before any media: another
    // attempt at once would only get the same answer. A failure lets the
    // task's retry rules decide, one connection per try.
    const std::string reason = source.CloseReason();
    worker->Report(TE_RECV_ERROR, 0, 3,
                   reason.empty() ? "The server closed the stream before sending any data."
                                  : "The server refused the stream (" + reason + ").");
    result = ATTEMPT_FAILED;
    return false;
  }
  result = ATTEMPT_BROKEN;
  return false;
}

bool CRTMPDownload::KeepHeaderFlags() {
  // Written as soon as the kinds of media are known, not only when the loop
  // ends: after an abort, a failed write or a crash the header must still
  // say what the file holds, or the next attempt looks for the wrong kind
  // of keyframe. Nothing seen yet keeps the header as it is.
  if (!fresh_ || mediaFlags == 0 || mediaFlags == headerFlags_) return true;
  const int64_t here = ftello(file);
  const bool ok = here >= 0 && fseeko(file, 4, SEEK_SET) == 0 && WriteAll(&mediaFlags, 1) &&
                  fseeko(file, here, SEEK_SET) == 0;
  if (ok) headerFlags_ = mediaFlags;
  return ok;
}

double CRTMPDownload::MetadataSeconds(double seconds) {
  // Up to what the buffer time (milliseconds plus 5 s) holds in 32 bits.
  constexpr double kMax = (INT32_MAX - 5000) / 1000;
  if (!(seconds > 0)) return 0;
  return seconds < kMax ? seconds : kMax;
}

int64_t CRTMPDownload::MetadataBytes(double bytes) {
  if (!(bytes > 0)) return 0;
  return bytes < double(kMaxByteCount) ? int64_t(bytes) : kMaxByteCount;
}

void CRTMPDownload::ProgressUpdate(bool tunnelled) {
  UpdateCounters(tunnelled);
  if (result != ATTEMPT_ABORTED && worker->CheckAbort()) result = ATTEMPT_ABORTED;
}

void CRTMPDownload::UpdateCounters(bool tunnelled) {
  const uint32_t now = platform::TickCountMs();
  const uint32_t since = now - lastUpdateTick_;
  if (since > 0) worker->SetSpeed((byteCount_ - lastUpdateBytes_) * 1000 / since);
  const int64_t total = worker->TotalSize();
  worker->SetDownloaded(total > 0 ? int64_t(double(total) * percent / 100) : byteCount_);
  const int32_t elapsed = int32_t((now - worker->StartTick()) / 1000);
  worker->SetElapsed(elapsed);
  if (total == 0) {
    char text[32];
    std::snprintf(text, sizeof text, "%4.2f", percent);
    const double left = percent > 0 ? elapsed * (100 - percent) / percent : 0;
    // A tiny percent early on gives more seconds than 32 bits hold.
    worker->PublishStreamProgress(tunnelled, text,
                                  left < double(INT32_MAX) ? int32_t(left) : INT32_MAX);
  }
  lastUpdateTick_ = now;
  lastUpdateBytes_ = byteCount_;
}

void CRTMPDownload::Cleanup(bool tunnelled) {
  if (file) {
    fclose(file);
    file = nullptr;
  }
  // A last update, whose abort check only matters when the loop would go on:
  // an outcome already reported must not get a second one.
  if (progressStarted_ &&
      uint32_t(platform::TickCountMs() - lastUpdateTick_) > kProgressIntervalMs) {
    const int32_t before = result;
    ProgressUpdate(tunnelled);
    if (before != ATTEMPT_FILE_UNUSABLE && before != ATTEMPT_BROKEN) result = before;
  }
  Publish(nullptr);
}

bool CRTMPDownload::ConnectRtmp(CRTMP& rtmp, double seek, bool firstAttempt) {
  // A stop that came before the connection was published has closed nothing.
  if (worker->CheckAbort()) {
    result = ATTEMPT_ABORTED;
    return false;
  }
  if (rtmp.Connect(protocol, hostName.c_str(), port, playpath, tcUrl ? tcUrl->c_str() : nullptr,
                   nullptr, nullptr, app, nullptr, flashVer, nullptr, seek, 0, false,
                   receiveTimeoutMs))
    return true;
  if (worker->CheckAbort()) {
    result = ATTEMPT_ABORTED;
  } else {
    worker->Report(TE_CONNECT_FAILED, 0, 3,
                   firstAttempt ? "Failed to connect to the server." : "Connection broken.");
    result = ATTEMPT_FAILED;
  }
  return false;
}

// Also the tunnelled attempt (RunTunnelled): `tunnelled` picks its protocol,
// default port, connection class and counters.
int CRTMPDownload::Run(bool firstAttempt) {
  if (!ReportStart()) return result;
  protocol = tunnelled ? RTMP_PROTOCOL_RTMPT : RTMP_PROTOCOL_RTMP;
  flashVer = kRecorderFlashVer;
  SplitHostPort(host, tunnelled ? kRtmptRecorderPort : kRtmpRecorderPort, hostName, port);
  if (app && *app) tcUrl = BuildTcUrl(RtmpProtocol(protocol), hostName, port, app);

  // Without the buffer or the connection object nothing is touched: the
  // file stays as it is for a later try.
  std::unique_ptr<CRTMP> rtmp;
  if (AllocateOutputBuffer()) rtmp.reset(MakeClient());
  if (!rtmp) {
    worker->Report(TE_SOCKET_FAILED, 0, 3, "Failed to initialize socket.");
    buffer.reset();
    return result = ATTEMPT_FAILED;
  }
  auto source = std::make_unique<MediaSourceOf<CRTMP>>(*rtmp);
  Publish(source.get());
  rtmp->SetBufferMS(bufferTime);

  if (OpenTemporaryFile(*source)) {
    if (firstAttempt) {
      char line[320];
      std::snprintf(line, sizeof line, "Connecting %.255s:%d...", hostName.c_str(), port);
      worker->AddLog(0, 0, line);
    }
    if (ConnectRtmp(*rtmp, resume ? double(resumeTimestamp) : 0, firstAttempt) &&
        AfterConnect(firstAttempt) && Record(*source, tunnelled)) {
      // The server keeps the file's timeline and started after the keyframe
      // asked for: ask once more from the keyframe before it, on a new
      // connection (a used one still expects answers to its earlier calls).
      Publish(nullptr);
      rtmp->Close();
      rtmp.reset(MakeClient());
      if (!rtmp) {
        worker->Report(TE_SOCKET_FAILED, 0, 3, "Failed to initialize socket.");
        result = ATTEMPT_FAILED;
      } else {
        source = std::make_unique<MediaSourceOf<CRTMP>>(*rtmp);
        Publish(source.get());
        rtmp->SetBufferMS(bufferTime);
        absoluteTimeline = true;
        if (ConnectRtmp(*rtmp, double(previousKeyframeTimestamp), false) &&
            Record(*source, tunnelled)) {
          worker->Report(TE_RECV_ERROR, 0, 0, "Error occurred.");
          result = ATTEMPT_FAILED;
        }
      }
    }
  }
  Cleanup(tunnelled);
  if (rtmp) rtmp->Close();
  source.reset();
  rtmp.reset();
  buffer.reset();
  tcUrl.reset();
  return result;
}
