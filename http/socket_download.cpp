#include "http/socket_download.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/byte_count.h"
#include "core/stream_attempt.h"
#include "core/stream_retry_loop.h"
#include "http/chunked_decoder.h"
#include "http/log_lock.h"
#include "http/response_fields.h"
#include "http/task_events.h"
#include "http/url_split.h"
#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/tick_count.h"

namespace {

uint32_t TickMs() { return platform::TickCountMs(); }

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string Trimmed(const std::string& text) {
  const char* blanks = " \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

}  // namespace

SocketDownLoad::SocketDownLoad() = default;

SocketDownLoad::~SocketDownLoad() {
  // The thread must be gone before its object is: it uses every field here.
  if (thread.joinable()) {
    if (thread.get_id() == std::this_thread::get_id())
      thread.detach();
    else
      thread.join();
  }
  connection_.Close();
  file_.Close();
}

void SocketDownLoad::Attach(TaskEventSink* view) {
  cancelFlag = 0;
  deleteFlag = 0;
  timeoutFlag = 0;
  totalSize = 0;
  taskIndex = -1;
  elapsed = 0;
  downloaded = 0;
  watchdogMark = -2;
  startTick = 0;
  speed = 0;
  certificateRejected = 0;
  view_ = view;
}

void SocketDownLoad::Setup(const TaskRequest& request, int32_t index, int64_t fileBytes) {
  totalSize = fileBytes;
  URL = request.URL;
  tempPath = request.SaveDir + request.TempFile;
  RTMPHost = request.RTMPHost;
  RTMPPlayPath = request.RTMPPlayPath;
  RTMPApp = request.RTMPApp;
  RTMPTHost = request.RTMPTHost;
  RTMPTPlayPath = request.RTMPTPlayPath;
  RTMPTApp = request.RTMPTApp;
  userAgent = request.UserAgent;
  referer = request.Referer;
  cookie = request.Cookie;
  taskIndex = index;
  cancelFlag = 0;
  deleteFlag = 0;
}

int SocketDownLoad::Run() {
  if (RTMPHost.empty() && RTMPTHost.empty())
    RunHttp();
  else
    RunStream(RTMPHost.empty());
  return 0;
}

void SocketDownLoad::RunStream(bool tunnelled) {
  StreamRecorder* recorder = GetStreamRecorder();
  if (!recorder) {
    // No RTMP engine in this program: the task fails as a connection would.
    startTick = TickMs();
    Report(TE_CONNECT_FAILED, 0, 3, "Failed to connect to the server.");
    return;
  }
  StreamTaskTexts texts;
  texts.host = tunnelled ? RTMPTHost : RTMPHost;
  texts.playPath = tunnelled ? RTMPTPlayPath : RTMPPlayPath;
  texts.app = tunnelled ? RTMPTApp : RTMPApp;
  texts.tempPath = tempPath;
  RunStreamRetryLoop(*recorder, tunnelled, texts, *this);
}

void SocketDownLoad::PublishStreamClient(StreamConnection* client) {
  std::lock_guard<std::mutex> lock(clientLock_);
  streamClient_ = client;
}

void SocketDownLoad::CloseStreamClient() {
  // Under the lock the attempt cannot clear and destroy the client meanwhile.
  std::lock_guard<std::mutex> lock(clientLock_);
  if (streamClient_) streamClient_->Close();
}

void SocketDownLoad::PublishStreamProgress(bool tunnelled, const std::string& text,
                                           int32_t secondsLeft) {
  if (tunnelled) {
    tunnelTimeLeft = secondsLeft;
    SetTunnelProgress(text);
  } else {
    streamTimeLeft = secondsLeft;
    SetStreamProgress(text);
  }
}

void SocketDownLoad::Stop() {
  cancelFlag = 1;
  BreakConnection();
}

void SocketDownLoad::Delete() {
  deleteFlag = 1;
  BreakConnection();
}

void SocketDownLoad::TimeOut() {
  timeoutFlag = 1;
  BreakConnection();
}

void SocketDownLoad::BreakConnection() {
  // Shutting the socket down wakes the worker's wait; the worker releases
  // the descriptor itself, so it can never be reused under its feet.
  if (IsStreamTask())
    CloseStreamClient();
  else
    connection_.Abort();
}

void SocketDownLoad::PostEvent(int32_t code) {
  if (view_) view_->PostTaskEvent(code, taskIndex);
}

void SocketDownLoad::AddLog(int32_t kind, int32_t icon, const std::string& text) {
  if (text.empty()) return;
  LogEntry e;
  e.kind = kind;
  e.icon = icon;
  e.text = text;
  e.time = platform::NowText();
  e.TaskIndex = taskIndex;
  {
    std::lock_guard<std::mutex> lock(LogLock);
    pendingLog_.push_back(std::move(e));
  }
  PostEvent(TE_LOG);
}

std::vector<LogEntry> SocketDownLoad::TakePendingLog() {
  std::lock_guard<std::mutex> lock(LogLock);
  std::vector<LogEntry> out;
  out.swap(pendingLog_);
  return out;
}

void SocketDownLoad::SetStreamProgress(const std::string& text) {
  std::lock_guard<std::mutex> lock(LogLock);
  streamProgress_ = text;
}

std::string SocketDownLoad::StreamProgress() const {
  std::lock_guard<std::mutex> lock(LogLock);
  return streamProgress_;
}

void SocketDownLoad::SetTunnelProgress(const std::string& text) {
  std::lock_guard<std::mutex> lock(LogLock);
  tunnelProgress_ = text;
}

std::string SocketDownLoad::TunnelProgress() const {
  std::lock_guard<std::mutex> lock(LogLock);
  return tunnelProgress_;
}

void SocketDownLoad::CloseFile() {
  // What could not be written out is simply not in the file; the next
  // attempt resumes from the size the file really has.
  if (file_.IsOpen()) file_.Close();
}

void SocketDownLoad::PostAbort() {
  int32_t code;
  const char* text;
  if (timeoutFlag) {
    code = TE_TIMEOUT;
    text = "Connection timeout.";
  } else if (deleteFlag) {
    code = TE_DELETED;
    text = "User deleted the downloading.";
  } else {
    code = TE_CANCELED;
    text = "User canceled the downloading.";
  }
  AddLog(0, 3, text);
  PostEvent(code);
}

bool SocketDownLoad::CheckAbort() {
  if (!cancelFlag && !deleteFlag && !timeoutFlag) return false;
  CloseFile();
  if (IsStreamTask())
    CloseStreamClient();
  else
    connection_.Close();
  PostAbort();
  return true;
}

bool SocketDownLoad::Report(int32_t code, int32_t kind, int32_t icon, const std::string& text) {
  if (cancelFlag || deleteFlag || timeoutFlag) {
    if (!IsStreamTask()) {
      CloseFile();
      connection_.Close();
    }
    PostAbort();
    return false;
  }
  if (!text.empty()) AddLog(kind, icon, Trimmed(text));
  PostEvent(code);
  return true;
}

void SocketDownLoad::RestartFromBeginning() {
  if (downloaded > 0) {
    AddLog(0, 3, "Server does not support resuming. Restart from the beginning.");
    platform::DeleteFile(tempPath);
    std::this_thread::sleep_for(std::chrono::milliseconds(kRestartPauseMs));
  }
}

bool SocketDownLoad::RangeAnswerFits(int64_t contentLength) {
  const int64_t start = downloaded;
  if (connection_.Status() != 206) return start == 0;  // a resume needs a 206
  // A 206 must carry exactly the rest of the file from where the file ends.
  // The field is looked for in the whole header: long cookies or security
  // fields can push it past the part that is kept.
  std::string value;
  ContentRange range;
  if (!connection_.FindFullHeaderField("Content-Range", &value) || value.size() > 100 ||
      !ParseContentRange(value.c_str(), &range))
    return false;
  if (range.first != start || range.last - range.first + 1 != contentLength) return false;
  return range.complete == -1 || range.complete == range.last + 1;
}

void SocketDownLoad::RunHttp() {
  // 1. What is already on disk is kept.
  int64_t existing = 0;
  TempFile::Probe probe = TempFile::Examine(tempPath, &existing);
  if (probe == TempFile::Probe::Unusable || existing > kMaxByteCount) {
    // A temporary file we cannot read cannot be resumed, nor safely replaced.
    Report(TE_CREATE_FAILED, 0, 3, "Failed to create temporary file.");
    return;
  }
  downloaded = existing;

  // 2.
  if (!Report(TE_RESOLVING, 0, 3, "")) return;

  // 3.
  UrlParts parts;
  if (!SplitUrl(URL, &parts)) {
    // Only an address without a scheme gets one: "http://" in front of a
    // malformed "http://..." would make its scheme the server's name.
    if (URL.find("://") == std::string::npos) URL.insert(0, "http://");
    if (!SplitUrl(URL, &parts)) {
      Report(TE_URL_INVALID, 0, 3, "The URL address is invalid.");
      return;
    }
  }
  // 5. There is no system cookie store: only the task's own cookie is sent.
  cookie = Trimmed(cookie);

  // The task keeps the address it was given; redirects only change where
  // this attempt (and so a resume) asks.
  for (int hops = 0;; ++hops) {
    server = parts.server;
    object = parts.object;
    const int port = parts.port;


    // 4.
    if (!server.empty()) {
      char text[300];
      std::snprintf(text, sizeof text, "Connecting %.256s:%d...", server.c_str(), port);
      AddLog(0, 0, text);
    }

    // 6.-9.
    if (CheckAbort()) return;
    if (!connection_.CreateSocket()) {
      Report(TE_SOCKET_FAILED, 0, 3, "Failed to initialize socket.");
      return;
    }
    if (!connection_.Connect(server.c_str(), port)) {
      connection_.Close();
      Report(TE_CONNECT_FAILED, 0, 3, "Failed to connect to the server.");
      return;
    }
    if (parts.service == "https") {
      std::string why;
      TlsSession::Result tls = connection_.StartTls(server.c_str(), &why);
      if (tls != TlsSession::Result::Ok) {
        if (CheckAbort()) return;
        // A certificate that fails now fails the same way on every retry.
        if (tls == TlsSession::Result::CertificateRejected) certificateRejected = 1;
        AddLog(0, 3, why);
        Report(TE_CONNECT_FAILED, 0, 3, "Failed to connect to the server.");
        return;
      }
    }
    if (!server.empty() && !Report(TE_CONNECTED, 0, 0, "Connected.")) return;
    if (CheckAbort()) return;

    // 10.
    connection_.BuildRequest(server.c_str(), object.c_str(), referer.c_str(), userAgent.c_str(),
                             cookie.c_str(), downloaded, 0, nullptr);
    for (int failures = 0; !SendRequest();) {
      if (++failures >= kSendAttempts) {
        connection_.Close();
        Report(TE_SEND_FAILED, 1, 1, "Failed to send downloading request.");
        return;
      }
    }
    AddLog(1, 1, connection_.RequestText());
    if (CheckAbort()) return;

    // 11.
    char line[257];
    bool anyLine = false;
    for (int n; (n = connection_.ReadLine(line, 256)) != -1;) {
      line[n] = '\0';
      anyLine = true;
      AddLog(2, 2, line);
    }
    // A header cut off before its blank line leaves the body's start unknown:
    // as good as no answer, and nothing on disk is given up for it.
    if (!anyLine || !connection_.HeaderComplete()) {
      connection_.Close();
      Report(TE_NO_RESPONSE, 2, 2, "Error occured.");
      return;
    }
    if (CheckAbort()) return;

    // Redirects are followed from the answer's header only; its body is not read.
    if (!IsRedirect(connection_.Status())) break;
    std::string location;
    if (!connection_.FindFullHeaderField("Location", &location) || Trimmed(location).empty()) break;
    connection_.Close();
    if (hops >= kMaxRedirects) {
      Report(TE_BAD_RESPONSE, 0, 3, "Too many redirects.");
      return;
    }
    const std::string next = ResolveLocation(parts, Trimmed(location));
    UrlParts nextParts;
    if (!SplitUrl(next, &nextParts) || (nextParts.service != "http" && nextParts.service != "https")) {
      Report(TE_BAD_RESPONSE, 0, 3, "The server redirected to an invalid address.");
      return;
    }
    if (parts.service == "https" && nextParts.service == "http") {
      Report(TE_BAD_RESPONSE, 0, 3, "Refused to follow a redirect from a secure address to an insecure one.");
      return;
    }
    AddLog(0, 3, "Redirected to " + next.substr(0, 1024));
    parts = nextParts;
  }

  // 12.
  const int status = connection_.Status();
  if (status < 200 || status > 206) {
    connection_.Close();
    RestartFromBeginning();
    Report(TE_BAD_RESPONSE, 0, 3, "");
    return;
  }

  // 13.
  if (CheckAbort()) return;
  char value[31];
  int64_t contentLength = 0;
  const BodyFraming framing = Framing(status);
  if (framing == BodyFraming::Length) {
    if (!connection_.FindField("Content-Length", value, 30) || !ParseContentLength(value, &contentLength) ||
        contentLength <= 0 || contentLength > kMaxByteCount - downloaded) {
      connection_.Close();
      Report(TE_NO_SIZE, 3, 1, "Failed to get file size.");
      return;
    }
    // A resumed answer that does not continue exactly where the file ends
    // would corrupt it: start over as for a server that cannot resume.
    if (!RangeAnswerFits(contentLength)) {
      connection_.Close();
      RestartFromBeginning();
      Report(TE_BAD_RESPONSE, 0, 3, "");
      return;
    }

    // 14.
    const int64_t newTotal = contentLength + downloaded;
    if (totalSize != 0 && totalSize != newTotal) {
      RestartFromBeginning();
      Report(TE_BAD_RESPONSE, 0, 3, "");
      return;
    }
    totalSize = newTotal;
  } else {
    // The whole body comes again from its start: what is on disk cannot be
    // continued, and the size stays unknown until the body ends.
    if (downloaded > 0) {
      AddLog(0, 3, "The file size is unknown, so the download cannot resume. Restart from the beginning.");
      if (!platform::DeleteFile(tempPath) && platform::FileExists(tempPath)) {
        connection_.Close();
        Report(TE_CREATE_FAILED, 0, 3, "Failed to create temporary file.");
        return;
      }
      downloaded = 0;
    }
    totalSize = 0;
  }

  // 15.
  if (!Report(TE_SIZE_KNOWN, 0, 3, "")) return;
  if (CheckAbort()) return;

  // 16.
  int64_t end = 0;
  if (!file_.Open(tempPath, &end) || end != downloaded) {
    // A file that changed size since step 1 cannot take the answer either.
    file_.Close();
    connection_.Close();
    Report(TE_CREATE_FAILED, 0, 3, "Failed to create temporary file.");
    return;
  }

  // 17.
  if (!Report(TE_FILE_CREATED, 3, 1, "Create temporary file successfully.")) return;
  if (CheckAbort()) return;
  if (!Report(TE_RECEIVING, 0, 0, "Start receiving data ...")) return;

  // 18.
  ReceiveBody(framing);
}

SocketDownLoad::BodyFraming SocketDownLoad::Framing(int status) {
  // Only a whole file may come without its length: a part must say which.
  if (status != 200) return BodyFraming::Length;
  std::string encoding;
  if (connection_.FindFullHeaderField("Transfer-Encoding", &encoding) &&
      Trimmed(encoding).find("chunked") != std::string::npos)
    return BodyFraming::Chunked;
  std::string length;
  return connection_.FindFullHeaderField("Content-Length", &length) ? BodyFraming::Length
                                                                    : BodyFraming::UntilClose;
}

bool SocketDownLoad::FailBody(int32_t code, const char* text) {
  CloseFile();
  connection_.Close();
  Report(code, 0, 0, text);
  return false;
}

void SocketDownLoad::ReceiveBody(BodyFraming framing) {
  char buffer[kChunk];
  const uint32_t start = TickMs();
  startTick = start;
  uint32_t lastTick = start;
  int64_t count = downloaded;
  int64_t lastCount = count;
  const int64_t total = totalSize;  // 0 while the size is unknown
  const bool sized = framing == BodyFraming::Length;
  ChunkedDecoder chunks;
  int empty = 0;
  for (;;) {
    const bool ended = sized ? count >= total
                             : framing == BodyFraming::Chunked ? chunks.Done() : connection_.PeerClosed();
    if (ended) {
      bool written = file_.Close();
      connection_.Close();
      if (!written) {
        Report(TE_WRITE_FAILED, 0, 0, "Failed to write file data.");
        return;
      }
      totalSize = count;
      downloaded = count;
      Report(TE_COMPLETED, 3, 1, "Download Completed.");
      return;
    }
    // Never more than the announced rest: bytes past it do not belong to the file.
    int n = ReceiveChunk(buffer, sized ? static_cast<int>(std::min<int64_t>(kChunk, total - count)) : kChunk);
    if (CheckAbort()) return;
    if (n == 0) {
      // The server's close ends a body sent until then; for any other it is a cut.
      if (framing == BodyFraming::UntilClose && connection_.PeerClosed()) continue;
      if (++empty <= kEmptyReceives) continue;
      FailBody(TE_RECV_FAILED, "Failed to receive data.");
      return;
    }
    if (CheckAbort()) return;
    if (n < 0) {
      FailBody(TE_RECV_ERROR, "Error occurred.");
      return;
    }
    if (framing == BodyFraming::Chunked) {
      const int64_t decoded = chunks.Feed(buffer, static_cast<size_t>(n), buffer);
      if (decoded < 0) {
        FailBody(TE_RECV_ERROR, "Error occurred.");
        return;
      }
      n = static_cast<int>(decoded);
    }
    if (CheckAbort()) return;
    if (n > 0 && !file_.Write(buffer, static_cast<size_t>(n))) {
      FailBody(TE_WRITE_FAILED, "Failed to write file data.");
      return;
    }
    if (CheckAbort()) return;
    if (n > kMaxByteCount - count) {
      FailBody(TE_WRITE_FAILED, "Failed to write file data.");
      return;
    }
    count += n;
    downloaded = count;
    const uint32_t now = TickMs();
    elapsed = static_cast<int32_t>((now - start) / 1000);
    if (now - lastTick > 1000) {
      speed = static_cast<int64_t>(static_cast<double>(count - lastCount) * 1000.0 / (now - lastTick));
      lastCount = count;
      lastTick = now;
      // At most a second of data waits in memory should the process die.
      if (!file_.Flush()) {
        FailBody(TE_WRITE_FAILED, "Failed to write file data.");
        return;
      }
    }
    if (CheckAbort()) return;
  }
}
