// The popup animation and the stack's layout pass, with windows that only
// remember where they were put.
#include "app/capture/popups/popup_stack.h"

#include <climits>

#include <gtest/gtest.h>

#include "tests/popups/popup_fakes.h"

namespace {

PopupRequest Request(int32_t id) {
  PopupRequest r;
  r.id = id;
  r.text = "http://h/" + std::to_string(id) + ".flv";
  r.typePattern = "*.flv";
  return r;
}

TEST(PopupTiming, RemainingTimeFromTheCloseSettings) {
  struct Case {
    bool autoClose;
    int32_t seconds;
    int32_t expected;
  } cases[] = {
      {true, 20, 20000},
      {true, 0, 0},
      {false, 20, INT_MAX},               // manual: stays until closed by hand
      {true, 3'000'000, INT_MAX},         // too many seconds saturate instead of wrapping
      {true, -5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    EXPECT_EQ((PopupTiming{c.autoClose, c.seconds}.RemainingMs()), c.expected);
  }
}

TEST(PopupBase, GrowsShowsShrinksAndGoesOnce) {
  struct Case {
    int fullHeight;
    int passesToGrow;  // the pass that reaches the full height
  } cases[] = {{148, 13}, {67, 6}, {12, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fullHeight);
    FakePopup p(kCapturePopup, c.fullHeight);
    p.Start(Request(1), PopupTiming{true, 1});
    EXPECT_EQ(p.State(), PopupBase::Growing);
    EXPECT_EQ(p.Height(), 0);
    for (int i = 1; i < c.passesToGrow; ++i) {
      p.Step();
      EXPECT_EQ(p.Height(), 12 * i);
      EXPECT_EQ(p.State(), PopupBase::Growing);
    }
    p.Step();
    EXPECT_EQ(p.Height(), c.fullHeight);
    EXPECT_EQ(p.State(), PopupBase::Showing);

    // 1000 ms at 20 ms a pass.
    for (int i = 0; i < 49; ++i) p.Step();
    EXPECT_EQ(p.State(), PopupBase::Showing);
    EXPECT_EQ(p.RemainingMs(), 20);
    p.Step();
    EXPECT_EQ(p.State(), PopupBase::Shrinking);
    EXPECT_EQ(p.RemainingMs(), 0);

    int passes = 0;
    while (p.State() == PopupBase::Shrinking) {
      p.Step();
      ++passes;
    }
    EXPECT_EQ(passes, (c.fullHeight + 11) / 12);
    EXPECT_EQ(p.State(), PopupBase::Gone);
    EXPECT_EQ(p.Height(), 0);
    p.Step();
    EXPECT_EQ(p.gones, 1);
  }
}

TEST(PopupBase, ClosingByHandWhileGrowingShrinksRightAfterGrowing) {
  FakePopup p(kCapturePopup, 24);
  p.Start(Request(1), PopupTiming{false, 0});
  EXPECT_EQ(p.RemainingMs(), INT_MAX);
  p.Step();
  p.CloseNow();
  p.Step();
  EXPECT_EQ(p.State(), PopupBase::Showing);
  p.Step();
  EXPECT_EQ(p.State(), PopupBase::Shrinking);
}

TEST(PopupStack, MaximumOnScreenFollowsTheScreenHeight) {
  struct Case {
    int screenHeight, expected;
  } cases[] = {{600, 4}, {591, 3}, {592, 4}, {740, 5}, {1024, 5}, {2160, 5}, {147, 0}};
  for (const Case& c : cases) {
    FakePools pools;
    EXPECT_EQ(pools.MakeStack(1280, c.screenHeight, c.screenHeight).MaxOnScreen(), c.expected) << c.screenHeight;
  }
}

TEST(PopupStack, StacksUpwardsFromTheWorkAreaCorner) {
  FakePools pools;
  PopupStack stack = pools.MakeStack(1000, 700, 768);
  ASSERT_TRUE(stack.Show(kCapturePopup, Request(1), PopupTiming{}));
  while (pools.capture[0]->State() != PopupBase::Showing) stack.LayoutPass();
  stack.LayoutPass();
  ASSERT_TRUE(stack.IsStable());
  ASSERT_TRUE(stack.Show(kCompletionPopup, Request(2), PopupTiming{}));
  while (pools.completion[0]->State() != PopupBase::Showing) stack.LayoutPass();

  EXPECT_EQ(pools.capture[0]->placed.back(), (PopupRect{788, 552, 980, 700}));
  EXPECT_EQ(pools.completion[0]->placed.back(), (PopupRect{788, 485, 980, 552}));
  // The first placement of the grown popup was at 12 pixels.
  EXPECT_EQ(pools.capture[0]->placed.front(), (PopupRect{788, 688, 980, 700}));
}

TEST(PopupStack, NothingNewWhileAPopupMovesOrTheScreenIsFull) {
  FakePools pools;
  PopupStack stack = pools.MakeStack(1280, 600, 600);
  PopupTiming timing{false, 0};
  ASSERT_TRUE(stack.Show(kCapturePopup, Request(1), timing));
  stack.LayoutPass();  // 12 pixels: moved
  EXPECT_FALSE(stack.IsStable());
  EXPECT_FALSE(stack.Show(kCapturePopup, Request(2), timing));

  for (int id = 2; id <= 4; ++id) {
    while (!stack.IsStable()) stack.LayoutPass();
    ASSERT_TRUE(stack.Show(kCapturePopup, Request(id), timing)) << id;
    stack.LayoutPass();
  }
  while (!stack.IsStable()) stack.LayoutPass();
  EXPECT_EQ(stack.Shown().size(), 4u);
  EXPECT_FALSE(stack.Show(kCompletionPopup, Request(5), timing));  // 600 / 148 = 4

  // Shrinking counts as moving too.
  pools.capture[0]->CloseNow();
  stack.LayoutPass();  // counts down to 0
  stack.LayoutPass();  // first shrink step
  EXPECT_EQ(pools.capture[0]->State(), PopupBase::Shrinking);
  EXPECT_FALSE(stack.IsStable());
}

TEST(PopupStack, AGonePopupReturnsToItsPoolAndEndsThePass) {
  FakePools pools;
  PopupStack stack = pools.MakeStack(1280, 1024, 1024);
  // Two shown before any pass: the stack is still stable.
  ASSERT_TRUE(stack.Show(kCapturePopup, Request(1), PopupTiming{true, 0}));
  ASSERT_TRUE(stack.Show(kCapturePopup, Request(2), PopupTiming{false, 0}));
  EXPECT_EQ(stack.FreeCount(kCapturePopup), 3u);

  FakePopup& first = *pools.capture[0];
  while (first.State() != PopupBase::Gone) stack.LayoutPass();
  const size_t placedAbove = pools.capture[1]->placed.size();
  stack.LayoutPass();
  EXPECT_EQ(first.State(), PopupBase::Idle);
  EXPECT_EQ(first.resets, 1);
  EXPECT_EQ(stack.Shown().size(), 1u);
  EXPECT_EQ(stack.FreeCount(kCapturePopup), 4u);
  EXPECT_EQ(pools.capture[1]->placed.size(), placedAbove) << "the pass ended at the gone popup";

  stack.LayoutPass();
  EXPECT_EQ(pools.capture[1]->placed.back().bottom, 1024);
}

TEST(PopupStack, APoolRunsDryAtFive) {
  FakePools pools;
  PopupStack stack = pools.MakeStack(1280, 4000, 4000);
  for (int id = 1; id <= 5; ++id) ASSERT_TRUE(stack.Show(kCompletionPopup, Request(id), PopupTiming{}));
  EXPECT_FALSE(stack.Show(kCompletionPopup, Request(6), PopupTiming{}));
  EXPECT_EQ(stack.FreeCount(kCompletionPopup), 0u);
  EXPECT_EQ(stack.FreeCount(kCapturePopup), 5u);
}

TEST(PopupStack, CloseAllStartsEveryPopupOnItsWayOut) {
  FakePools pools;
  PopupStack stack = pools.MakeStack(1280, 1024, 1024);
  ASSERT_TRUE(stack.Show(kCapturePopup, Request(1), PopupTiming{false, 0}));
  ASSERT_TRUE(stack.Show(kCompletionPopup, Request(2), PopupTiming{false, 0}));
  stack.CloseAll();
  EXPECT_EQ(pools.capture[0]->RemainingMs(), 0);
  EXPECT_EQ(pools.completion[0]->RemainingMs(), 0);
}

}  // namespace
