// The apply pass and the monitor thread on real windows, mostly of another process.
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include "monitor/Monitor.h"
#include "monitor/SystemLeadBytes.h"
#include "monitor/Tracked.h"
#include "monitor/Tracking.h"
#include "monitor/WorkArea.h"

namespace {

// A zeroed block with the test's rules, attached for the test's lifetime; at
// the end the monitor thread is stopped and the tracked list freed.
class TestBlock {
 public:
  TestBlock() : previous_(Block()) {
    LoadSystemLeadBytes();
    AttachBlock(&block_);
  }
  ~TestBlock() {
    StopMonitorThread();
    FreeTrackedWindows();
    AttachBlock(previous_);
  }
  SharedBlock* operator->() { return &block_; }
  int AddTarget(const TargetRecord& record) {
    targets_[block_.NumOfTargets].record = record;
    block_.targets = PointerValue(targets_);
    return block_.NumOfTargets++;
  }
  void AddChildRule(int parent, const TargetRecord& rule) {
    TargetEntry& target = targets_[parent];
    children_[parent][target.NumOfChildren++] = rule;
    target.children = PointerValue(children_[parent]);
  }
  TrackedWindow* Find(HWND window) {
    TrackedWindow* list = PointerOf<TrackedWindow>(block_.tracked);
    for (int32_t i = 0; i < block_.trackedCount; ++i) {
      if (list[i].hwnd == HandleValue(window)) return &list[i];
    }
    return nullptr;
  }
  // One scan on this thread, as the monitor thread runs it.
  void Scan() {
    ClearSeenFlags();
    EnumWindows(TrackTopLevelWindow, 0);
    PruneTrackedWindows();
    UpdateWorkArea();
    ApplyTargets();
  }

 private:
  SharedBlock block_ = {};
  SharedBlock* previous_;
  TargetEntry targets_[4] = {};
  TargetRecord children_[4][4] = {};
};

int OwnThreads() { return ThreadCount(GetCurrentProcessId()); }

constexpr char kStuckClass[] = "PlenaraHangStuck";
constexpr char kOwnClass[] = "Static";
// A double-byte character whose second byte is an ASCII backslash (CP932).
constexpr char kOwnTitle[] = "\x91\x8b\x95\x5c";

TEST(Monitor, AHungWindowWedgesNeitherTheScansNorTheStopAndNoThreadIsLeft) {
  TestBlock block;
  Fixture& fixture = SharedFixture();
  HWND hung = fixture.Top(kStuckClass, "stuck", Box{300, 100, 200, 150});
  // A window of the stopping thread itself; its title is read from the
  // monitor thread without a message and must keep its characters whole.
  HWND own = CreateWindowA(kOwnClass, kOwnTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 200, 150, nullptr,
                           nullptr, nullptr, nullptr);
  ASSERT_TRUE(fixture.Ready() && hung && own);
  // The stuck window's rule comes first, so each pass meets it before the other.
  block.AddTarget(MoveXRule(kStuckClass, 10));
  TargetRecord rule = MoveXRule(kOwnClass, 20);
  rule.titleMatch = kMatchEquals;
  lstrcpyA(rule.titlePattern, kOwnTitle);
  block.AddTarget(rule);
  block->activeSettings.monitorInterval = 100;
  ASSERT_TRUE(fixture.Hang());
  const int before = OwnThreads();
  StartMonitorThread();
  StartMonitorThread();
  EXPECT_EQ(OwnThreads(), before + 1);
  EXPECT_TRUE(WaitFor([&] { return BoxOf(own).x == 20; }, 15000));
  // Pass after pass goes on while the stuck window hangs.
  MoveXTo(own, 400);
  EXPECT_TRUE(WaitFor([&] { return BoxOf(own).x == 20; }, 15000));
  const DWORD start = GetTickCount();
  StopMonitorThread();
  EXPECT_LT(GetTickCount() - start, 4000u);
  EXPECT_TRUE(WaitFor([&] { return OwnThreads() == before; }, 3000));
  EXPECT_EQ(BoxOf(hung).x, 300);
  ASSERT_NE(block.Find(hung), nullptr);
  EXPECT_EQ(block.Find(hung)->handled, 0);
  // Answering again, it is handled.
  fixture.Resume();
  StartMonitorThread();
  EXPECT_TRUE(WaitFor([&] { return BoxOf(hung).x == 10; }, 15000));
  StopMonitorThread();
  EXPECT_EQ(block.Find(hung)->handled, 1);
  DestroyWindow(own);
  fixture.DestroyAll();
}

constexpr char kOnceClass[] = "PlenaraApplyOnce";
constexpr char kEveryClass[] = "PlenaraApplyEvery";
constexpr char kFrameClass[] = "PlenaraApplyFrame";
constexpr char kChildClass[] = "PlenaraApplyKid";

TargetRecord Placed(TargetRecord r, SizeSpec width, SizeSpec height, PositionSpec x, PositionSpec y) {
  r.sizeAction = kSizeSet;
  r.widthSpec = width;
  r.heightSpec = height;
  r.positionAction = kPositionSet;
  r.xSpec = x;
  r.ySpec = y;
  return r;
}

// The work area is this process's own (the one the monitor reads); each test
// starts with the box (100, 50, 800, 600).
class Apply : public ::testing::Test {
 protected:
  void SetUp() override {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &saved, 0);
    ASSERT_TRUE(SetWorkArea(RECT{100, 50, 900, 650}) && fixture.Ready());
  }
  void TearDown() override {
    fixture.DestroyAll();
    SetWorkArea(saved);
  }
  bool SetWorkArea(RECT area) { return SystemParametersInfoA(SPI_SETWORKAREA, 0, &area, 0) != 0; }

  TestBlock block;
  Fixture& fixture = SharedFixture();
  RECT saved = {};
};

TEST_F(Apply, PlacesAgainstTheWorkAreaOnceOnlyOrEveryScanAndAgainWhenTheAreaChanges) {
  HWND once = fixture.Top(kOnceClass, "once", Box{200, 120, 300, 200});
  HWND every = fixture.Top(kEveryClass, "every", Box{200, 120, 300, 200});
  ASSERT_TRUE(once && every);
  // 50 % wide, 100 short of the height; 10 px in from the far edge (measured
  // from the extent alone), 10 % down from the near edge (from 0).
  TargetRecord rule = Placed(RuleFor(kOnceClass), {kSizePercent, {}, 50}, {kSizeExtentMinus, {}, 100},
                             {kAnchorFar, kOffsetPixels, {}, 10}, {kAnchorNear, kOffsetPercent, {}, 10});
  rule.applyOnce = 1;
  block.AddTarget(rule);
  // Flush: near x at the origin, far y against the bottom of the work area.
  block.AddTarget(Placed(RuleFor(kEveryClass), {kSizeKeep, {}, 0}, {kSizeKeep, {}, 0},
                         {kAnchorNear, kOffsetFlush, {}, 0}, {kAnchorFar, kOffsetFlush, {}, 0}));
  block.Scan();
  EXPECT_EQ(BoxOf(once), (Box{390, 60, 400, 500}));
  EXPECT_EQ(BoxOf(every), (Box{100, 450, 300, 200}));
  EXPECT_EQ(block.Find(once)->handled, 1);
  EXPECT_EQ(block.Find(every)->handled, 1);

  MoveXTo(once, 250);
  MoveXTo(every, 250);
  block.Scan();
  EXPECT_EQ(BoxOf(once).x, 250);
  EXPECT_EQ(BoxOf(every).x, 100);

  // The scan that sees the work area change re-applies; the next one does not.
  block->activeSettings.reapplyOnWorkAreaChange = 1;
  ASSERT_TRUE(SetWorkArea(RECT{0, 0, 1000, 700}));
  block.Scan();
  EXPECT_EQ(BoxOf(once), (Box{490, 70, 500, 600}));
  MoveXTo(once, 250);
  block.Scan();
  EXPECT_EQ(BoxOf(once).x, 250);
}

TargetRecord ChildRule(const char* title, int32_t width, int32_t height, uint8_t xAnchor, uint8_t yAnchor) {
  TargetRecord r = RuleFor(kChildClass);
  r.titleMatch = kMatchEquals;
  lstrcpyA(r.titlePattern, title);
  return Placed(r, {kSizeAbsolute, {}, width}, {kSizeAbsolute, {}, height}, {xAnchor, kOffsetFlush, {}, 0},
                {yAnchor, kOffsetFlush, {}, 0});
}

TEST_F(Apply, MdiChildrenArePlacedInTheClientsCoordinatesAlsoAfterTheFrameWasHandled) {
  HWND frame = fixture.MdiFrame(kFrameClass, "frame", Box{50, 50, 700, 550});
  HWND first = fixture.MdiChild(frame, kChildClass, "first", Box{40, 40, 150, 120});
  ASSERT_TRUE(frame && first);
  HWND client = GetParent(first);
  TargetRecord frameRule = RuleFor(kFrameClass);
  frameRule.applyOnce = 1;
  const int target = block.AddTarget(frameRule);
  block.AddChildRule(target, ChildRule("first", 200, 100, kAnchorNear, kAnchorFar));
  block.AddChildRule(target, ChildRule("late", 180, 90, kAnchorFar, kAnchorNear));
  RECT inside = {};
  GetClientRect(client, &inside);
  block.Scan();
  EXPECT_EQ(ClientBoxOf(client, first), (Box{0, inside.bottom - 100, 200, 100}));
  ASSERT_EQ(block.Find(frame)->childCount, 1);
  EXPECT_EQ(PointerOf<TrackedChild>(block.Find(frame)->children)->handled, 1);
  // The frame's own rule had nothing to do: marked, not moved.
  EXPECT_EQ(block.Find(frame)->handled, 1);
  EXPECT_EQ(BoxOf(frame), (Box{50, 50, 700, 550}));

  HWND late = fixture.MdiChild(frame, kChildClass, "late", Box{40, 40, 150, 120});
  ASSERT_NE(late, nullptr);
  GetClientRect(client, &inside);
  block.Scan();
  EXPECT_EQ(ClientBoxOf(client, late), (Box{inside.right - 180, 0, 180, 90}));
}

}  // namespace
