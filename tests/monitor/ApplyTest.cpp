// The apply pass on windows of another process: top-level windows against a
// work area of the test's own with a non-zero origin, and MDI children
// placed in their client's coordinates and handled through the client.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "MonitorTestSupport.h"
#include "monitor/Foreground.h"
#include "monitor/Monitor.h"

namespace {

constexpr char kA[] = "PlenaraApplyA";
constexpr char kB[] = "PlenaraApplyB";
constexpr char kC[] = "PlenaraApplyC";
constexpr RECT kArea = {100, 50, 900, 650};  // the box (100, 50, 800, 600)

TargetRecord Resize(TargetRecord r, uint8_t widthMode, int32_t width, uint8_t heightMode, int32_t height) {
  r.sizeAction = kSizeSet;
  r.widthSpec = SizeSpec{widthMode, {}, width};
  r.heightSpec = SizeSpec{heightMode, {}, height};
  return r;
}

TargetRecord MoveTo(TargetRecord r, uint8_t xAnchor, uint8_t xKind, int32_t x, uint8_t yAnchor, uint8_t yKind,
                    int32_t y) {
  r.positionAction = kPositionSet;
  r.xSpec = PositionSpec{xAnchor, xKind, {}, x};
  r.ySpec = PositionSpec{yAnchor, yKind, {}, y};
  return r;
}

TargetRecord Once(TargetRecord r) {
  r.applyOnce = 1;
  return r;
}

UINT LockTimeout() {
  UINT value = 0;
  SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &value, 0);
  return value;
}

void SetLockTimeout(UINT value) {
  SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(value)), 0);
}

bool IsAbove(HWND upper, HWND lower) {
  for (HWND w = GetWindow(lower, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV)) {
    if (w == upper) return true;
  }
  return false;
}

class Apply : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fixture.Ready()); }
  void TearDown() override { fixture.DestroyAll(); }
  HWND Top(const char* className, DWORD style = 0, DWORD exStyle = 0) {
    return fixture.Top(className, className, Box{200, 120, 300, 200}, style, exStyle);
  }

  TestBlock block;
  Fixture& fixture = SharedFixture();
  WorkAreaOverride area{kArea};
};

TEST_F(Apply, SizesAndPlacesAgainstTheWorkAreaEachRuleFromTheLastBox) {
  HWND a = Top(kA);
  HWND b = Top(kB);
  HWND c = Top(kC);
  ASSERT_TRUE(a && b && c);
  // 50 % wide, 100 short of the height; 10 px in from the far edge (measured
  // from the extent alone), 10 % down from the near edge (from 0).
  block.AddTarget(MoveTo(Resize(RuleFor(kA), kSizePercent, 50, kSizeExtentMinus, 100), kAnchorFar, kOffsetPixels, 10,
                         kAnchorNear, kOffsetPercent, 10));
  // Flush: near x at the origin, far y against the bottom of the work area.
  block.AddTarget(MoveTo(RuleFor(kB), kAnchorNear, kOffsetFlush, 0, kAnchorFar, kOffsetFlush, 0));
  // A later rule starts from the box an earlier one set.
  block.AddTarget(Resize(RuleFor(kC), kSizeAbsolute, 250, kSizeKeep, 0));
  block.AddTarget(MoveTo(RuleFor(kC), kAnchorFar, kOffsetFlush, 0, kAnchorKeep, 0, 0));
  block.Scan();
  EXPECT_EQ(BoxOf(a), (Box{390, 60, 400, 500}));
  EXPECT_EQ(BoxOf(b), (Box{100, 450, 300, 200}));
  EXPECT_EQ(BoxOf(c), (Box{650, 120, 250, 200}));
  for (HWND w : {a, b, c}) EXPECT_EQ(block.Find(w)->handled, 1);
}

TEST_F(Apply, MaximizesAndMinimizesButLeavesAMaximizedWindowInPlace) {
  HWND big = Top(kA);
  HWND small = Top(kB);
  HWND zoomed = Top(kC, WS_MAXIMIZE);
  ASSERT_TRUE(IsZoomed(zoomed));
  const Box zoomedBox = BoxOf(zoomed);
  TargetRecord maximize = MoveTo(RuleFor(kA), kAnchorNear, kOffsetFlush, 0, kAnchorNear, kOffsetFlush, 0);
  maximize.sizeAction = kSizeMaximize;
  TargetRecord minimize = RuleFor(kB);
  minimize.sizeAction = kSizeMinimize;
  block.AddTarget(maximize);
  block.AddTarget(minimize);
  block.AddTarget(Resize(RuleFor(kC), kSizeAbsolute, 100, kSizeAbsolute, 100));
  block.Scan();
  EXPECT_TRUE(WaitFor([&] { return IsZoomed(big) != 0; }, 5000));
  EXPECT_TRUE(WaitFor([&] { return IsIconic(small) != 0; }, 5000));
  EXPECT_EQ(block.Find(big)->handled, 1);
  EXPECT_EQ(block.Find(small)->handled, 1);
  // A maximized window is neither moved nor marked.
  EXPECT_EQ(BoxOf(zoomed), zoomedBox);
  EXPECT_TRUE(IsZoomed(zoomed));
  EXPECT_EQ(block.Find(zoomed)->handled, 0);
  // Moved first, then maximized: restored, it stands at the new position.
  ShowWindow(big, SW_RESTORE);
  ASSERT_TRUE(WaitFor([&] { return !IsZoomed(big); }, 5000));
  EXPECT_EQ(BoxOf(big), (Box{100, 50, 300, 200}));
}

TEST_F(Apply, ActivateBringsAMaximizedTopmostWindowForwardNotTopmostAndCloseCloses) {
  HWND target = Top(kA, WS_MAXIMIZE, WS_EX_TOPMOST);
  HWND front = Top(kB);
  HWND closing = Top(kC);
  SetForegroundWindow(front);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front; }, 5000));
  const UINT savedTimeout = LockTimeout();
  SetLockTimeout(123456);
  TargetRecord activate = RuleFor(kA);
  activate.sizeAction = kSizeMinimize;  // not done to a maximized window
  activate.activate = 1;
  TargetRecord close = RuleFor(kC);
  close.close = 1;
  block.AddTarget(activate);
  block.AddTarget(close);
  block.Scan();
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == target && !IsWindow(closing); }, 5000));
  EXPECT_EQ(GetWindowLongA(target, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_TRUE(IsAbove(target, front));
  EXPECT_TRUE(IsZoomed(target));
  EXPECT_EQ(block.Find(target)->handled, 1);
  // The system's lock time-out is put back.
  EXPECT_EQ(LockTimeout(), 123456u);
  SetLockTimeout(savedTimeout);
  block.Scan();
  EXPECT_EQ(block.Find(closing), nullptr);

  // Forcing the foreground window changes nothing; a minimized one stays so.
  ForceForeground(target);
  EXPECT_EQ(GetForegroundWindow(), target);
  HWND iconic = Top(kB, WS_MINIMIZE);
  ForceForeground(iconic);
  EXPECT_TRUE(IsIconic(iconic));
}

TEST_F(Apply, OnceOnlyRulesActOnceAndOnlyTheFirstEveryScanRulesAlways) {
  HWND once = Top(kA);
  HWND every = Top(kB);
  HWND nothing = Top(kC);
  TargetRecord disabled = MoveXRule(kA, 10);
  disabled.enabled = 0;
  block.AddTarget(disabled);
  block.AddTarget(Once(MoveXRule(kA, 50)));
  block.AddTarget(Once(MoveXRule(kA, 200)));
  block.AddTarget(MoveXRule(kB, 10));
  // A rule with nothing to do still marks the window.
  block.AddTarget(Once(RuleFor(kC)));
  block.AddTarget(Once(MoveXRule(kC, 10)));
  block.Scan();
  EXPECT_EQ(BoxOf(once).x, 50);
  EXPECT_EQ(BoxOf(every).x, 10);
  EXPECT_EQ(BoxOf(nothing).x, 200);
  EXPECT_EQ(block.Find(once)->handled, 1);
  EXPECT_EQ(block.Find(nothing)->handled, 1);
  for (HWND w : {once, every}) MoveXTo(w, 400);
  block.Scan();
  EXPECT_EQ(BoxOf(once).x, 400);
  EXPECT_EQ(BoxOf(every).x, 10);
}

TEST_F(Apply, AMinimizedWindowWaitsUntilItIsShownRestored) {
  HWND window = Top(kA, WS_MINIMIZE);
  ASSERT_TRUE(IsIconic(window));
  block.AddTarget(Once(MoveXRule(kA, 10)));
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
  HWND half = Top(kA);
  HWND zoom = Top(kB);
  TargetRecord maximize = Once(RuleFor(kB));
  maximize.sizeAction = kSizeMaximize;
  block.AddTarget(Once(Resize(RuleFor(kA), kSizePercent, 50, kSizeKeep, 0)));
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
}

constexpr char kFrameClass[] = "PlenaraApplyFrame";
constexpr char kChildClass[] = "PlenaraApplyKid";

TargetRecord ChildRule(const char* title) {
  TargetRecord r = RuleFor(kChildClass);
  r.titleMatch = kMatchEquals;
  std::snprintf(r.titlePattern, sizeof r.titlePattern, "%s", title);
  return r;
}

TargetRecord Placed(TargetRecord r, int32_t width, int32_t height, uint8_t xAnchor, uint8_t yAnchor) {
  return MoveTo(Resize(r, kSizeAbsolute, width, kSizeAbsolute, height), xAnchor, kOffsetFlush, 0, yAnchor,
                kOffsetFlush, 0);
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

  TestBlock block;
  Fixture& fixture = SharedFixture();
  HWND frame = nullptr;
};

TEST_F(ApplyMdi, ChildrenArePlacedInTheClientsCoordinates) {
  HWND left = Child("left");
  HWND right = Child("right");
  ASSERT_TRUE(left && right);
  HWND client = GetParent(left);
  RECT area = {};
  GetClientRect(client, &area);

  const int target = block.AddTarget(RuleFor(kFrameClass));
  block.AddChildRule(target, Placed(ChildRule("left"), 200, 100, kAnchorNear, kAnchorFar));
  block.AddChildRule(target, Placed(ChildRule("right"), 180, 90, kAnchorFar, kAnchorNear));
  block.Scan();

  EXPECT_EQ(ClientBoxOf(client, left), (Box{0, area.bottom - 100, 200, 100}));
  EXPECT_EQ(ClientBoxOf(client, right), (Box{area.right - 180, 0, 180, 90}));
  EXPECT_EQ(block.FindChild(frame, left)->handled, 1);
  EXPECT_EQ(block.FindChild(frame, right)->handled, 1);
  // The frame's own target had nothing to do; it is marked, not moved.
  EXPECT_EQ(block.Find(frame)->handled, 1);
  EXPECT_EQ(BoxOf(frame), (Box{50, 50, 700, 550}));
}

TEST_F(ApplyMdi, MaximizeActivateAndCloseGoThroughTheClient) {
  HWND first = Child("first");
  HWND doomed = Child("doomed");
  HWND last = Child("last");
  HWND client = GetParent(first);
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
  const int target = block.AddTarget(Once(RuleFor(kFrameClass)));
  block.AddChildRule(target, Once(Placed(ChildRule("late"), 120, 80, kAnchorNear, kAnchorNear)));
  TargetRecord disabled = RuleFor(kFrameClass);
  disabled.enabled = 0;
  const int second = block.AddTarget(disabled);
  block.AddChildRule(second, Placed(ChildRule("later"), 140, 90, kAnchorFar, kAnchorNear));

  block.Scan();
  ASSERT_EQ(block.Find(frame)->handled, 1);
  HWND late = Child("late");
  HWND later = Child("later");
  HWND client = GetParent(late);
  RECT area = {};
  GetClientRect(client, &area);
  block.Scan();
  EXPECT_EQ(ClientBoxOf(client, late), (Box{0, 0, 120, 80}));
  EXPECT_EQ(ClientBoxOf(client, later), (Box{area.right - 140, 0, 140, 90}));
}

}  // namespace
