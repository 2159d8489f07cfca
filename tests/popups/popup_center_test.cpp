// The frame's 30-ms popup pass: both queues, the shown list, and what the
// completion setting does to the pace.
#include "app/capture/popups/popup_center.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "core/settings.h"
#include "tests/popups/popup_fakes.h"

namespace {

PopupRequest Capture(int32_t id, const std::string& address) {
  PopupRequest r;
  r.id = id;
  r.kind = kCapturePopup;
  r.text = address;
  r.typePattern = "*.flv";
  return r;
}

PopupRequest Completion(int32_t taskIndex) {
  PopupRequest r;
  r.id = taskIndex;
  r.kind = kCompletionPopup;
  r.text = "/home/u/Tamborel/clip" + std::to_string(taskIndex) + ".flv";
  return r;
}

struct Fixture {
  explicit Fixture(int screenHeight = 1024) : stack(pools.MakeStack(1280, screenHeight, screenHeight)) {
    // A capture popup reports its end, as the real one posts UM_POPUP_CLOSED.
    for (auto& p : pools.capture) p->onGone = [this](FakePopup& g) { center.OnPopupClosed(g.request.id); };
  }
  void TickUntilStable(int limit = 1000) {
    for (int i = 0; i < limit && (i == 0 || !stack.IsStable()); ++i) center.Tick();
  }

  Settings settings;
  FakePools pools;
  PopupStack stack;
  std::vector<std::string> lookedUp;
  PopupCenter center{settings, stack, [this](const std::string& address) {
                       lookedUp.push_back(address);
                       return address == "http://known/a.flv";
                     }};
};

TEST(PopupCenter, PaceDoublesWhileCompletionPopupsAreOn) {
  struct Case {
    uint8_t showFinish;
    int heightAfterOneTick;
    int32_t countdownPerTick;
  } cases[] = {{1, 24, 40}, {0, 12, 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.showFinish));
    Fixture f;
    f.settings.ShowFinishPopWnd = c.showFinish;
    f.settings.ClosePopWndSeconds = 1;
    f.center.QueueCapture(Capture(1, "http://h/1.flv"));
    f.center.Tick();  // shown at the end of the capture step
    FakePopup& p = *f.pools.capture[0];
    EXPECT_EQ(p.Height(), c.showFinish ? 12 : 0);
    f.center.Tick();
    EXPECT_EQ(p.Height(), c.heightAfterOneTick + (c.showFinish ? 12 : 0));
    while (p.State() == PopupBase::Growing) f.center.Tick();
    const int32_t before = p.RemainingMs();
    f.center.Tick();
    EXPECT_EQ(before - p.RemainingMs(), c.countdownPerTick);
  }
}

TEST(PopupCenter, ASecondOfferWaitsUntilTheFirstHasGrown) {
  Fixture f;
  f.settings.ShowFinishPopWnd = 0;
  f.center.QueueCapture(Capture(1, "http://h/1.flv"));
  f.center.QueueCapture(Capture(2, "http://h/2.flv"));
  int tickOfSecond = 0;
  for (int tick = 1; tick <= 40 && !tickOfSecond; ++tick) {
    f.center.Tick();
    if (f.center.ShownCaptures().size() == 2) tickOfSecond = tick;
  }
  // Shown at tick 1, 13 passes of growth (ticks 2-14), then a still pass.
  EXPECT_EQ(tickOfSecond, 15);
  EXPECT_TRUE(f.center.CaptureQueue().empty());
}

TEST(PopupCenter, ASmallScreenHoldsFourAndTheFifthWaits) {
  Fixture f(600);
  f.settings.ClosePopWndWay = 0;
  for (int id = 1; id <= 5; ++id) f.center.QueueCapture(Capture(id, "http://h/" + std::to_string(id)));
  for (int i = 0; i < 500; ++i) f.center.Tick();
  EXPECT_EQ(f.stack.Shown().size(), 4u);
  ASSERT_EQ(f.center.CaptureQueue().size(), 1u);
  EXPECT_EQ(f.center.CaptureQueue().front().id, 5);

  // Manual closing: nothing leaves by itself, however long it stays.
  for (const auto& s : f.stack.Shown()) EXPECT_EQ(s.popup->State(), PopupBase::Showing);
  f.pools.capture[1]->CloseNow();  // "X" on the second one
  for (int i = 0; i < 100; ++i) f.center.Tick();
  EXPECT_TRUE(f.center.CaptureQueue().empty());
  EXPECT_EQ(f.stack.Shown().size(), 4u);
  std::vector<int32_t> shownIds;
  for (const PopupRequest& r : f.center.ShownCaptures()) shownIds.push_back(r.id);
  EXPECT_EQ(shownIds, (std::vector<int32_t>{1, 3, 4, 5}));
}

TEST(PopupCenter, TaskExistsIsDecidedWhenTheOfferIsShown) {
  Fixture f;
  f.center.QueueCapture(Capture(1, "http://known/a.flv"));
  f.center.QueueCapture(Capture(2, "http://new/b.flv"));
  EXPECT_TRUE(f.lookedUp.empty());
  f.TickUntilStable();
  f.TickUntilStable();
  ASSERT_EQ(f.pools.capture[0]->starts, 1);
  ASSERT_EQ(f.pools.capture[1]->starts, 1);
  EXPECT_EQ(f.pools.capture[0]->request.taskExists, 1);
  EXPECT_EQ(f.pools.capture[1]->request.taskExists, 0);
}

TEST(PopupCenter, SixCompletionsShowFiveThenTheSixth) {
  Fixture f(2000);
  for (int t = 1; t <= 6; ++t) f.center.QueueCompletion(Completion(t));
  for (int i = 0; i < 60; ++i) f.center.Tick();
  EXPECT_EQ(f.stack.Shown().size(), 5u);
  ASSERT_EQ(f.center.CompletionQueue().size(), 1u);
  EXPECT_EQ(f.center.CompletionQueue().front().id, 6);
  int ticks = 0;
  while (!f.center.CompletionQueue().empty() && ticks < 5000) {
    f.center.Tick();
    ++ticks;
  }
  EXPECT_TRUE(f.center.CompletionQueue().empty());
  int sixth = 0;
  for (const auto& p : f.pools.completion)
    if (p->request.id == 6 && p->State() != PopupBase::Idle) ++sixth;
  EXPECT_EQ(sixth, 1);
}

TEST(PopupCenter, CompletionPopupsOffEmptyTheirQueueAndShowNothing) {
  Fixture f;
  f.settings.ShowFinishPopWnd = 0;
  f.center.QueueCompletion(Completion(1));
  f.center.QueueCompletion(Completion(2));
  f.center.Tick();
  EXPECT_TRUE(f.center.CompletionQueue().empty());
  EXPECT_TRUE(f.stack.Shown().empty());
  for (const auto& p : f.pools.completion) EXPECT_EQ(p->starts, 0);
}

TEST(PopupCenter, ShownListFollowsThePopupsOnScreen) {
  Fixture f;
  f.settings.ClosePopWndSeconds = 0;
  f.center.QueueCapture(Capture(7, "http://h/Clip.flv"));
  f.center.Tick();
  EXPECT_TRUE(f.center.IsShownAddress("http://h/Clip.flv"));
  EXPECT_FALSE(f.center.IsShownAddress("http://h/clip.flv")) << "exact comparison";
  for (int i = 0; i < 200 && f.pools.capture[0]->gones == 0; ++i) f.center.Tick();
  EXPECT_FALSE(f.center.IsShownAddress("http://h/Clip.flv"));
  EXPECT_TRUE(f.center.ShownCaptures().empty());
}

TEST(PopupCenter, ClosedMessagesTakeOnlyTheFirstEntryOfAnIdentifier) {
  Fixture f;
  // Two offers of one record (the history downloads it again) and an unknown id.
  f.center.QueueCapture(Capture(3, "http://h/a"));
  f.TickUntilStable();
  f.center.QueueCapture(Capture(3, "http://h/a"));
  f.TickUntilStable();
  ASSERT_EQ(f.center.ShownCaptures().size(), 2u);
  f.center.OnPopupClosed(99);
  EXPECT_EQ(f.center.ShownCaptures().size(), 2u);
  f.center.OnPopupClosed(3);
  EXPECT_EQ(f.center.ShownCaptures().size(), 1u);
}

TEST(PopupCenter, ClearingEmptiesQueueAndShownListAndClosesEverything) {
  Fixture f;
  f.settings.ClosePopWndWay = 0;
  f.center.QueueCapture(Capture(1, "http://h/1"));
  f.center.QueueCompletion(Completion(1));
  f.TickUntilStable();
  f.center.QueueCapture(Capture(2, "http://h/2"));
  f.center.QueueCapture(Capture(3, "http://h/3"));
  f.center.RemoveQueuedCapture(2);
  ASSERT_EQ(f.center.CaptureQueue().size(), 1u);
  EXPECT_EQ(f.center.CaptureQueue().front().id, 3);

  f.center.ClearCaptures();
  EXPECT_TRUE(f.center.CaptureQueue().empty());
  EXPECT_TRUE(f.center.ShownCaptures().empty());
  for (const auto& s : f.stack.Shown()) EXPECT_EQ(s.popup->RemainingMs(), 0);
  for (int i = 0; i < 100; ++i) f.center.Tick();
  EXPECT_TRUE(f.stack.Shown().empty());
}

}  // namespace
