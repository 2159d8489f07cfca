// Setting the browsers up: the host manifests, the extension in Firefox's
// default profiles, the browsers found on the system, and the set-up command
// run from a program folder of its own.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <string>
#include <vector>

#include "app/capture/browser/firefox_profile.h"
#include "app/capture/browser/host_registration.h"
#include "app/capture/browser/installed_browsers.h"
#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

namespace fs = std::filesystem;

// Writes a file of the sandbox, making its folders.
void Put(const testsupport::Sandbox& box, const std::string& name, const std::string& content) {
  fs::create_directories(fs::path(box.path(name)).parent_path());
  box.WriteFile(name, content);
}

QJsonObject ReadJson(const std::string& path) {
  return QJsonDocument::fromJson(QByteArray::fromStdString(testsupport::ReadWholeFile(path))).object();
}

TEST(HostRegistration, EachBrowserFamilyGetsAManifestNamingTheHostAndTheExtension) {
  testsupport::Sandbox box;
  const std::string host = "/opt/Tamborel \"1\"/tamborel-browser-host";  // a path JSON must escape
  std::string failed;
  ASSERT_TRUE(browserhost::RegisterNativeHost(host, box.path("home/"), box.path("config/"), &failed)) << failed;

  const QJsonObject chromium = ReadJson(box.path("config/chromium/NativeMessagingHosts/com.quorlin.tamborel.json"));
  const QJsonObject firefox = ReadJson(box.path("home/.mozilla/native-messaging-hosts/com.quorlin.tamborel.json"));
  for (const QJsonObject& o : {chromium, firefox}) {
    EXPECT_EQ(o.value("name").toString(), "com.quorlin.tamborel");
    EXPECT_EQ(o.value("path").toString().toStdString(), host);
    EXPECT_EQ(o.value("type").toString(), "stdio");
  }
  EXPECT_EQ(chromium.value("allowed_origins").toArray(),
            QJsonArray{"chrome-extension://nojkknhipmmegnomkhkpkanflhjipdfj/"});
  EXPECT_EQ(firefox.value("allowed_extensions").toArray(), QJsonArray{"tamborel@quorlin.com"});
  EXPECT_FALSE(fs::exists(box.path("config/google-chrome")));  // not made up for a browser that is not there

  // The program moved: the manifests follow; Chrome, now used, gets one too.
  fs::create_directories(box.path("config/google-chrome"));
  ASSERT_TRUE(browserhost::RegisterNativeHost("/usr/lib/tamborel/tamborel-browser-host", box.path("home/"),
                                              box.path("config/")));
  for (const char* path : {"config/chromium/NativeMessagingHosts/com.quorlin.tamborel.json",
                           "config/google-chrome/NativeMessagingHosts/com.quorlin.tamborel.json",
                           "home/.mozilla/native-messaging-hosts/com.quorlin.tamborel.json"})
    EXPECT_EQ(ReadJson(box.path(path)).value("path").toString(), "/usr/lib/tamborel/tamborel-browser-host") << path;

  // A place that cannot be written is reported.
  testsupport::Sandbox other;
  Put(other, "home/.mozilla", "a file where a folder belongs");
  EXPECT_FALSE(browserhost::RegisterNativeHost(host, other.path("home/"), other.path("config/"), &failed));
  EXPECT_EQ(failed, other.path("home/.mozilla/native-messaging-hosts/com.quorlin.tamborel.json"));
}

TEST(FirefoxProfiles, TheDefaultsAreFoundInProfilesIni) {
  const struct {
    const char* name;
    std::string ini;
    std::vector<std::string> profiles;  // relative to the Firefox folder unless absolute
  } cases[] = {
      {"the installation's default wins over Default=1",
       "[Install4F96D1932A9F858E]\nDefault=abc.default-esr\nLocked=1\n\n"
       "[Profile1]\nName=default\nIsRelative=1\nPath=old.default\nDefault=1\n\n"
       "[Profile0]\nName=default-esr\nIsRelative=1\nPath=abc.default-esr\n\n[General]\nVersion=2\n",
       {"abc.default-esr"}},
      {"two installations, two profiles",
       "[InstallAAAA]\nDefault=a.default-esr\n[InstallBBBB]\nDefault=/srv/ff/b.default\n",
       {"a.default-esr", "/srv/ff/b.default"}},
      {"Default=1 without installations",
       "[Profile0]\nName=x\nIsRelative=1\nPath=x.one\n\n[Profile1]\nName=y\nIsRelative=0\nPath=/p/y.two\nDefault=1\n",
       {"/p/y.two"}},
      {"no default: the first profile", "[General]\nStartWithLastProfile=1\n\n[Profile0]\r\nPath=only.one\r\n",
       {"only.one"}},
      {"no profile", "[General]\nStartWithLastProfile=1\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::Sandbox box;
    Put(box, "profiles.ini", c.ini);
    std::vector<std::string> expected;
    for (const std::string& p : c.profiles) expected.push_back(p[0] == '/' ? p : box.path(p));
    EXPECT_EQ(browserhost::DefaultFirefoxProfiles(box.dir()), expected);
  }
  testsupport::Sandbox none;
  EXPECT_TRUE(browserhost::DefaultFirefoxProfiles(none.dir()).empty());
}

TEST(FirefoxProfiles, TheExtensionAndItsPrefsGoIntoTheProfileKeepingTheUsersOwn) {
  testsupport::Sandbox box;
  Put(box, "firefox.xpi", "PK-zip");
  Put(box, "profile/user.js",
                "user_pref(\"browser.startup.homepage\", \"about:blank\");\n"
                "user_pref(\"xpinstall.signatures.required\", true);\n");
  std::string reason;
  ASSERT_TRUE(browserhost::InstallIntoFirefoxProfile(box.path("profile"), box.path("firefox.xpi"), &reason))
      << reason;
  ASSERT_TRUE(browserhost::InstallIntoFirefoxProfile(box.path("profile"), box.path("firefox.xpi"), &reason));
  EXPECT_EQ(box.ReadFile("profile/extensions/tamborel@quorlin.com.xpi"), "PK-zip");
  EXPECT_EQ(box.ReadFile("profile/user.js"),
            "user_pref(\"browser.startup.homepage\", \"about:blank\");\n"
            "user_pref(\"xpinstall.signatures.required\", false);\n"
            "user_pref(\"extensions.autoDisableScopes\", 0);\n"
            "user_pref(\"extensions.enabledScopes\", 15);\n"
            "user_pref(\"extensions.startupScanScopes\", 1);\n");

  EXPECT_FALSE(browserhost::InstallIntoFirefoxProfile(box.path("profile"), box.path("missing.xpi"), &reason));
  EXPECT_NE(reason.find("missing.xpi"), std::string::npos) << reason;
}

TEST(InstalledBrowsers, KnownBrowsersOnThePathByTheNameTheyRunUnder) {
  testsupport::Sandbox box;
  auto program = [&](const std::string& path, bool executable) {
    Put(box, path, "#!/bin/sh\n");
    ::chmod(box.path(path).c_str(), executable ? 0755 : 0644);
  };
  program("a/firefox-esr", true);
  program("a/links", true);
  program("b/chromium", true);
  program("b/google-chrome", true);
  program("b/firefox", false);  // not a program
  program("c/google-chrome-stable", true);
  EXPECT_EQ(browserhost::InstalledBrowsers(box.path("a") + ":" + box.path("b") + "::" + box.path("c")),
            (std::vector<std::string>{"chromium", "firefox-esr", "chrome"}));
  EXPECT_TRUE(browserhost::InstalledBrowsers("").empty());
}

TEST(BrowserSetup, OneCommandSetsTheUserUp) {
  // A program folder of its own: the command finds the host and the
  // extensions beside itself.
  testsupport::Sandbox box;
  fs::create_directories(box.path("prog/browser/chromium"));
  fs::copy_file(BROWSER_SETUP, box.path("prog/tamborel-browser-setup"));
  fs::copy_file(BROWSER_HOST, box.path("prog/tamborel-browser-host"));
  Put(box, "prog/browser/firefox.xpi", "PK-zip");
  Put(box, "home/.mozilla/firefox/profiles.ini", "[Profile0]\nName=default-esr\nIsRelative=1\nPath=p.default-esr\nDefault=1\n");
  testsupport::ScopedEnv home("HOME", box.path("home").c_str());
  testsupport::ScopedEnv config("XDG_CONFIG_HOME", nullptr);

  std::string out;
  ASSERT_EQ(testsupport::RunCommand({box.path("prog/tamborel-browser-setup")}, &out), 0) << out;
  EXPECT_EQ(ReadJson(box.path("home/.config/chromium/NativeMessagingHosts/com.quorlin.tamborel.json"))
                .value("path").toString().toStdString(),
            box.path("prog/tamborel-browser-host"));
  EXPECT_TRUE(fs::exists(box.path("home/.mozilla/native-messaging-hosts/com.quorlin.tamborel.json")));
  EXPECT_EQ(box.ReadFile("home/.mozilla/firefox/p.default-esr/extensions/tamborel@quorlin.com.xpi"), "PK-zip");
  EXPECT_NE(box.ReadFile("home/.mozilla/firefox/p.default-esr/user.js").find("xpinstall.signatures.required\", false"),
            std::string::npos);
  // The one step left to the user, with the folder to pick.
  EXPECT_NE(out.find("\"Load unpacked\""), std::string::npos) << out;
  EXPECT_NE(out.find(box.path("prog/browser/chromium")), std::string::npos) << out;

  // Without the host beside it the command says so and fails.
  fs::remove(box.path("prog/tamborel-browser-host"));
  EXPECT_EQ(testsupport::RunCommand({"sh", "-c", "exec \"$0\" 2>&1", box.path("prog/tamborel-browser-setup")}, &out),
            1);
  EXPECT_NE(out.find("tamborel-browser-host is missing"), std::string::npos) << out;
}

}  // namespace
