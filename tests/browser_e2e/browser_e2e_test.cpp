// The browser extension end to end: headless Chromium and Firefox ESR with
// the built extension, its native host, and Tamborel running under Xvfb,
// against pages served by nginx on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/capture/monitor_map.h"
#include "platform/shared_memory.h"
#include "tests/capture/running_tamborel.h"
#include "tests/support/capture_popup.h"
#include "tests/support/child_process.h"
#include "tests/support/nginx_peer.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"
#include "tests/support/wait_until.h"
#include "tests/support/x_display.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadWholeFile;
using testsupport::WaitUntil;
using testsupport::XDisplay;

constexpr const char* kHostName = "com.quorlin.tamborel";
constexpr const char* kChromiumExtensionId = "nojkknhipmmegnomkhkpkanflhjipdfj";
constexpr const char* kFirefoxExtensionId = "tamborel@quorlin.com";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Bytes(size_t size, int seed) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * (131 + seed) + i / 977 + seed);
  return data;
}

// One request as nginx's "combined" access log line shows it.
struct Served {
  std::string method, path, referer, userAgent;
  int status = 0;
};

std::vector<Served> ReadAccessLog(const std::string& file) {
  static const std::regex line(R"re(^\S+ \S+ \S+ \[[^\]]*\] "(\S+) (\S+) [^"]*" (\d+) \S+ "([^"]*)" "([^"]*)")re");
  std::vector<Served> out;
  for (const std::string& l : Lines(ReadWholeFile(file))) {
    std::smatch m;
    if (std::regex_search(l, m, line)) out.push_back({m[1], m[2], m[4], m[5], std::stoi(m[3])});
  }
  return out;
}

// The pages. Every test page is opened in a tab of its own.
const std::map<std::string, std::string> kPages = {
    // The server gives this video only to a visitor with the page's cookie.
    {"video.html",
     "<!doctype html><title>video</title><script>document.cookie = 'visit=42; path=/';"
     "document.write('<video src=\"/media/clip.mp4\" muted autoplay></video>');</script>"},
    {"untyped.html", "<!doctype html><title>untyped</title><video src=\"/media/movie\" muted autoplay></video>"},
    {"link.html",
     "<!doctype html><title>link</title><a id=\"flv\" href=\"/media/clip.flv\">the clip</a>"
     "<script>addEventListener('load', () => document.getElementById('flv').click());</script>"},
    // A player fetching one video in 20 pieces, all at once.
    {"ranges.html",
     "<!doctype html><title>ranges</title><script>"
     "const parts = [];"
     "for (let i = 0; i < 20; i++) parts.push(fetch('/media/ranges.mp4', {cache: 'no-store',"
     "  headers: {Range: `bytes=${i * 4096}-${i * 4096 + 4095}`}}).then(r => r.arrayBuffer()));"
     "Promise.all(parts).then(() => fetch('/ranges-done'));"
     "</script>"},
    {"swf.html", "<!doctype html><title>swf</title><script>fetch('/media/movie.swf')</script>"},
    {"later.html", "<!doctype html><title>later</title><video src=\"/media/later.mp4\" muted autoplay></video>"},
    // Firefox's start page: it opens what the test writes into /control/open ("N address").
    {"driver.html",
     "<!doctype html><title>driver</title><script>"
     "let opened = 0;"
     "setInterval(async () => {"
     "  try {"
     "    const r = await fetch('/control/open', {cache: 'no-store'});"
     "    if (!r.ok) return;"
     "    const [n, url] = (await r.text()).trim().split(' ');"
     "    if (Number(n) > opened) { opened = Number(n); window.open(url); }"
     "  } catch (e) {}"
     "}, 200);"
     "</script>"},
};

enum class Kind { Chromium, Firefox };

// The browser with the extension from the build, headless, its native host
// logging to hostLog.
class Browser {
 public:
  Browser(Kind kind, const testsupport::Sandbox& home, std::string hostLog)
      : kind_(kind), home_(home), hostLog_(std::move(hostLog)) {}

  static bool Installed(Kind kind) {
    return testsupport::HaveProgram(kind == Kind::Chromium ? "chromium" : "firefox-esr") &&
           (kind == Kind::Firefox || testsupport::HaveProgram("curl"));
  }

  // The folder where the browser looks for native messaging hosts.
  std::string HostManifestDir() const {
    return kind_ == Kind::Chromium ? ChromiumProfile() + "NativeMessagingHosts/"
                                   : home_.path(".mozilla/native-messaging-hosts/");
  }

  // Registers the host program under the host name, for this browser.
  void RegisterHost(const std::string& program) const {
    fs::create_directories(HostManifestDir());
    const std::string allowed = kind_ == Kind::Chromium
                                    ? "\"allowed_origins\": [\"chrome-extension://" + std::string(kChromiumExtensionId) + "/\"]"
                                    : "\"allowed_extensions\": [\"" + std::string(kFirefoxExtensionId) + "\"]";
    testsupport::WriteWholeFile(HostManifestDir() + kHostName + ".json",
                                "{\"name\": \"" + std::string(kHostName) + "\", \"description\": \"Tamborel\", "
                                "\"path\": \"" + program + "\", \"type\": \"stdio\", " + allowed + "}\n");
  }

  // Starts it and waits until the extension has said hello to its host.
  bool Start(const std::string& server) {
    if (kind_ == Kind::Chromium) {
      const std::string extension = std::string(TAMBOREL_BINARY_DIR) + "/bin/browser/chromium";
      fs::create_directories(ChromiumProfile());
      // Everything but 127.0.0.1 goes to a closed port, and the browser's
      // own services stay off: the test talks to nobody else.
      if (!process_.Start({"chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                           "--no-first-run", "--disable-background-networking", "--disable-component-update",
                           "--disable-sync", "--disable-default-apps", "--proxy-server=http://127.0.0.1:9",
                           "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
                           "--user-data-dir=" + ChromiumProfile(), "--load-extension=" + extension,
                           "--disable-extensions-except=" + extension, "--remote-debugging-port=0", "about:blank"},
                          home_.path("chromium.log")))
        return false;
    } else {
      const std::string profile = home_.path("firefox-profile/");
      fs::create_directories(profile + "extensions");
      fs::copy_file(std::string(TAMBOREL_BINARY_DIR) + "/bin/browser/firefox.xpi",
                    profile + "extensions/" + kFirefoxExtensionId + ".xpi", fs::copy_options::overwrite_existing);
      testsupport::WriteWholeFile(profile + "user.js", FirefoxPrefs());
      if (!process_.Start({"firefox-esr", "--headless", "--no-remote", "--profile", profile, server + "/driver.html"},
                          home_.path("firefox.log")))
        return false;
    }
    // The extension starts after the browser; pages opened before that
    // would go unseen.
    return WaitUntil([&] { return !HelloLines().empty(); }, 90);
  }

  // Opens the address in a new tab.
  bool Open(const std::string& url) {
    if (kind_ == Kind::Firefox) {
      testsupport::WriteWholeFile(controlFile_ + ".tmp", std::to_string(++opened_) + " " + url + "\n");
      fs::rename(controlFile_ + ".tmp", controlFile_);
      return true;
    }
    const std::string port = Lines(ReadWholeFile(ChromiumProfile() + "DevToolsActivePort")).at(0);
    std::string out;
    return testsupport::RunCommand({"curl", "-s", "-X", "PUT", "http://127.0.0.1:" + port + "/json/new?" + url}, &out,
                                   30000) == 0 &&
           out.find("\"id\"") != std::string::npos;
  }

  void SetControlFile(const std::string& file) { controlFile_ = file; }

  std::vector<std::string> HelloLines() const {
    std::vector<std::string> out;
    for (const std::string& l : Lines(ReadWholeFile(hostLog_)))
      if (l.rfind("hello ", 0) == 0) out.push_back(l.substr(6));
    return out;
  }

  std::string Log() const { return ReadWholeFile(home_.path(kind_ == Kind::Chromium ? "chromium.log" : "firefox.log")); }

  void Stop() { process_.Stop(10000); }

 private:
  std::string ChromiumProfile() const { return home_.path(".config/chromium/"); }

  std::string FirefoxPrefs() const {
    std::string prefs;
    auto pref = [&](const std::string& name, const std::string& value) {
      prefs += "user_pref(\"" + name + "\", " + value + ");\n";
    };
    // An unsigned add-on from the profile, enabled without a question.
    pref("xpinstall.signatures.required", "false");
    pref("extensions.autoDisableScopes", "0");
    pref("extensions.enabledScopes", "15");
    // The driver page opens the test pages in tabs of their own.
    pref("dom.disable_open_during_load", "false");
    // Everything but 127.0.0.1 goes to a closed port; the browser's own
    // services stay off.
    pref("network.proxy.type", "1");
    for (const char* scheme : {"http", "ssl"}) {
      pref(std::string("network.proxy.") + scheme, "\"127.0.0.1\"");
      pref(std::string("network.proxy.") + scheme + "_port", "9");
    }
    pref("network.proxy.no_proxies_on", "\"127.0.0.1\"");
    pref("network.proxy.allow_hijacking_localhost", "false");
    for (const char* off : {"app.update.enabled", "browser.safebrowsing.malware.enabled",
                            "browser.safebrowsing.phishing.enabled", "browser.safebrowsing.downloads.enabled",
                            "datareporting.policy.dataSubmissionEnabled", "datareporting.healthreport.uploadEnabled",
                            "toolkit.telemetry.enabled", "extensions.update.enabled", "extensions.getAddons.cache.enabled",
                            "network.captive-portal-service.enabled", "network.connectivity-service.enabled",
                            "browser.region.update.enabled", "browser.shell.checkDefaultBrowser",
                            "browser.newtabpage.enabled", "network.prefetch-next", "browser.aboutwelcome.enabled"})
      pref(off, "false");
    pref("network.dns.disablePrefetch", "true");
    pref("browser.startup.homepage_override.mstone", "\"ignore\"");
    pref("browser.download.folderList", "2");
    pref("browser.download.dir", "\"" + home_.path("Downloads") + "\"");
    return prefs;
  }

  Kind kind_;
  const testsupport::Sandbox& home_;
  std::string hostLog_;
  std::string controlFile_;
  int opened_ = 0;
  testsupport::ChildProcess process_;
};

class BrowserEndToEnd : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    if (!testsupport::XDisplay::Available() || !testsupport::NginxPeer::Available())
      GTEST_SKIP() << "needs Xvfb, xdotool and nginx";
    if (!Browser::Installed(GetParam())) GTEST_SKIP() << "the browser is not installed";
    platform::SharedMemory::Unlink(capture::kMonitorMapName);
    saveDir = home.path("videos/");
    fs::create_directories(saveDir);
    fs::create_directories(home.path(".config/Quorlin"));
    fs::create_directories(home.path("runtime"));
    fs::permissions(home.path("runtime"), fs::perms::owner_all, fs::perm_options::replace);
    ASSERT_TRUE(x.Start(1280, 1024, false));

    // The files the pages play, each with bytes of its own.
    int seed = 0;
    for (const char* name : {"clip.mp4", "movie", "clip.flv", "ranges.mp4", "movie.swf", "later.mp4"})
      media[name] = Bytes(name == std::string("ranges.mp4") ? 20 * 4096 : 150 * 1024, ++seed);
    fs::create_directories(web.path("media"));
    fs::create_directories(web.path("control"));
    for (const auto& [name, data] : media) web.WriteFile("media/" + name, data);
    for (const auto& [name, html] : kPages) web.WriteFile(name, html);
    accessLog = server.prefix() + "logs/access.log";
    ASSERT_TRUE(server.Start(web.dir(),
                             "    types { text/html html; video/mp4 mp4; video/x-flv flv;"
                             " application/x-shockwave-flash swf; }\n"
                             "    location = /media/movie { default_type video/mp4; }\n"
                             "    location = /media/clip.mp4 { if ($http_cookie !~ \"visit=42\") { return 403; } }\n"
                             "    add_header Cache-Control no-store;\n"
                             "    access_log " + accessLog + " combined;\n"));
    site = "http://127.0.0.1:" + std::to_string(server.port());
  }

  std::string BrowserName() const { return GetParam() == Kind::Chromium ? "chromium" : "firefox-esr"; }

  // Tasks start without the new-download dialog, no tutorial or sound in the
  // way, popups stay until a button closes them.
  void WriteSettings(const std::string& monitored, const std::string& unmonitored) {
    home.WriteFile(".config/Quorlin/Tamborel.conf",
                   "[GeneralOption]\nShowTaskWnd=0\nSavePath=" + saveDir +
                       "\n[GlobalStatus]\nShowTutorial=0\n[PromptOption]\nPlaySound=0\nClosePopWndWay=0\n[Browser]\nMonitor=" +
                       monitored + "\nUnMonitor=" + unmonitored + "\n");
  }

  bool StartTamborel() {
    if (!tamborel.Start({TAMBOREL_PROGRAM}, home.path("tamborel.log"))) return false;
    // A Tamborel already running for this user would take the captures.
    return WaitUntil(testsupport::TamborelMonitors, 60) && tamborel.Wait(0) == -1;
  }

  void StopTamborel() {
    tamborel.Stop(10000);
    tasks = ReadWholeFile(home.path(".local/share/Quorlin/Tamborel/Task.dat"));
  }

  // The host program the browser starts: the real one when it was built,
  // otherwise a stand-in that hands captures to tamborel-capture.
  std::string HostProgram() {
    if (std::string(TAMBOREL_BROWSER_HOST).size() > 0) return TAMBOREL_BROWSER_HOST;
    const std::string wrapper = home.path("stand-in-host");
    testsupport::WriteWholeFile(wrapper, "#!/bin/sh\nexec python3 '" + std::string(TAMBOREL_STAND_IN_HOST) + "' '" +
                                             std::string(TAMBOREL_CAPTURE) + "' \"$@\"\n");
    fs::permissions(wrapper, fs::perms::owner_all);
    return wrapper;
  }

  // The host's "capture <result> <address>" lines for an address.
  std::vector<std::string> CaptureResults(const std::string& url) const {
    std::vector<std::string> out;
    for (const std::string& l : Lines(ReadWholeFile(hostLog))) {
      std::istringstream in(l);
      std::string word, result, address;
      if (in >> word >> result >> address && word == "capture" && address == url) out.push_back(result);
    }
    return out;
  }

  // Captures Tamborel offered in a popup, each with its history record.
  int Offers() const {
    int n = 0;
    for (const std::string& l : Lines(ReadWholeFile(popupTrace))) n += l.rfind("offer ", 0) == 0;
    return n;
  }

  // Waits for the popup offering `url` and clicks its "Download".
  void Download(const std::string& type, const std::string& url) {
    const std::string popup = testsupport::GrownPopup(x, XDisplay::ExactTitle("(" + type + ") " + url));
    ASSERT_FALSE(popup.empty()) << testsupport::VisibleCaptions(x);
    ASSERT_TRUE(testsupport::ClickPopupButton(x, popup, testsupport::kPopupDownload));
    // It stays until a button closes it.
    EXPECT_TRUE(testsupport::PopupGone(x, popup));
  }

  // The saved file with exactly these bytes, or empty. Temporary files come
  // and go while it looks.
  std::string SavedCopyOf(const std::string& data) const {
    std::error_code error;
    for (const auto& e : fs::directory_iterator(saveDir, error)) {
      if (e.path().filename().string().find(".TMP!") != std::string::npos) continue;
      if (fs::file_size(e.path(), error) == data.size() && !error && ReadWholeFile(e.path()) == data)
        return e.path().filename();
    }
    return {};
  }

  std::vector<Served> Requests(const std::string& path) const {
    std::vector<Served> out;
    for (const Served& s : ReadAccessLog(accessLog))
      if (s.path == path) out.push_back(s);
    return out;
  }

  std::string Diagnostics(const Browser& browser) const {
    return "host log:\n" + ReadWholeFile(hostLog) + "\ntamborel log:\n" + ReadWholeFile(home.path("tamborel.log")) +
           "\nbrowser log (end):\n" + browser.Log().substr(browser.Log().size() > 3000 ? browser.Log().size() - 3000 : 0);
  }

  testsupport::Sandbox home, web;
  testsupport::ScopedEnv homeDir{"HOME", home.dir().c_str()};
  testsupport::ScopedEnv config{"XDG_CONFIG_HOME", home.path(".config").c_str()};
  testsupport::ScopedEnv data{"XDG_DATA_HOME", home.path(".local/share").c_str()};
  testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", home.path("runtime").c_str()};
  testsupport::ScopedEnv qpa{"QT_QPA_PLATFORM", "xcb"};
  std::string hostLog = home.path("host.log");
  testsupport::ScopedEnv hostLogEnv{"TAMBOREL_BROWSER_HOST_LOG", hostLog.c_str()};
  std::string popupTrace = home.path("popups.trace");
  testsupport::ScopedEnv popupTraceEnv{"TAMBOREL_POPUP_TRACE", popupTrace.c_str()};
  testsupport::XDisplay x;
  testsupport::NginxPeer server;
  std::string site, accessLog, saveDir, tasks;
  std::map<std::string, std::string> media;
  testsupport::ChildProcess tamborel;
};

TEST_P(BrowserEndToEnd, VideosAPageLoadsBecomeDownloadsWithTheBrowsersHeaders) {
  Browser browser(GetParam(), home, hostLog);
  browser.SetControlFile(web.path("control/open"));
  browser.RegisterHost(HostProgram());
  WriteSettings(BrowserName(), "");
  ASSERT_TRUE(StartTamborel()) << ReadWholeFile(home.path("tamborel.log"));
  ASSERT_TRUE(browser.Start(site)) << Diagnostics(browser);
  EXPECT_EQ(browser.HelloLines(), std::vector<std::string>{BrowserName()});

  // A video element, a video at an address without an extension, a link to
  // an FLV file the page follows, and a player that fetches its video in 20
  // pieces: each is captured once and downloaded with the browser's Referer,
  // User-Agent and cookies.
  struct Offered {
    const char* page;
    const char* file;
    const char* type;  // as the popup names it
  } offered[] = {{"video.html", "clip.mp4", "MP4"}, {"untyped.html", "movie", "MP4"},
                 {"link.html", "clip.flv", "FLV"}, {"ranges.html", "ranges.mp4", "MP4"}};
  for (const Offered& c : offered) {
    if (c.page == std::string("ranges.html")) continue;
    SCOPED_TRACE(c.page);
    const std::string url = site + "/media/" + c.file;
    ASSERT_TRUE(browser.Open(site + "/" + c.page));
    ASSERT_TRUE(WaitUntil([&] { return !CaptureResults(url).empty(); }, 60)) << Diagnostics(browser);
    EXPECT_EQ(CaptureResults(url), std::vector<std::string>{"sent"});
    Download(c.type, url);
    ASSERT_TRUE(WaitUntil([&] { return !SavedCopyOf(media[c.file]).empty(); }, 60)) << Diagnostics(browser);
  }

  // The player's 20 pieces, asked for at once: one capture.
  const std::string ranges = site + "/media/ranges.mp4";
  ASSERT_TRUE(browser.Open(site + "/ranges.html"));
  ASSERT_TRUE(WaitUntil([&] { return !Requests("/ranges-done").empty(); }, 60)) << Diagnostics(browser);
  // (The popup's preview asks for pieces of it too, under another name.)
  const std::string userAgent = Requests("/ranges.html").at(0).userAgent;
  size_t pieces = 0;
  for (const Served& s : Requests("/media/ranges.mp4")) pieces += s.status == 206 && s.userAgent == userAgent;
  EXPECT_EQ(pieces, 20u);
  ASSERT_TRUE(WaitUntil([&] { return !CaptureResults(ranges).empty(); }, 30)) << Diagnostics(browser);
  Download("MP4", ranges);
  ASSERT_TRUE(WaitUntil([&] { return !SavedCopyOf(media["ranges.mp4"]).empty(); }, 60)) << Diagnostics(browser);
  EXPECT_EQ(CaptureResults(ranges), std::vector<std::string>{"sent"});
  EXPECT_EQ(Offers(), 4) << ReadWholeFile(popupTrace);

  // A type that is not monitored (*.swf is off by default).
  const std::string swf = site + "/media/movie.swf";
  ASSERT_TRUE(browser.Open(site + "/swf.html"));
  ASSERT_TRUE(WaitUntil([&] { return !CaptureResults(swf).empty(); }, 60)) << Diagnostics(browser);
  EXPECT_EQ(CaptureResults(swf), std::vector<std::string>{"type-not-monitored"});

  StopTamborel();
  // Tamborel fetched each whole file once more with the headers the browser
  // sent for it; the saved task list keeps them.
  for (const Offered& c : offered) {
    SCOPED_TRACE(c.file);
    const std::vector<Served> served = Requests(std::string("/media/") + c.file);
    ASSERT_FALSE(served.empty());
    const Served& fromBrowser = served.front();
    EXPECT_EQ(fromBrowser.referer, site + "/" + c.page);
    EXPECT_NE(fromBrowser.userAgent.find(GetParam() == Kind::Chromium ? "Chrome/" : "Firefox/"), std::string::npos)
        << fromBrowser.userAgent;
    EXPECT_TRUE(std::any_of(served.begin() + 1, served.end(), [&](const Served& s) {
      return s.status == 200 && s.referer == fromBrowser.referer && s.userAgent == fromBrowser.userAgent;
    }));
    EXPECT_NE(tasks.find("<Referer>" + fromBrowser.referer + "</Referer>"), std::string::npos) << tasks;
    EXPECT_NE(tasks.find("<UserAgent>" + fromBrowser.userAgent + "</UserAgent>"), std::string::npos);
  }
  EXPECT_EQ(tasks.find("movie.swf"), std::string::npos);

  // The browser unchecked in the options, then monitoring switched off:
  // nothing reaches Tamborel.
  WriteSettings("opera.exe", BrowserName());
  ASSERT_TRUE(StartTamborel()) << ReadWholeFile(home.path("tamborel.log"));
  const std::string later = site + "/media/later.mp4";
  ASSERT_TRUE(browser.Open(site + "/later.html"));
  ASSERT_TRUE(WaitUntil([&] { return !CaptureResults(later).empty(); }, 60)) << Diagnostics(browser);
  EXPECT_EQ(CaptureResults(later), std::vector<std::string>{"browser-not-monitored"});

  ASSERT_TRUE(testsupport::SwitchMonitoringOffInWindow());
  ASSERT_TRUE(browser.Open(site + "/later.html?again"));
  ASSERT_TRUE(WaitUntil([&] { return CaptureResults(later).size() == 2; }, 60)) << Diagnostics(browser);
  EXPECT_EQ(CaptureResults(later), (std::vector<std::string>{"browser-not-monitored", "monitoring-off"}));
  StopTamborel();
  EXPECT_EQ(Offers(), 4) << ReadWholeFile(popupTrace);
  EXPECT_EQ(tasks.find("later.mp4"), std::string::npos) << tasks;
  EXPECT_TRUE(SavedCopyOf(media["later.mp4"]).empty());
  browser.Stop();
}

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserEndToEnd, ::testing::Values(Kind::Chromium, Kind::Firefox),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                           return info.param == Kind::Chromium ? "Chromium" : "Firefox";
                         });

}  // namespace
