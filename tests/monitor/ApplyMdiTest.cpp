// Child rules over the MDI children of another process's frame: placed in
// the MDI client's coordinates, maximized, activated and destroyed through
// the client.
#include <gtest/gtest.h>

#include <cstdio>

#include "MonitorTestSupport.h"
#include "monitor/Monitor.h"

namespace {

constexpr char kFrameClass[] = "PlenaraApplyFrame";
constexpr char kChildClass[] = "PlenaraApplyKid";

TargetRecord ChildRule(const char* title) {
  TargetRecord r = RuleFor(kChildClass);
  r.titleMatch = kMatchEquals;
  std::snprintf(r.titlePattern, sizeof r.titlePattern, "%s", title);
  return r;
}

TargetRecord Placed(TargetRecord r, int32_t width, int32_t height, uint8_t xAnchor, uint8_t yAnchor) {
  r.sizeAction = kSizeSet;
  r.widthSpec = SizeSpec{kSizeAbsolute, {}, width};
  r.heightSpec = SizeSpec{kSizeAbsolute, {}, height};
  r.positionAction = kPositionSet;
  r.xSpec = PositionSpec{xAnchor, kOffsetFlush, {}, 0};
  r.ySpec = PositionSpec{yAnchor, kOffsetFlush, {}, 0};
  return r;
}

class ApplyMdi : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fixture.Ready());
    frame = fixture.MdiFrame(kFrameClass, "frame", Box{50, 50, 700, 550});
    ASSERT_NE(frame, nullptr);
  }
  void TearDown() override { fixture.DestroyAll(); }

  HWND Child(const char* title) { return fixture.MdiChild(frame, kChildClass, title, Box{40, 40, 150, 120}); }
  HWND ClientOf(HWND child) { return GetParent(child); }

  TestBlock block;
  Fixture& fixture = SharedFixture();
  HWND frame = nullptr;
};

TEST_F(ApplyMdi, ChildrenArePlacedInTheClientsCoordinates) {
  HWND left = Child("left");
  HWND right = Child("right");
  ASSERT_NE(left, nullptr);
  ASSERT_NE(right, nullptr);
  HWND client = ClientOf(left);
  RECT area = {};
  GetClientRect(client, &area);

  const int target = block.AddTarget(RuleFor(kFrameClass));
  block.AddChildRule(target, Placed(ChildRule("left"), 200, 100, kAnchorNear, kAnchorFar));
  block.AddChildRule(target, Placed(ChildRule("right"), 180, 90, kAnchorFar, kAnchorNear));
  block.Scan();

  Box box = ClientBoxOf(client, left);
  EXPECT_EQ(box.x, 0);
  EXPECT_EQ(box.y, area.bottom - 100);
  EXPECT_EQ(box.width, 200);
  EXPECT_EQ(box.height, 100);
  box = ClientBoxOf(client, right);
  EXPECT_EQ(box.x, area.right - 180);
  EXPECT_EQ(box.y, 0);
  EXPECT_EQ(block.FindChild(frame, left)->handled, 1);
  EXPECT_EQ(block.FindChild(frame, right)->handled, 1);
  // The frame's own target had nothing to do; it is marked, not moved.
  EXPECT_EQ(block.Find(frame)->handled, 1);
  const Box frameBox = BoxOf(frame);
  EXPECT_EQ(frameBox.x, 50);
  EXPECT_EQ(frameBox.width, 700);
}

TEST_F(ApplyMdi, MaximizeActivateAndCloseGoThroughTheClient) {
  HWND first = Child("first");
  HWND doomed = Child("doomed");
  HWND last = Child("last");
  HWND client = ClientOf(first);
  ASSERT_EQ(reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0)), last);
  const int target = block.AddTarget(RuleFor(kFrameClass));
  TargetRecord activate = ChildRule("first");
  activate.activate = 1;
  TargetRecord close = ChildRule("doomed");
  close.close = 1;
  block.AddChildRule(target, activate);
  block.AddChildRule(target, close);
  block.Scan();
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0)), first);
  EXPECT_FALSE(IsWindow(doomed));
  EXPECT_EQ(block.FindChild(frame, first)->handled, 1);
  block.Scan();
  EXPECT_EQ(block.FindChild(frame, doomed), nullptr);

  TargetRecord maximize = ChildRule("first");
  maximize.sizeAction = kSizeMaximize;
  block.AddChildRule(target, maximize);
  block.Scan();
  EXPECT_TRUE(WaitFor([&] { return IsZoomed(first) != 0; }, 5000));
}

TEST_F(ApplyMdi, ATargetThatMayNotActStillRunsItsChildRulesOverNewChildren) {
  TargetRecord once = RuleFor(kFrameClass);
  once.applyOnce = 1;
  const int target = block.AddTarget(once);
  TargetRecord placeOnce = Placed(ChildRule("late"), 120, 80, kAnchorNear, kAnchorNear);
  placeOnce.applyOnce = 1;
  block.AddChildRule(target, placeOnce);
  TargetRecord disabled = RuleFor(kFrameClass);
  disabled.enabled = 0;
  const int second = block.AddTarget(disabled);
  block.AddChildRule(second, Placed(ChildRule("later"), 140, 90, kAnchorFar, kAnchorNear));

  block.Scan();
  ASSERT_EQ(block.Find(frame)->handled, 1);
  HWND late = Child("late");
  HWND later = Child("later");
  HWND client = ClientOf(late);
  RECT area = {};
  GetClientRect(client, &area);
  block.Scan();
  Box box = ClientBoxOf(client, late);
  EXPECT_EQ(box.x, 0);
  EXPECT_EQ(box.y, 0);
  EXPECT_EQ(box.width, 120);
  box = ClientBoxOf(client, later);
  EXPECT_EQ(box.x, area.right - 140);
  EXPECT_EQ(box.width, 140);
}

}  // namespace
