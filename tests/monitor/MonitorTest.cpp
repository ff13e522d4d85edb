// The apply pass and the monitor thread on real windows, mostly of another process.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "MonitorTestSupport.h"
#include "PlenaraInstance.h"
#include "monitor/Closing.h"
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
    StopClosing();
    FreeTrackedWindows();
    AttachBlock(previous_);
  }
  SharedBlock* operator->() { return &block_; }
  TargetRecord& RuleAt(int index) { return targets_[index].record; }
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
    SharedFixture().Sync();
  }

 private:
  SharedBlock block_ = {};
  SharedBlock* previous_;
  TargetEntry targets_[8] = {};
  TargetRecord children_[8][4] = {};
};

int OwnThreads() { return ThreadCount(GetCurrentProcessId()); }

// Stops the monitor thread from another thread. A stop that never returns
// would hold up the whole suite, so then the process ends at once, failed.
DWORD StopMilliseconds() {
  std::atomic<bool> done{false};
  const DWORD start = GetTickCount();
  std::thread stopper([&] {
    StopMonitorThread();
    done = true;
  });
  if (!WaitFor([&] { return done.load(); }, 8000)) {
    ADD_FAILURE() << "the stop did not return";
    std::fflush(stdout);
    SharedFixture().Kill();
    TerminateProcess(GetCurrentProcess(), 3);
  }
  stopper.join();
  return GetTickCount() - start;
}

int Entries(TrackedWindow* list, int32_t count, HWND window) {
  int n = 0;
  for (int32_t i = 0; i < count; ++i) n += list[i].hwnd == HandleValue(window);
  return n;
}

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
  EXPECT_EQ(OwnThreads(), before + 2);  // the monitor and its window events
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

// The real program, its monitor placing a window of another process that
// answers the probe and then waits in the move itself; it exits at once all
// the same, while new windows keep appearing.
TEST(Monitor, NeitherAWindowStuckInItsMoveNorNewWindowsHoldUpTheExit) {
  Fixture& fixture = SharedFixture();
  HWND stalling = fixture.Ready() ? fixture.Stalling("PlenaraStalling", "stalling", Box{300, 100, 200, 150}) : nullptr;
  ASSERT_NE(stalling, nullptr);
  PlenaraInstance plenara;
  const TargetRecord rule = MoveXRule("PlenaraStalling", 10);
  ASSERT_TRUE(WriteWholeFile(plenara.Dir().File("rules.bin"),
                             std::string(reinterpret_cast<const char*>(&rule), sizeof rule) + std::string(4, '\0')));
  plenara.Configure("rules", "rules.bin");
  plenara.Configure("monitoring", "1");
  plenara.Configure("interval", "100");
  ASSERT_TRUE(plenara.Start());
  EXPECT_TRUE(WaitFor([&] {
    DWORD_PTR result = 0;
    return !SendMessageTimeoutA(stalling, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result);
  }, 15000)) << "the move never reached the window";
  // The exit, while new windows keep waking the monitor.
  PostMessageA(plenara.MainWindow(), WM_CLOSE, 0, 0);
  fixture.Resume();
  const DWORD start = GetTickCount();
  DWORD code = STILL_ACTIVE;
  for (int i = 0; code == STILL_ACTIVE && GetTickCount() - start < 5000; ++i) {
    fixture.Top("PlenaraAppearing", "appearing", Box{300 + i % 50, 300, 200, 150});
    code = plenara.Process().WaitExit(0);
  }
  EXPECT_EQ(code, 0u);
  fixture.DestroyAll();
}

// The box a window asks its question in, once it shows.
HWND QuestionOf(HWND owner) {
  HWND box = nullptr;
  while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr) {
    if (GetWindow(box, GW_OWNER) == owner && IsWindowVisible(box)) return box;
  }
  return nullptr;
}

// An every-scan rule moves and closes a window that asks before it closes:
// while its question is open the window gets nothing, then the next scan
// acts again and asks again, once.
TEST(Monitor, AWindowAskingWhetherToCloseGetsNothingMoreUntilItIsAnswered) {
  TestBlock block;
  Fixture& fixture = SharedFixture();
  HWND asking = fixture.Asking("PlenaraAsking", "asking", Box{300, 100, 200, 150});
  ASSERT_TRUE(fixture.Ready() && asking);
  TargetRecord rule = MoveXRule("PlenaraAsking", 10);
  rule.close = 1;
  block.AddTarget(rule);
  block->activeSettings.monitorInterval = 100;
  const auto closes = [&] { return GetWindowLongPtrA(asking, GWLP_USERDATA); };
  StartMonitorThread();
  HWND question = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (question = QuestionOf(asking)) != nullptr; }));
  MoveXTo(asking, 300);
  EXPECT_FALSE(WaitFor([&] { return closes() > 1 || BoxOf(asking).x == 10; }, 1500));
  EXPECT_EQ(closes(), 1);
  EXPECT_EQ(BoxOf(asking).x, 300);
  PostMessageA(question, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitFor([&] { return closes() == 2 && (question = QuestionOf(asking)) != nullptr; }));
  EXPECT_EQ(BoxOf(asking).x, 10);
  EXPECT_FALSE(WaitFor([&] { return closes() > 2; }, 1000));
  PostMessageA(question, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(asking); }));
  EXPECT_EQ(StopMilliseconds() < 3000u, true);
}

constexpr char kWokenClass[] = "PlenaraWoken";

// At a long interval a window of another program is placed as it appears or
// as its title comes to match; one of this process wakes nothing; with -1
// nothing is placed, and the hook goes with the monitor thread.
TEST(Monitor, WindowsOfOtherProgramsWakeTheMonitorAndItsOwnDoNot) {
  TestBlock block;
  Fixture& fixture = SharedFixture();
  ASSERT_TRUE(fixture.Ready());
  TargetRecord rule = MoveXRule(kWokenClass, 10);
  rule.titleMatch = kMatchBegins;
  lstrcpyA(rule.titlePattern, "wake");
  block.AddTarget(rule);
  TargetRecord ownRule = MoveXRule("Static", 10);
  ownRule.titleMatch = kMatchEquals;
  lstrcpyA(ownRule.titlePattern, "wake own");
  block.AddTarget(ownRule);
  block->activeSettings.monitorInterval = 10000;
  const int before = OwnThreads();
  StartMonitorThread();
  HWND own = CreateWindowA("Static", "wake own", WS_OVERLAPPED | WS_VISIBLE, 300, 300, 160, 90, nullptr, nullptr,
                           nullptr, nullptr);
  EXPECT_FALSE(WaitFor([&] { return BoxOf(own).x == 10; }, 1500));
  HWND other = fixture.Top(kWokenClass, "wake up", Box{300, 100, 200, 150});
  DWORD start = GetTickCount();
  ASSERT_TRUE(WaitFor([&] { return BoxOf(other).x == 10; }, 3000));
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_TRUE(WaitFor([&] { return BoxOf(own).x == 10; }, 1000)) << "the woken scan passed over the own window";
  HWND renamed = fixture.Top(kWokenClass, "sleepy", Box{300, 200, 200, 150});
  EXPECT_FALSE(WaitFor([&] { return BoxOf(renamed).x == 10; }, 1000));
  ASSERT_TRUE(fixture.Rename(renamed, "wake now"));
  start = GetTickCount();
  ASSERT_TRUE(WaitFor([&] { return BoxOf(renamed).x == 10; }, 3000));
  EXPECT_LT(GetTickCount() - start, 1000u);
  // One more scan follows shortly, for a window shown after it was created;
  // then the monitor sleeps out its interval.
  MoveXTo(renamed, 300);
  EXPECT_TRUE(WaitFor([&] { return BoxOf(renamed).x == 10; }, 1500)) << "no follow-up scan";
  MoveXTo(renamed, 300);
  EXPECT_FALSE(WaitFor([&] { return BoxOf(renamed).x == 10; }, 1500)) << "a scan before the interval";
  StopMonitorThread();
  EXPECT_TRUE(WaitFor([&] { return OwnThreads() == before; }, 3000)) << "the hook outlived monitoring";
  block->activeSettings.monitorInterval = -1;
  StartMonitorThread();
  EXPECT_EQ(OwnThreads(), before + 1);
  HWND late = fixture.Top(kWokenClass, "wake late", Box{300, 100, 200, 150});
  EXPECT_FALSE(WaitFor([&] { return BoxOf(late).x == 10; }, 1500));
  EXPECT_LT(StopMilliseconds(), 3000u);
  DestroyWindow(own);
  fixture.DestroyAll();
}

constexpr char kIntervalClass[] = "PlenaraInterval";

TEST(Monitor, IntervalMinusOneNeverScansZeroNeverWaitsAndEveryStopIsPrompt) {
  TestBlock block;
  Fixture& fixture = SharedFixture();
  HWND window = fixture.Top(kIntervalClass, "interval", Box{300, 100, 200, 150});
  ASSERT_TRUE(fixture.Ready() && window);
  block.AddTarget(MoveXRule(kIntervalClass, 10));
  const struct { int32_t interval; bool placed; } kRows[] = {{-1, false}, {60000, false}, {0, true}, {100, true}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.interval);
    MoveXTo(window, 300);
    block->activeSettings.monitorInterval = row.interval;
    StartMonitorThread();
    EXPECT_EQ(WaitFor([&] { return BoxOf(window).x == 10; }, row.placed ? 15000 : 1000), row.placed);
    EXPECT_LT(StopMilliseconds(), 3000u);
  }
  fixture.DestroyAll();
}

constexpr char kTrackClass[] = "PlenaraTrackTop";
constexpr char kTrackFrame[] = "PlenaraTrackFrame";

TEST(Monitor, EachWindowIsTrackedOnceAndWhatVanishesIsDropped) {
  TestBlock block;
  Fixture& fixture = SharedFixture();
  HWND top = fixture.Top(kTrackClass, "tracked", Box{300, 100, 200, 150});
  HWND frame = fixture.MdiFrame(kTrackFrame, "frame", Box{50, 50, 500, 400});
  HWND first = frame ? fixture.MdiChild(frame, "PlenaraTrackKid", "one", Box{10, 10, 150, 100}) : nullptr;
  HWND second = frame ? fixture.MdiChild(frame, "PlenaraTrackKid", "two", Box{40, 40, 150, 100}) : nullptr;
  ASSERT_TRUE(top && frame && first && second);
  const auto entries = [&](HWND window) {
    return Entries(PointerOf<TrackedWindow>(block->tracked), block->trackedCount, window);
  };
  const auto children = [&] { return block.Find(frame)->childCount; };
  block.Scan();
  block.Scan();
  EXPECT_EQ(entries(top), 1);
  ASSERT_EQ(entries(frame), 1);
  EXPECT_EQ(children(), 2);
  EXPECT_EQ(block.Find(frame)->mdiClient, HandleValue(GetParent(first)));
  // A closed MDI child, then the MDI client itself, then a top-level window.
  ASSERT_TRUE(fixture.Destroy(first));
  block.Scan();
  ASSERT_EQ(children(), 1);
  EXPECT_EQ(PointerOf<TrackedChild>(block.Find(frame)->children)->hwnd, HandleValue(second));
  ASSERT_TRUE(fixture.Destroy(GetParent(second)));
  block.Scan();
  EXPECT_EQ(children(), 0);
  ASSERT_TRUE(fixture.Destroy(top));
  block.Scan();
  EXPECT_EQ(entries(top), 0);
  EXPECT_EQ(entries(frame), 1);
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
  // 50 % wide, 100 short of the height; 10 px in from the far edge, 10 %
  // down from the near edge, both from the work area's own edges.
  TargetRecord rule = Placed(RuleFor(kOnceClass), {kSizePercent, {}, 50}, {kSizeExtentMinus, {}, 100},
                             {kAnchorFar, kOffsetPixels, {}, 10}, {kAnchorNear, kOffsetPercent, {}, 10});
  rule.applyOnce = 1;
  block.AddTarget(rule);
  // Flush: near x at the origin, far y against the bottom of the work area.
  block.AddTarget(Placed(RuleFor(kEveryClass), {kSizeKeep, {}, 0}, {kSizeKeep, {}, 0},
                         {kAnchorNear, kOffsetFlush, {}, 0}, {kAnchorFar, kOffsetFlush, {}, 0}));
  block.Scan();
  EXPECT_EQ(BoxOf(once), (Box{490, 110, 400, 500}));
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
  // A change of the height alone is a change too.
  ASSERT_TRUE(SetWorkArea(RECT{0, 0, 1000, 600}));
  block.Scan();
  EXPECT_EQ(BoxOf(once), (Box{490, 60, 500, 500}));
}

constexpr char kEdgeClass[] = "PlenaraEdges";

// The taskbar on the left and at the top: the work area starts at (60, 40).
TEST_F(Apply, EveryAnchorAndOffsetCountsFromTheWorkAreasOwnEdges) {
  ASSERT_TRUE(SetWorkArea(RECT{60, 40, 1024, 768}));
  HWND window = fixture.Top(kEdgeClass, "edges", Box{300, 300, 200, 150});
  ASSERT_NE(window, nullptr);
  block.AddTarget(RuleFor(kEdgeClass));
  const PositionSpec keep = {kAnchorKeep, kOffsetFlush, {}, 0};
  // Extents 964 x 728; the window is 200 x 150. 10 % is 96 across, 73 down.
  const struct { const char* label; PositionSpec x, y; Box want; } kRows[] = {
      {"left flush", {kAnchorNear, kOffsetFlush, {}, 0}, keep, {60, 300, 200, 150}},
      {"left 10 px", {kAnchorNear, kOffsetPixels, {}, 10}, keep, {70, 300, 200, 150}},
      {"left 10 %", {kAnchorNear, kOffsetPercent, {}, 10}, keep, {156, 300, 200, 150}},
      {"right flush", {kAnchorFar, kOffsetFlush, {}, 0}, keep, {824, 300, 200, 150}},
      {"right 10 px", {kAnchorFar, kOffsetPixels, {}, 10}, keep, {814, 300, 200, 150}},
      {"right 10 %", {kAnchorFar, kOffsetPercent, {}, 10}, keep, {728, 300, 200, 150}},
      {"top flush", keep, {kAnchorNear, kOffsetFlush, {}, 0}, {300, 40, 200, 150}},
      {"top 10 px", keep, {kAnchorNear, kOffsetPixels, {}, 10}, {300, 50, 200, 150}},
      {"top 10 %", keep, {kAnchorNear, kOffsetPercent, {}, 10}, {300, 113, 200, 150}},
      {"bottom flush", keep, {kAnchorFar, kOffsetFlush, {}, 0}, {300, 618, 200, 150}},
      {"bottom 10 px", keep, {kAnchorFar, kOffsetPixels, {}, 10}, {300, 608, 200, 150}},
      {"bottom 10 %", keep, {kAnchorFar, kOffsetPercent, {}, 10}, {300, 545, 200, 150}},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.label);
    MoveWindow(window, 300, 300, 200, 150, TRUE);
    block.RuleAt(0) = Placed(RuleFor(kEdgeClass), {}, {}, row.x, row.y);
    block.RuleAt(0).sizeAction = kSizeNone;
    block.Scan();
    EXPECT_TRUE(WaitFor([&] { return BoxOf(window) == row.want; }, 3000));
  }
}

constexpr char kActClass[] = "PlenaraAct";
constexpr char kActFrame[] = "PlenaraActFrame";

TargetRecord Titled(const char* className, const char* title) {
  TargetRecord r = RuleFor(className);
  r.titleMatch = kMatchEquals;
  lstrcpyA(r.titlePattern, title);
  return r;
}

// Each action once on a top-level window and once on an MDI child (the MDI
// messages go to the client); a maximized window is neither moved nor marked.
TEST_F(Apply, MaximizeMinimizeActivateAndCloseAndAZoomedWindowIsLeftAlone) {
  struct Row { const char* title; uint8_t sizeAction, activate, close; };
  // Windows made first come last in the pass: the activation must not be
  // followed by a maximize, which activates too.
  const Row kRows[] = {{"front", kSizeNone, 1, 0}, {"shut", kSizeNone, 0, 1}, {"min", kSizeMinimize, 0, 0},
                       {"max", kSizeMaximize, 0, 0}};
  HWND tops[4] = {};
  HWND frames[2] = {fixture.MdiFrame(kActFrame, "a", Box{100, 300, 400, 300}),
                    fixture.MdiFrame(kActFrame, "b", Box{500, 300, 400, 300})};
  ASSERT_TRUE(frames[0] && frames[1]);
  HWND kids[4] = {};
  const int frameTarget = block.AddTarget(RuleFor(kActFrame));
  for (int i = 0; i < 4; ++i) {
    tops[i] = fixture.Top(kActClass, kRows[i].title, Box{150 + 40 * i, 100, 200, 150});
    // The maximized child gets a frame of its own: MDI maximizes whichever child is active in it.
    kids[i] = fixture.MdiChild(frames[i == 3], "PlenaraActKid", kRows[i].title, Box{10 + 20 * i, 10, 120, 90});
    ASSERT_TRUE(tops[i] && kids[i]) << i;
    TargetRecord rule = Titled(kActClass, kRows[i].title);
    rule.sizeAction = kRows[i].sizeAction;
    rule.activate = kRows[i].activate;
    rule.close = kRows[i].close;
    block.AddTarget(rule);
    std::snprintf(rule.classPattern, sizeof rule.classPattern, "PlenaraActKid");
    block.AddChildRule(frameTarget, rule);
  }
  HWND zoomed = fixture.Top(kActClass, "zoomed", Box{150, 100, 200, 150});
  ASSERT_NE(zoomed, nullptr);
  ShowWindow(zoomed, SW_MAXIMIZE);
  ASSERT_TRUE(WaitFor([&] { return IsZoomed(zoomed) != 0; }));
  const Box zoomedBox = BoxOf(zoomed);
  TargetRecord move = Placed(Titled(kActClass, "zoomed"), {kSizeAbsolute, {}, 100}, {kSizeAbsolute, {}, 100},
                             {kAnchorNear, kOffsetFlush, {}, 0}, {kAnchorNear, kOffsetFlush, {}, 0});
  block.AddTarget(move);
  block.Scan();
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(tops[1]); }));
  EXPECT_TRUE(WaitFor([&] { return IsIconic(tops[2]) != 0; }));
  EXPECT_TRUE(WaitFor([&] { return IsZoomed(tops[3]) != 0; }));
  HWND client = GetParent(kids[0]);
  EXPECT_TRUE(WaitFor([&] { return reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0)) == kids[0]; }));
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(kids[1]); }));
  EXPECT_TRUE(WaitFor([&] { return IsIconic(kids[2]) != 0; }));
  EXPECT_TRUE(WaitFor([&] { return IsZoomed(kids[3]) != 0; }));
  EXPECT_TRUE(IsZoomed(zoomed));
  EXPECT_EQ(BoxOf(zoomed), zoomedBox);
  EXPECT_EQ(block.Find(zoomed)->handled, 0);
  EXPECT_EQ(block.Find(tops[3])->handled, 1);
  // The next pass has nothing left to do but the activation, which lowers
  // the system's foreground lock time-out for a moment only.
  UINT savedLock = 0;
  SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &savedLock, 0);
  ASSERT_TRUE(SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(123456), 0));
  block.Scan();
  UINT lock = 0;
  SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &lock, 0);
  SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(savedLock)), 0);
  EXPECT_EQ(lock, 123456u);
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == tops[0]; }));
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
  // A rule for any child comes first; the control inside an MDI child is no MDI child.
  HWND button = fixture.Button(first, "press", Box{5, 5, 60, 20});
  ASSERT_NE(button, nullptr);
  TargetRecord anyChild = {};
  anyChild.enabled = 1;
  anyChild.sizeAction = kSizeSet;
  anyChild.widthSpec = {kSizeAbsolute, {}, 100};
  anyChild.heightSpec = {kSizeAbsolute, {}, 80};
  block.AddChildRule(target, anyChild);
  block.AddChildRule(target, ChildRule("first", 200, 100, kAnchorNear, kAnchorFar));
  block.AddChildRule(target, ChildRule("late", 180, 90, kAnchorFar, kAnchorNear));
  RECT inside = {};
  GetClientRect(client, &inside);
  block.Scan();
  EXPECT_EQ(ClientBoxOf(client, first), (Box{0, inside.bottom - 100, 200, 100}));
  EXPECT_EQ(ClientBoxOf(first, button), (Box{5, 5, 60, 20}));
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
