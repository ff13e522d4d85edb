// The apply pass on top-level windows of another process, against a work
// area of the test's own with a non-zero origin.
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include "monitor/Monitor.h"

namespace {

constexpr char kClass[] = "PlenaraApplyTop";
constexpr char kOtherClass[] = "PlenaraApplyOther";
constexpr RECT kArea = {100, 50, 900, 650};  // the box (100, 50, 800, 600)

TargetRecord Resize(const char* className, uint8_t widthMode, int32_t width, uint8_t heightMode, int32_t height) {
  TargetRecord r = RuleFor(className);
  r.sizeAction = kSizeSet;
  r.widthSpec.mode = widthMode;
  r.widthSpec.value = width;
  r.heightSpec.mode = heightMode;
  r.heightSpec.value = height;
  return r;
}

TargetRecord MoveTo(TargetRecord r, uint8_t xAnchor, uint8_t xKind, int32_t x, uint8_t yAnchor, uint8_t yKind,
                    int32_t y) {
  r.positionAction = kPositionSet;
  r.xSpec.anchor = xAnchor;
  r.xSpec.offsetKind = xKind;
  r.xSpec.value = x;
  r.ySpec.anchor = yAnchor;
  r.ySpec.offsetKind = yKind;
  r.ySpec.value = y;
  return r;
}

// x to `x` pixels from the near edge, nothing else.
TargetRecord MoveXTo(const char* className, int32_t x, uint8_t applyOnce) {
  TargetRecord r = MoveTo(RuleFor(className), kAnchorNear, kOffsetPixels, x, kAnchorKeep, 0, 0);
  r.applyOnce = applyOnce;
  return r;
}

void ExpectBox(HWND window, int32_t x, int32_t y, int32_t width, int32_t height) {
  const Box box = BoxOf(window);
  EXPECT_EQ(box.x, x);
  EXPECT_EQ(box.y, y);
  EXPECT_EQ(box.width, width);
  EXPECT_EQ(box.height, height);
}

void MoveXBy(HWND window, int32_t x) {
  SetWindowPos(window, nullptr, x, BoxOf(window).y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class Apply : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fixture.Ready()); }
  void TearDown() override { fixture.DestroyAll(); }

  TestBlock block;
  Fixture& fixture = SharedFixture();
  WorkAreaOverride area{kArea};
};

TEST_F(Apply, SizesAndPlacesAgainstTheWorkArea) {
  HWND window = fixture.Top(kClass, "w", Box{200, 120, 400, 300});
  ASSERT_NE(window, nullptr);
  // Width 300, height kept; flush with the far edge in x, y kept.
  block.AddTarget(MoveTo(Resize(kClass, kSizeAbsolute, 300, kSizeKeep, 0), kAnchorFar, kOffsetFlush, 0, kAnchorKeep,
                         0, 0));
  block.Scan();
  ExpectBox(window, 600, 120, 300, 300);
  ASSERT_NE(block.Find(window), nullptr);
  EXPECT_EQ(block.Find(window)->handled, 1);
}

TEST_F(Apply, PercentagesAndEdgeOffsets) {
  HWND a = fixture.Top(kClass, "a", Box{200, 120, 300, 200});
  HWND b = fixture.Top(kOtherClass, "b", Box{200, 120, 300, 200});
  // 50 % wide, 100 short of the height; 10 px in from the far edge (measured
  // from the extent alone), 10 % down from the near edge (from 0).
  block.AddTarget(MoveTo(Resize(kClass, kSizePercent, 50, kSizeExtentMinus, 100), kAnchorFar, kOffsetPixels, 10,
                         kAnchorNear, kOffsetPercent, 10));
  // Flush: near x at the origin, far y against the bottom of the work area.
  block.AddTarget(MoveTo(RuleFor(kOtherClass), kAnchorNear, kOffsetFlush, 0, kAnchorFar, kOffsetFlush, 0));
  block.Scan();
  ExpectBox(a, 390, 60, 400, 500);
  ExpectBox(b, 100, 450, 300, 200);
}

TEST_F(Apply, ALaterRuleStartsFromTheBoxAnEarlierOneSet) {
  HWND window = fixture.Top(kClass, "w", Box{200, 120, 400, 300});
  block.AddTarget(Resize(kClass, kSizeAbsolute, 250, kSizeAbsolute, 200));
  block.AddTarget(MoveTo(RuleFor(kClass), kAnchorFar, kOffsetFlush, 0, kAnchorFar, kOffsetFlush, 0));
  block.Scan();
  ExpectBox(window, 650, 450, 250, 200);
}

TEST_F(Apply, MaximizesAndMinimizes) {
  HWND big = fixture.Top(kClass, "big", Box{200, 120, 300, 200});
  HWND small = fixture.Top(kOtherClass, "small", Box{200, 120, 300, 200});
  TargetRecord maximize = MoveTo(RuleFor(kClass), kAnchorNear, kOffsetFlush, 0, kAnchorNear, kOffsetFlush, 0);
  maximize.sizeAction = kSizeMaximize;
  TargetRecord minimize = RuleFor(kOtherClass);
  minimize.sizeAction = kSizeMinimize;
  block.AddTarget(maximize);
  block.AddTarget(minimize);
  block.Scan();
  EXPECT_TRUE(WaitFor([&] { return IsZoomed(big) != 0; }, 5000));
  EXPECT_TRUE(WaitFor([&] { return IsIconic(small) != 0; }, 5000));
  EXPECT_EQ(block.Find(big)->handled, 1);
  EXPECT_EQ(block.Find(small)->handled, 1);
  // Moved first, then maximized: restored, it stands at the new position.
  ShowWindow(big, SW_RESTORE);
  ASSERT_TRUE(WaitFor([&] { return !IsZoomed(big); }, 5000));
  ExpectBox(big, 100, 50, 300, 200);
}

TEST_F(Apply, AMaximizedWindowIsNeitherMovedNorMarkedButStillActivated) {
  HWND zoomed = fixture.Top(kClass, "zoomed", Box{200, 120, 300, 200}, WS_MAXIMIZE);
  HWND other = fixture.Top(kOtherClass, "other", Box{200, 120, 300, 200}, WS_MAXIMIZE);
  ASSERT_TRUE(IsZoomed(zoomed));
  const Box before = BoxOf(zoomed);
  block.AddTarget(MoveTo(Resize(kClass, kSizeAbsolute, 100, kSizeAbsolute, 100), kAnchorNear, kOffsetFlush, 0,
                         kAnchorNear, kOffsetFlush, 0));
  TargetRecord activate = RuleFor(kOtherClass);
  activate.sizeAction = kSizeMinimize;
  activate.activate = 1;
  block.AddTarget(activate);
  block.Scan();
  ExpectBox(zoomed, before.x, before.y, before.width, before.height);
  EXPECT_TRUE(IsZoomed(zoomed));
  EXPECT_EQ(block.Find(zoomed)->handled, 0);
  EXPECT_TRUE(IsZoomed(other));
  EXPECT_EQ(block.Find(other)->handled, 1);
}

TEST_F(Apply, ActivateBringsABackgroundWindowForwardNotTopmost) {
  HWND target = fixture.Top(kClass, "target", Box{200, 120, 300, 200}, 0, WS_EX_TOPMOST);
  HWND front = fixture.Top(kOtherClass, "front", Box{250, 150, 300, 200});
  SetForegroundWindow(front);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front; }, 5000));
  TargetRecord activate = RuleFor(kClass);
  activate.activate = 1;
  block.AddTarget(activate);
  block.Scan();
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == target; }, 5000));
  EXPECT_EQ(GetWindowLongA(target, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(block.Find(target)->handled, 1);
  ExpectBox(target, 200, 120, 300, 200);
}

TEST_F(Apply, CloseClosesTheWindow) {
  HWND window = fixture.Top(kClass, "closing", Box{200, 120, 300, 200});
  TargetRecord close = RuleFor(kClass);
  close.close = 1;
  block.AddTarget(close);
  block.Scan();
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(window); }, 5000));
  block.Scan();
  EXPECT_EQ(block.Find(window), nullptr);
}

TEST_F(Apply, OnceOnlyRulesActOnceAndOnlyTheFirst) {
  HWND window = fixture.Top(kClass, "w", Box{300, 120, 300, 200});
  block.AddTarget(MoveXTo(kClass, 10, 1));
  block.AddTarget(MoveXTo(kClass, 200, 1));
  block.Scan();
  EXPECT_EQ(BoxOf(window).x, 10);
  EXPECT_EQ(block.Find(window)->handled, 1);
  MoveXBy(window, 400);
  block.Scan();
  EXPECT_EQ(BoxOf(window).x, 400);
}

TEST_F(Apply, AnEveryScanRulePutsTheWindowBack) {
  HWND window = fixture.Top(kClass, "w", Box{300, 120, 300, 200});
  block.AddTarget(MoveXTo(kClass, 10, 0));
  block.Scan();
  EXPECT_EQ(BoxOf(window).x, 10);
  MoveXBy(window, 400);
  block.Scan();
  EXPECT_EQ(BoxOf(window).x, 10);
}

TEST_F(Apply, ADestroyedAndRecreatedWindowIsHandledAgain) {
  block.AddTarget(MoveXTo(kClass, 10, 1));
  HWND first = fixture.Top(kClass, "w", Box{300, 120, 300, 200});
  block.Scan();
  EXPECT_EQ(BoxOf(first).x, 10);
  ASSERT_TRUE(fixture.Destroy(first));
  block.Scan();
  HWND second = fixture.Top(kClass, "w", Box{300, 120, 300, 200});
  block.Scan();
  EXPECT_EQ(BoxOf(second).x, 10);
}

TEST_F(Apply, DisabledRulesNeverActAndARuleWithNothingToDoStillMarks) {
  HWND window = fixture.Top(kClass, "w", Box{300, 120, 300, 200});
  TargetRecord disabled = MoveXTo(kClass, 10, 0);
  disabled.enabled = 0;
  TargetRecord nothing = RuleFor(kClass);
  nothing.applyOnce = 1;
  block.AddTarget(disabled);
  block.AddTarget(nothing);
  block.AddTarget(MoveXTo(kClass, 200, 1));
  block.Scan();
  EXPECT_EQ(BoxOf(window).x, 300);
  EXPECT_EQ(block.Find(window)->handled, 1);
}

TEST_F(Apply, AMinimizedWindowWaitsUntilItIsShownRestored) {
  HWND window = fixture.Top(kClass, "w", Box{300, 120, 300, 200}, WS_MINIMIZE);
  ASSERT_TRUE(IsIconic(window));
  block.AddTarget(MoveXTo(kClass, 10, 1));
  block.Scan();
  ASSERT_NE(block.Find(window), nullptr);
  EXPECT_EQ(block.Find(window)->handled, 0);
  ShowWindow(window, SW_RESTORE);
  ASSERT_TRUE(WaitFor([&] { return !IsIconic(window); }, 5000));
  block.Scan();
  EXPECT_EQ(BoxOf(window).x, 10);
  EXPECT_EQ(block.Find(window)->handled, 1);
}

TEST_F(Apply, AWorkAreaChangeReappliesOnlyExtentDependentOnceOnlyRules) {
  HWND half = fixture.Top(kClass, "half", Box{300, 120, 300, 200});
  HWND zoom = fixture.Top(kOtherClass, "zoom", Box{300, 120, 300, 200});
  TargetRecord percent = Resize(kClass, kSizePercent, 50, kSizeKeep, 0);
  percent.applyOnce = 1;
  TargetRecord maximize = RuleFor(kOtherClass);
  maximize.sizeAction = kSizeMaximize;
  maximize.applyOnce = 1;
  block.AddTarget(percent);
  block.AddTarget(maximize);
  block->activeSettings.reapplyOnWorkAreaChange = 1;

  block.Scan();
  EXPECT_EQ(BoxOf(half).width, 400);
  ASSERT_TRUE(WaitFor([&] { return IsZoomed(zoom) != 0; }, 5000));
  const auto setWidth = [&](int32_t width) {
    SetWindowPos(half, nullptr, 0, 0, width, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  };
  setWidth(250);
  ShowWindow(zoom, SW_RESTORE);
  ASSERT_TRUE(WaitFor([&] { return !IsZoomed(zoom); }, 5000));
  block.Scan();
  EXPECT_EQ(BoxOf(half).width, 250);

  // The scan that sees the change re-applies; the next one does not.
  ASSERT_TRUE(area.Set(RECT{0, 0, 1000, 700}));
  block.Scan();
  EXPECT_EQ(BoxOf(half).width, 500);
  EXPECT_FALSE(IsZoomed(zoom));
  setWidth(250);
  block.Scan();
  EXPECT_EQ(BoxOf(half).width, 250);

  // With the setting off nothing is re-applied.
  block->activeSettings.reapplyOnWorkAreaChange = 0;
  ASSERT_TRUE(area.Set(RECT{0, 0, 900, 700}));
  block.Scan();
  EXPECT_EQ(BoxOf(half).width, 250);
  EXPECT_FALSE(IsZoomed(zoom));
}

}  // namespace
