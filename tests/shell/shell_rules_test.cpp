#include <gtest/gtest.h>

#include "app/shell/folder_history.h"
#include "app/shell/frame_layout.h"
#include "app/shell/new_task_checks.h"
#include "app/shell/single_instance.h"
#include "app/shell/tamborel_app.h"
#include "core/memory_key_value_store.h"

namespace {

TEST(FrameLayout, InitialRowsFromTheClientHeight) {
  struct Case {
    int height, tree, player, log;
  };
  const Case cases[] = {
      {580, 260, 240, 166}, {560, 240, 240, 160}, {700, 380, 240, 206}, {81, 1, 1, 0}, {60, 1, 1, 0},
  };
  for (const Case& c : cases) {
    InitialRows r = InitialSplit(c.height);
    EXPECT_EQ(r.treeRow, c.tree) << c.height;
    EXPECT_EQ(r.playerRow, c.player) << c.height;
    EXPECT_EQ(r.playerRemembered, c.player) << c.height;
    EXPECT_EQ(r.logRemembered, c.log) << c.height;
  }
}

TEST(FrameLayout, LowerRowKeepsItsHeight) {
  EXPECT_EQ(FitLowerRow(600, 200).upper, 400);
  EXPECT_EQ(FitLowerRow(600, 200).lower, 200);
  EXPECT_EQ(FitLowerRow(150, 200).upper, 0);
  EXPECT_EQ(FitLowerRow(150, 200).lower, 150);
}

TEST(NewTaskChecks, ClipboardPrefill) {
  struct Case {
    const char* clipboard;
    const char* url;
  };
  const Case cases[] = {
      {"HTTP://example.test/a.flv\r\n", "HTTP://example.test/a.flv"},
      {"https://example.test/a.mp4", "https://example.test/a.mp4"},
      {"rtmp://h/app/x\r\nmore\r\n", "rtmp://h/app/xmore"},
      {"ftp:x", "ftp:x"},
      {"ftp:", ""},  // four characters are never taken
      {"http", ""},
      {"www.example.test/a.flv", ""},
      {"  http://example.test/", ""},
      {"http://a\nb", "http://a\nb"},  // only CR LF pairs go
  };
  for (const Case& c : cases) EXPECT_EQ(UrlFromClipboard(c.clipboard), c.url) << c.clipboard;
}

TEST(NewTaskChecks, AddressesAndFileNames) {
  for (const char* good : {"http://example.test/a.flv", "rtmp://h/app/x", "rtmpt://h:80/app", "HTTP://h"})
    EXPECT_TRUE(IsWellFormedUrl(good)) << good;
  for (const char* bad : {"example.test/a.flv", "http://", "://h/x", "http:/h", "1http://h"})
    EXPECT_FALSE(IsWellFormedUrl(bad)) << bad;
  EXPECT_TRUE(IsValidFileName("clip [1].flv"));
  for (const char* bad : {"", "a%b.flv", "a/b", "a\\b", "c:", "*", "?", "\"", "<", ">", "|"})
    EXPECT_FALSE(IsValidFileName(bad)) << bad;
}

TEST(FolderHistory, KeepsTheNineMostRecentFolders) {
  MemoryKeyValueStore store;
  FolderHistory h;
  for (int i = 0; i < 10; ++i) {
    h.Load(store);
    h.Add("/videos/" + std::to_string(i) + "/");
    h.Save(store);
  }
  h.Load(store);
  ASSERT_EQ(h.Folders().size(), 9u);
  EXPECT_EQ(h.Folders().front(), "/videos/9/");
  EXPECT_EQ(h.Folders().back(), "/videos/1/");
  // An existing entry moves to the front; missing separators are added at loading.
  h.Add("/videos/5/");
  EXPECT_EQ(h.Folders().front(), "/videos/5/");
  EXPECT_EQ(h.Folders().size(), 9u);
  store.WriteText("SavePathHistory", "dir0", "/plain");
  store.WriteText("SavePathHistory", "dir1", "");
  h.Load(store);
  EXPECT_EQ(h.Folders().front(), "/plain/");
  EXPECT_EQ(h.Folders().size(), 8u);
}

TEST(SingleInstance, HandleTextIsEightHexDigits) {
  EXPECT_EQ(shell::FormatInstanceHandle(0x1a2b), "00001a2b");
  const uint8_t good[] = {'0', '0', '0', '0', '1', 'a', '2', 'B'};
  EXPECT_EQ(shell::ParseInstanceHandle(good, 8), 0x1a2bu);
  const uint8_t bad[] = {'0', '0', '0', '0', '1', 'a', '2', 'g'};
  EXPECT_FALSE(shell::ParseInstanceHandle(bad, 8));
  EXPECT_FALSE(shell::ParseInstanceHandle(good, 7));
}

TEST(StartArguments, OnlyTheWholeTextMinStartsHidden) {
  EXPECT_TRUE(CTamborelApp::IsMinimisedStart("-min"));
  EXPECT_TRUE(CTamborelApp::IsMinimisedStart("-MIN"));
  EXPECT_FALSE(CTamborelApp::IsMinimisedStart("-min now"));
  EXPECT_FALSE(CTamborelApp::IsMinimisedStart(""));
}

}  // namespace
