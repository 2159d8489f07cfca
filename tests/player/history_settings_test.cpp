#include <gtest/gtest.h>

#include "core/memory_key_value_store.h"
#include "player/player_settings.h"
#include "player/recent_lists.h"

namespace {

std::vector<std::string> All(const CRecentUrlList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.GetAt(i));
  return out;
}

TEST(RecentUrlList, AddMovesToFrontWithoutDuplicatesAndComparesCase) {
  CRecentUrlList list;
  list.Add("http://a/1.flv");
  list.Add("http://a/2.flv");
  list.Add("http://a/1.flv");
  list.Add("HTTP://A/1.FLV");
  EXPECT_EQ(All(list), (std::vector<std::string>{"HTTP://A/1.FLV", "http://a/1.flv", "http://a/2.flv"}));
  list.Remove("http://a/2.flv");
  list.Remove("http://missing");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetAt(-1), "");
  EXPECT_EQ(list.GetAt(2), "");
}

TEST(RecentUrlList, OnlyTheFirstTenSurviveARestart) {
  MemoryKeyValueStore store;
  {
    CRecentUrlList list;
    for (int i = 0; i < 12; ++i) list.Add("http://host/" + std::to_string(i) + ".flv");
    EXPECT_EQ(list.Count(), 12);  // no bound in memory
    list.Save(store);
  }
  CRecentUrlList again;
  again.Load(store);
  ASSERT_EQ(again.Count(), 10);
  EXPECT_EQ(again.GetAt(0), "http://host/11.flv");
  EXPECT_EQ(again.GetAt(9), "http://host/2.flv");
}

TEST(RecentUrlList, LoadStopsAtTheFirstEmptyKeyAndSaveBlanksTheRest) {
  MemoryKeyValueStore store;
  store.WriteText("RecentUrl", "RecentUrl0", "http://a");
  store.WriteText("RecentUrl", "RecentUrl1", "");
  store.WriteText("RecentUrl", "RecentUrl2", "http://c");
  CRecentUrlList list;
  list.Load(store);
  EXPECT_EQ(All(list), std::vector<std::string>{"http://a"});

  list.Clear();
  list.Save(store);
  for (int i = 0; i < 10; ++i) {
    std::string v = "x";
    ASSERT_TRUE(store.ReadText("RecentUrl", "RecentUrl" + std::to_string(i), &v));
    EXPECT_EQ(v, "");
  }
}

TEST(RecentFileList, KeepsNineMostRecentFirst) {
  MemoryKeyValueStore store;
  RecentFileList files;
  for (int i = 1; i <= 11; ++i) files.Add("/v/" + std::to_string(i) + ".flv");
  files.Add("/v/5.flv");
  files.Save(store);
  RecentFileList again;
  again.Load(store);
  ASSERT_EQ(again.Entries().size(), 9u);
  EXPECT_EQ(again.Entries()[0], "/v/5.flv");
  EXPECT_EQ(again.Entries()[1], "/v/11.flv");
  std::string v;
  EXPECT_TRUE(store.ReadText("Recent File List", "File9", &v));
}

TEST(PlayerSettings, DefaultsAndOutOfRangeValues) {
  MemoryKeyValueStore store;
  PlayerSettings s;
  s.Load(store);
  EXPECT_FALSE(s.Muted);
  EXPECT_EQ(s.Sound, 75);
  EXPECT_EQ(s.Width, 500);
  EXPECT_EQ(s.Height, 400);
  EXPECT_FALSE(s.Repeat);

  store.WriteNumber("Setting", "Sound", 250);
  store.WriteNumber("Setting", "Height", 10);
  store.WriteNumber("Setting", "Muted", 1);
  store.WriteNumber("Setting", "Repeat", 1);
  s.Load(store);
  EXPECT_EQ(s.Sound, 100);
  EXPECT_EQ(s.Height, 50);
  EXPECT_TRUE(s.Muted);
  EXPECT_TRUE(s.Repeat);

  s.Sound = 33;
  s.Save(store);
  PlayerSettings back;
  back.Load(store);
  EXPECT_EQ(back.Sound, 33);
}

}  // namespace
