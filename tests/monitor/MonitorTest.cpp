// The apply pass and the monitor thread on real windows, mostly of another process.
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include "PlenaraInstance.h"
#include "monitor/Closing.h"
#include "monitor/Monitor.h"
#include "monitor/SystemLeadBytes.h"
#include "monitor/Tracked.h"
#include "monitor/Tracking.h"
#include "monitor/WorkArea.h"

namespace {

// The work area is this process's own, the one the monitor reads.
bool SetWorkArea(RECT area) { return SystemParametersInfoA(SPI_SETWORKAREA, 0, &area, 0) != 0; }

// A zeroed block with the test's rules, attached for the test's lifetime; at
// the end the monitor thread is stopped, the tracked list freed, the windows
// made destroyed and the work area put back.
class TestBlock {
 public:
  TestBlock() : previous_(Block()) {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &savedArea_, 0);
    LoadSystemLeadBytes();
    AttachBlock(&block_);
  }
  ~TestBlock() {
    StopMonitorThread();
    StopClosing();
    FreeTrackedWindows();
    AttachBlock(previous_);
    SharedFixture().DestroyAll();
    for (HWND window : own_) DestroyWindow(window);
    SetWorkArea(savedArea_);
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
  // A window of this thread, of class "Static".
  HWND Own(const char* title) {
    own_.push_back(CreateWindowA("Static", title, WS_OVERLAPPED | WS_VISIBLE, 300, 300, 200, 150, nullptr, nullptr,
                                 nullptr, nullptr));
    return own_.back();
  }
  void Start(int32_t interval) {
    block_.activeSettings.monitorInterval = interval;
    StartMonitorThread();
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
  RECT savedArea_ = {};
  std::vector<HWND> own_;
  TargetEntry targets_[8] = {};
  TargetRecord children_[8][4] = {};
};

int OwnThreads() { return ThreadCount(GetCurrentProcessId()); }

DWORD StopMilliseconds() {
  Watchdog watchdog(8000);
  const DWORD start = GetTickCount();
  StopMonitorThread();
  return GetTickCount() - start;
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
  EXPECT_TRUE(WaitFor([&] { return !Answers(stalling, 100); }, 15000)) << "the move never reached the window";
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
  HWND asking = SharedFixture().Make(kFixtureAsking, "PlenaraAsking", "asking", Box{300, 100, 200, 150});
  ASSERT_NE(asking, nullptr);
  TargetRecord rule = MoveXRule("PlenaraAsking", 10);
  rule.close = 1;
  block.AddTarget(rule);
  const auto closes = [&] { return GetWindowLongPtrA(asking, GWLP_USERDATA); };
  block.Start(100);
  HWND question = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (question = QuestionOf(asking)) != nullptr; }));
  MoveXTo(asking, 300);
  EXPECT_FALSE(WaitFor([&] { return closes() > 1 || BoxOf(asking).x == 10; }, 1500));
  PostMessageA(question, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitFor([&] { return closes() == 2 && (question = QuestionOf(asking)) != nullptr; }));
  EXPECT_EQ(BoxOf(asking).x, 10);
  EXPECT_FALSE(WaitFor([&] { return closes() > 2; }, 1000));
  PostMessageA(question, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(asking); }));
  EXPECT_LT(StopMilliseconds(), 3000u);
}

// At a long interval a window of another program is placed as it appears or
// as its title comes to match; one of this process wakes nothing. Then -1
// never scans and watches no windows, 0 never waits, a start while the
// monitor runs starts nothing, and every stop is prompt and ends the watch.
// Last, a hung window wedges neither the scans nor the stop.
TEST(Monitor, WindowsWakeTheMonitorEachIntervalHoldsAndAHungWindowWedgesNothing) {
  TestBlock block;
  Fixture& fixture = SharedFixture();
  ASSERT_TRUE(fixture.Ready());
  TargetRecord rule = MoveXRule("PlenaraWoken", 10);
  rule.titleMatch = kMatchBegins;
  lstrcpyA(rule.titlePattern, "wake");
  block.AddTarget(rule);
  // The own window's title is read from the monitor thread without a message
  // and must keep its characters whole: the second byte of the second
  // character is an ASCII backslash (CP932).
  const char ownTitle[] = "\x91\x8b\x95\x5c";
  block.AddTarget(MoveXRule("Static", 20, ownTitle));
  block.Start(10000);
  HWND own = block.Own(ownTitle);
  EXPECT_FALSE(ReachesX(own, 20, 1500));
  HWND other = fixture.Top("PlenaraWoken", "wake up", Box{300, 100, 200, 150});
  ASSERT_TRUE(ReachesX(other, 10, 1000));
  EXPECT_TRUE(ReachesX(own, 20, 1000)) << "the woken scan passed over the own window";
  HWND renamed = fixture.Top("PlenaraWoken", "sleepy", Box{300, 200, 200, 150});
  EXPECT_FALSE(ReachesX(renamed, 10, 1000));
  ASSERT_TRUE(fixture.Rename(renamed, "wake now"));
  ASSERT_TRUE(ReachesX(renamed, 10, 1000));
  // One more scan follows shortly, for a window shown after it was created;
  // then the monitor sleeps out its interval.
  MoveXTo(renamed, 300);
  EXPECT_TRUE(ReachesX(renamed, 10, 1500)) << "no follow-up scan";
  MoveXTo(renamed, 300);
  EXPECT_FALSE(ReachesX(renamed, 10, 1500)) << "a scan before the interval";
  StopMonitorThread();
  const struct { int32_t interval; bool placed; int threads; } kRows[] = {
      {-1, false, 1}, {60000, false, 2}, {0, true, 2}, {100, true, 2}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.interval);
    const int idle = OwnThreads();
    MoveXTo(renamed, 300);
    block.Start(row.interval);
    StartMonitorThread();
    EXPECT_EQ(OwnThreads(), idle + row.threads);  // the monitor and, unless -1, its window events
    EXPECT_EQ(ReachesX(renamed, 10, row.placed ? 15000 : 1000), row.placed);
    EXPECT_LT(StopMilliseconds(), 3000u);
    EXPECT_TRUE(WaitFor([&] { return OwnThreads() == idle; }, 3000)) << "the window events outlived monitoring";
  }
  // The first rule now meets a window whose thread does not answer, at every
  // pass before the own window; once it answers again, it is handled.
  fixture.DestroyAll();
  HWND hung = fixture.Top("PlenaraWoken", "wake, but stuck", Box{300, 100, 200, 150});
  ASSERT_TRUE(hung && fixture.Hang());
  const int idle = OwnThreads();
  MoveXTo(own, 400);
  block.Start(100);
  EXPECT_TRUE(ReachesX(own, 20, 15000));
  MoveXTo(own, 400);
  EXPECT_TRUE(ReachesX(own, 20, 15000));
  EXPECT_LT(StopMilliseconds(), 4000u);
  EXPECT_TRUE(WaitFor([&] { return OwnThreads() == idle; }, 3000));
  EXPECT_EQ(BoxOf(hung).x, 300);
  ASSERT_NE(block.Find(hung), nullptr);
  EXPECT_EQ(block.Find(hung)->handled, 0);
  fixture.Resume();
  StartMonitorThread();
  EXPECT_TRUE(ReachesX(hung, 10, 15000));
  StopMonitorThread();
  EXPECT_EQ(block.Find(hung)->handled, 1);
}

PositionSpec Near(uint8_t offsetKind, int32_t value = 0) { return {kAnchorNear, offsetKind, {}, value}; }
PositionSpec Far(uint8_t offsetKind, int32_t value = 0) { return {kAnchorFar, offsetKind, {}, value}; }
SizeSpec Pixels(int32_t value) { return {kSizeAbsolute, {}, value}; }

TargetRecord Placed(TargetRecord r, SizeSpec width, SizeSpec height, PositionSpec x, PositionSpec y) {
  r.sizeAction = kSizeSet;
  r.widthSpec = width;
  r.heightSpec = height;
  r.positionAction = kPositionSet;
  r.xSpec = x;
  r.ySpec = y;
  return r;
}

// Every anchor and offset on each axis counts from the work area's own edges
// (the taskbar on the left or at the top moves its origin).
TEST(Apply, PlacesAgainstTheWorkAreaOnceOnlyOrEveryScanAndAgainWhenTheAreaChanges) {
  TestBlock block;
  HWND once = SharedFixture().Top("PlenaraApplyOnce", "once", Box{200, 120, 300, 200});
  HWND every = SharedFixture().Top("PlenaraApplyEvery", "every", Box{200, 120, 300, 200});
  ASSERT_TRUE(once && every);
  // 50 % wide, 100 short of the height; 10 px in from the far edge, 10 %
  // down from the near edge.
  TargetRecord rule = Placed(RuleFor("PlenaraApplyOnce"), {kSizePercent, {}, 50}, {kSizeExtentMinus, {}, 100},
                             Far(kOffsetPixels, 10), Near(kOffsetPercent, 10));
  rule.applyOnce = 1;
  block.AddTarget(rule);
  TargetRecord& everyRule = block.RuleAt(block.AddTarget(RuleFor("PlenaraApplyEvery")));
  everyRule.positionAction = kPositionSet;
  block->activeSettings.reapplyOnWorkAreaChange = 1;
  // Both windows are moved to x = 250 before each scan: the once-only rule
  // acts again only in the scan that sees the work area change, its height
  // alone too. The other window (300 x 200) is placed by the row's specs.
  const struct { const char* label; RECT area; PositionSpec x, y; Box once, every; } kScans[] = {
      {"x near flush, y far flush", {100, 50, 900, 650}, Near(kOffsetFlush), Far(kOffsetFlush),
       {490, 110, 400, 500}, {100, 450, 300, 200}},
      {"same area; x and y near 10 px", {100, 50, 900, 650}, Near(kOffsetPixels, 10), Near(kOffsetPixels, 10),
       {250, 110, 400, 500}, {110, 60, 300, 200}},
      {"larger; x and y near 10 %", {60, 40, 1010, 740}, Near(kOffsetPercent, 10), Near(kOffsetPercent, 10),
       {525, 110, 475, 600}, {155, 110, 300, 200}},
      {"same area; x far flush, y near flush", {60, 40, 1010, 740}, Far(kOffsetFlush), Near(kOffsetFlush),
       {250, 110, 475, 600}, {710, 40, 300, 200}},
      {"lower only; x and y far 10 px", {60, 40, 1010, 640}, Far(kOffsetPixels, 10), Far(kOffsetPixels, 10),
       {525, 100, 475, 500}, {700, 430, 300, 200}},
      {"same area; x and y far 10 %", {60, 40, 1010, 640}, Far(kOffsetPercent, 10), Far(kOffsetPercent, 10),
       {250, 100, 475, 500}, {615, 380, 300, 200}},
  };
  for (const auto& scan : kScans) {
    SCOPED_TRACE(scan.label);
    MoveXTo(once, 250);
    MoveXTo(every, 250);
    ASSERT_TRUE(SetWorkArea(scan.area));
    everyRule.xSpec = scan.x;
    everyRule.ySpec = scan.y;
    block.Scan();
    EXPECT_EQ(BoxOf(once), scan.once);
    EXPECT_EQ(BoxOf(every), scan.every);
    EXPECT_TRUE(block.Find(once)->handled && block.Find(every)->handled);
  }
}

bool IsActive(HWND window) {
  HWND client = GetParent(window);  // an MDI child's; none for a top-level window
  return GetForegroundWindow() == window ||
         (client && reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0)) == window);
}

// Each action once on a top-level window and once on an MDI child (the MDI
// messages go to the client); a maximized window is neither moved nor marked.
TEST(Apply, MaximizeMinimizeActivateAndCloseAndAZoomedWindowIsLeftAlone) {
  TestBlock block;
  Fixture& fixture = SharedFixture();
  // Windows made first come last in the pass: the activation must not be
  // followed by a maximize, which activates too.
  const struct { const char* title; uint8_t sizeAction, activate, close; bool (*done)(HWND); } kRows[] = {
      {"front", kSizeNone, 1, 0, IsActive},
      {"shut", kSizeNone, 0, 1, [](HWND window) { return !IsWindow(window); }},
      {"min", kSizeMinimize, 0, 0, [](HWND window) { return IsIconic(window) != 0; }},
      {"max", kSizeMaximize, 0, 0, [](HWND window) { return IsZoomed(window) != 0; }}};
  HWND frames[2] = {fixture.Make(kFixtureMdiFrame, "PlenaraActFrame", "a", Box{100, 300, 400, 300}),
                    fixture.Make(kFixtureMdiFrame, "PlenaraActFrame", "b", Box{500, 300, 400, 300})};
  ASSERT_TRUE(frames[0] && frames[1]);
  const int frameTarget = block.AddTarget(RuleFor("PlenaraActFrame"));
  HWND tops[4] = {};
  HWND kids[4] = {};
  for (int i = 0; i < 4; ++i) {
    tops[i] = fixture.Top("PlenaraAct", kRows[i].title, Box{150 + 40 * i, 100, 200, 150});
    // The maximized child gets a frame of its own: MDI maximizes whichever child is active in it.
    kids[i] = fixture.MdiChild(frames[i == 3], "PlenaraActKid", kRows[i].title, Box{10 + 20 * i, 10, 120, 90});
    ASSERT_TRUE(tops[i] && kids[i]) << i;
    TargetRecord rule = RuleFor("PlenaraAct", kRows[i].title);
    rule.sizeAction = kRows[i].sizeAction;
    rule.activate = kRows[i].activate;
    rule.close = kRows[i].close;
    block.AddTarget(rule);
    std::snprintf(rule.classPattern, sizeof rule.classPattern, "PlenaraActKid");
    block.AddChildRule(frameTarget, rule);
  }
  HWND zoomed = fixture.Top("PlenaraAct", "zoomed", Box{150, 100, 200, 150});
  ASSERT_NE(zoomed, nullptr);
  ShowWindow(zoomed, SW_MAXIMIZE);
  ASSERT_TRUE(WaitFor([&] { return IsZoomed(zoomed) != 0; }));
  const Box zoomedBox = BoxOf(zoomed);
  block.AddTarget(MoveXRule("PlenaraAct", 10, "zoomed"));
  block.Scan();
  // The next pass has nothing left to do but the activation, which lowers
  // the system's foreground lock time-out for a moment only.
  UINT savedLock = 0;
  UINT lock = 0;
  SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &savedLock, 0);
  ASSERT_TRUE(SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(123456), 0));
  block.Scan();
  SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &lock, 0);
  SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(savedLock)), 0);
  EXPECT_EQ(lock, 123456u);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(kRows[i].title);
    EXPECT_TRUE(WaitFor([&] { return kRows[i].done(tops[i]); })) << "top-level";
    EXPECT_TRUE(WaitFor([&] { return kRows[i].done(kids[i]); })) << "MDI child";
  }
  EXPECT_TRUE(IsZoomed(zoomed));
  EXPECT_EQ(BoxOf(zoomed), zoomedBox);
  EXPECT_EQ(block.Find(zoomed)->handled, 0);
  EXPECT_EQ(block.Find(tops[3])->handled, 1);
}

// Children are placed by the child rules of their frame's target, in the MDI
// client's coordinates, also once the frame's own once-only rule is spent;
// each window is tracked once and what vanishes is dropped.
TEST(Apply, MdiChildrenArePlacedInTheClientsCoordinatesAndTrackedUntilTheyVanish) {
  TestBlock block;
  Fixture& fixture = SharedFixture();
  HWND frame = fixture.Make(kFixtureMdiFrame, "PlenaraApplyFrame", "frame", Box{50, 50, 700, 550});
  HWND first = frame ? fixture.MdiChild(frame, "PlenaraApplyKid", "first", Box{40, 40, 150, 120}) : nullptr;
  HWND button = first ? fixture.Button(first, "press", Box{5, 5, 60, 20}) : nullptr;
  ASSERT_NE(button, nullptr);
  HWND client = GetParent(first);
  TargetRecord frameRule = RuleFor("PlenaraApplyFrame");
  frameRule.applyOnce = 1;
  const int target = block.AddTarget(frameRule);
  // A rule for any child comes first; the control inside an MDI child is no MDI child.
  TargetRecord anyChild = Placed(TargetRecord{}, Pixels(100), Pixels(80), {}, {});
  anyChild.enabled = 1;
  block.AddChildRule(target, anyChild);
  const char kKid[] = "PlenaraApplyKid";
  const PositionSpec nearFlush = Near(kOffsetFlush);
  const PositionSpec farFlush = Far(kOffsetFlush);
  block.AddChildRule(target, Placed(RuleFor(kKid, "first"), Pixels(200), Pixels(100), nearFlush, farFlush));
  block.AddChildRule(target, Placed(RuleFor(kKid, "late"), Pixels(180), Pixels(90), farFlush, nearFlush));
  RECT inside = {};
  GetClientRect(client, &inside);
  block.Scan();
  EXPECT_EQ(ClientBoxOf(client, first), (Box{0, inside.bottom - 100, 200, 100}));
  EXPECT_EQ(ClientBoxOf(first, button), (Box{5, 5, 60, 20}));
  ASSERT_NE(block.Find(frame), nullptr);
  EXPECT_EQ(block.Find(frame)->mdiClient, HandleValue(client));
  const auto children = [&] { return PointerOf<TrackedChild>(block.Find(frame)->children); };
  ASSERT_EQ(block.Find(frame)->childCount, 1);
  EXPECT_EQ(children()->handled, 1);
  // The frame's own rule had nothing to do: marked, not moved.
  EXPECT_EQ(block.Find(frame)->handled, 1);
  EXPECT_EQ(BoxOf(frame), (Box{50, 50, 700, 550}));
  HWND late = fixture.MdiChild(frame, kKid, "late", Box{40, 40, 150, 120});
  ASSERT_NE(late, nullptr);
  const int32_t tracked = block->trackedCount;
  GetClientRect(client, &inside);
  block.Scan();
  EXPECT_EQ(block->trackedCount, tracked) << "a window tracked again";
  EXPECT_EQ(ClientBoxOf(client, late), (Box{inside.right - 180, 0, 180, 90}));
  ASSERT_EQ(block.Find(frame)->childCount, 2);
  // A closed MDI child, then the MDI client itself, then the frame.
  ASSERT_TRUE(fixture.Destroy(first));
  block.Scan();
  ASSERT_EQ(block.Find(frame)->childCount, 1);
  EXPECT_EQ(children()->hwnd, HandleValue(late));
  ASSERT_TRUE(fixture.Destroy(client));
  block.Scan();
  EXPECT_EQ(block.Find(frame)->childCount, 0);
  ASSERT_TRUE(fixture.Destroy(frame));
  block.Scan();
  EXPECT_EQ(block.Find(frame), nullptr);
}

}  // namespace
