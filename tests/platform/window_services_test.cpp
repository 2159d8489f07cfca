#include <gtest/gtest.h>

#include <QCoreApplication>

#include <thread>
#include <vector>

#include "platform/event_loop.h"
#include "platform/manual_clock.h"
#include "platform/qt/qt_window_services.h"

namespace {

struct Recorder : platform::MessageHandler {
  struct Item {
    char kind;  // 'm' message, 't' timer
    int64_t a, b;
    int64_t at;
  };
  std::vector<Item> items;
  std::function<int64_t()> now = [] { return 0; };
  std::function<void(const Item&)> then;
  void OnMessage(uint32_t msg, platform::MessageParam w, platform::MessageParam l) override {
    items.push_back({'m', msg, w + l, now()});
    if (then) then(items.back());
  }
  void OnTimer(int id) override {
    items.push_back({'t', id, 0, now()});
    if (then) then(items.back());
  }
};

TEST(ManualClock, TimersFireInVirtualTimeAndReArm) {
  platform::ManualClock clock;
  Recorder rec;
  rec.now = [&] { return clock.NowMs(); };
  clock.SetHandler(&rec);
  clock.SetTimer(101, 10100);
  clock.SetTimer(5, 10000);
  clock.Advance(20200);
  std::vector<std::pair<int64_t, int64_t>> fired;
  for (auto& i : rec.items) fired.push_back({i.a, i.at});
  EXPECT_EQ(fired, (std::vector<std::pair<int64_t, int64_t>>{{5, 10000}, {101, 10100}, {5, 20000}, {101, 20200}}));

  // Setting a running id re-arms it from now; killing stops it for good.
  rec.items.clear();
  clock.SetTimer(101, 1000);
  clock.KillTimer(5);
  clock.Advance(2500);
  ASSERT_EQ(rec.items.size(), 2u);
  EXPECT_EQ(rec.items[0].at, 21200);
  EXPECT_EQ(rec.items[1].at, 22200);
  EXPECT_FALSE(clock.TimerRunning(5));
}

TEST(ManualClock, KillFromInsideATickAndMessagesFromThreads) {
  platform::ManualClock clock;
  Recorder rec;
  clock.SetHandler(&rec);
  rec.then = [&](const Recorder::Item& i) {
    if (i.kind == 't') clock.KillTimer(static_cast<int>(i.a));
  };
  clock.SetTimer(7, 100);
  clock.Advance(1000);
  EXPECT_EQ(rec.items.size(), 1u);

  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) clock.Post(2254, i, 1);
  });
  EXPECT_TRUE(clock.DeliverUntil([&] { return rec.items.size() == 101; }));
  worker.join();
  for (int i = 0; i < 100; ++i) EXPECT_EQ(rec.items[1 + i].b, i + 1);  // order kept
}

TEST(EventLoop, DeliversPostsAndTimersUntilQuit) {
  platform::EventLoop loop;
  Recorder rec;
  loop.SetHandler(&rec);
  int ticks = 0;
  rec.then = [&](const Recorder::Item& i) {
    if (i.kind == 't' && ++ticks == 3) {
      loop.KillTimer(1);
      std::thread([&] { loop.Post(9, 0, 0); }).detach();
    }
    if (i.kind == 'm') loop.Quit();
  };
  loop.SetTimer(1, 5);
  loop.Run();
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(rec.items.back().kind, 'm');
}

TEST(QtWindowServices, PostedEventsAndTimersReachTheHandler) {
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  platform::QtWindowServices services;
  Recorder rec;
  services.SetHandler(&rec);
  int ticks = 0;
  rec.then = [&](const Recorder::Item& i) {
    if (i.kind == 't' && i.a == 3 && ++ticks == 2) services.KillTimer(3);
    if (i.kind == 'm' && i.a == 99) app.quit();
  };
  services.SetTimer(3, 1);
  std::thread worker([&] {
    for (int i = 0; i < 10; ++i) services.Post(2254, i, 0);
  });
  worker.join();
  services.SetTimer(4, 50);  // a later timer posts the quit message
  rec.then = [&, inner = rec.then](const Recorder::Item& i) {
    inner(i);
    if (i.kind == 't' && i.a == 4) {
      services.KillTimer(4);
      services.Post(99, 0, 0);
    }
  };
  app.exec();
  EXPECT_EQ(ticks, 2);
  int messages = 0;
  for (auto& i : rec.items) messages += i.kind == 'm';
  EXPECT_EQ(messages, 11);
}

}  // namespace
