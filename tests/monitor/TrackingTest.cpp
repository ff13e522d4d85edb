// The tracked-window list: built by the scan stages from real windows, here
// run on the test's thread one stage at a time.
#include <gtest/gtest.h>

#include <cstring>

#include "MonitorTestSupport.h"
#include "monitor/Monitor.h"
#include "monitor/Tracking.h"
#include "monitor/WorkArea.h"

namespace {

constexpr char kTopClass[] = "PlenaraTrackTop";
constexpr char kFrameClass[] = "PlenaraTrackFrame";
constexpr char kChildClass[] = "PlenaraTrackChild";

class Tracking : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fixture.Ready()); }
  void TearDown() override { fixture.DestroyAll(); }

  // A scan's list stages without the apply pass.
  void Refresh() {
    ClearSeenFlags();
    EnumWindows(TrackTopLevelWindow, 0);
    PruneTrackedWindows();
  }

  // A scan whose enumeration reports exactly these windows.
  void Report(std::initializer_list<HWND> windows) {
    ClearSeenFlags();
    for (HWND w : windows) TrackTopLevelWindow(w, 0);
    PruneTrackedWindows();
  }

  int IndexOf(HWND window) {
    TrackedWindow* entry = block.Find(window);
    return entry ? static_cast<int>(entry - PointerOf<TrackedWindow>(block->tracked)) : -1;
  }

  int Occurrences(HWND window) {
    int n = 0;
    TrackedWindow* list = PointerOf<TrackedWindow>(block->tracked);
    for (int32_t i = 0; i < block->trackedCount; ++i) n += list[i].hwnd == HandleValue(window);
    return n;
  }

  TestBlock block;
  Fixture& fixture = SharedFixture();
};

TEST_F(Tracking, NewWindowIsAppendedOnceAndKeepsItsHandledFlag) {
  HWND first = fixture.Top(kTopClass, "first", Box{10, 10, 200, 150});
  ASSERT_NE(first, nullptr);
  Refresh();
  TrackedWindow* entry = block.Find(first);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->handled, 0);
  EXPECT_EQ(entry->seen, 1);
  EXPECT_EQ(entry->mdiClient, 0u);
  EXPECT_EQ(entry->childCount, 0);
  EXPECT_EQ(entry->children, 0u);
  EXPECT_EQ(entry->reserved[0] | entry->reserved[1], 0);
  entry->handled = 1;

  HWND second = fixture.Top(kTopClass, "second", Box{20, 20, 200, 150});
  Refresh();
  EXPECT_EQ(Occurrences(first), 1);
  EXPECT_EQ(Occurrences(second), 1);
  EXPECT_EQ(block.Find(first)->handled, 1);
  EXPECT_EQ(block.Find(second)->handled, 0);
  // Entries stand in the order their windows were first reported.
  EXPECT_LT(IndexOf(first), IndexOf(second));

  // Between scans every entry has been seen.
  TrackedWindow* list = PointerOf<TrackedWindow>(block->tracked);
  for (int32_t i = 0; i < block->trackedCount; ++i) EXPECT_EQ(list[i].seen, 1) << i;
}

TEST_F(Tracking, PruningDropsUnreportedWindowsAndKeepsTheOrder) {
  HWND a = fixture.Top(kTopClass, "a", Box{10, 10, 100, 100});
  HWND b = fixture.Top(kTopClass, "b", Box{20, 20, 100, 100});
  HWND c = fixture.Top(kTopClass, "c", Box{30, 30, 100, 100});
  Report({a, b, c});
  ASSERT_EQ(block->trackedCount, 3);
  block.Find(a)->handled = 1;
  block.Find(c)->handled = 1;

  Report({c, a});
  ASSERT_EQ(block->trackedCount, 2);
  TrackedWindow* list = PointerOf<TrackedWindow>(block->tracked);
  EXPECT_EQ(list[0].hwnd, HandleValue(a));
  EXPECT_EQ(list[1].hwnd, HandleValue(c));
  EXPECT_EQ(list[0].handled, 1);
  EXPECT_EQ(list[1].handled, 1);

  // The last window gone: the array is released; the next one gets a fresh one.
  Report({});
  EXPECT_EQ(block->trackedCount, 0);
  EXPECT_EQ(block->tracked, 0u);
  Report({b});
  ASSERT_EQ(block->trackedCount, 1);
  EXPECT_EQ(PointerOf<TrackedWindow>(block->tracked)[0].hwnd, HandleValue(b));
  EXPECT_EQ(PointerOf<TrackedWindow>(block->tracked)[0].handled, 0);
}

TEST_F(Tracking, ClosedWindowIsDroppedAtTheNextScan) {
  HWND window = fixture.Top(kTopClass, "closing", Box{10, 10, 200, 150});
  Refresh();
  ASSERT_NE(block.Find(window), nullptr);
  ASSERT_TRUE(fixture.Destroy(window));
  Refresh();
  EXPECT_EQ(block.Find(window), nullptr);
}

TEST_F(Tracking, MdiFrameIsTrackedWithItsClientChildrenAndTheirControls) {
  HWND frame = fixture.MdiFrame(kFrameClass, "frame", Box{50, 50, 600, 450});
  ASSERT_NE(frame, nullptr);
  HWND one = fixture.MdiChild(frame, kChildClass, "one", Box{0, 0, 200, 150});
  HWND two = fixture.MdiChild(frame, kChildClass, "two", Box{30, 30, 200, 150});
  ASSERT_NE(one, nullptr);
  ASSERT_NE(two, nullptr);
  HWND control = fixture.Control(one, Box{5, 5, 50, 20});
  ASSERT_NE(control, nullptr);
  HWND client = GetParent(one);
  // The client's class is spelled otherwise than "MDICLIENT": the search
  // must not care about letter case.
  char name[32] = {};
  GetClassNameA(client, name, sizeof name);
  ASSERT_EQ(lstrcmpiA(name, "MDICLIENT"), 0);
  EXPECT_NE(std::strcmp(name, "MDICLIENT"), 0) << name;

  Refresh();
  TrackedWindow* entry = block.Find(frame);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->mdiClient, HandleValue(client));
  EXPECT_EQ(entry->childCount, 3);
  EXPECT_NE(block.FindChild(frame, one), nullptr);
  EXPECT_NE(block.FindChild(frame, two), nullptr);
  EXPECT_NE(block.FindChild(frame, control), nullptr);
  block.FindChild(frame, two)->handled = 1;

  Refresh();
  entry = block.Find(frame);
  EXPECT_EQ(entry->childCount, 3);
  EXPECT_EQ(block.FindChild(frame, two)->handled, 1);
  EXPECT_EQ(block.FindChild(frame, one)->handled, 0);

  // A child closed: dropped, the others keep their order.
  ASSERT_TRUE(fixture.Destroy(one));
  Refresh();
  entry = block.Find(frame);
  ASSERT_EQ(entry->childCount, 1);
  EXPECT_EQ(PointerOf<TrackedChild>(entry->children)[0].hwnd, HandleValue(two));

  // The client gone, the frame still there: no children, the handle kept.
  ASSERT_TRUE(fixture.DestroyMdiClient(frame));
  ASSERT_FALSE(IsWindow(client));
  Refresh();
  entry = block.Find(frame);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->childCount, 0);
  EXPECT_EQ(entry->children, 0u);
  EXPECT_EQ(entry->mdiClient, HandleValue(client));

  // The frame closed: its entry goes with it.
  HWND frame2 = fixture.MdiFrame(kFrameClass, "frame2", Box{60, 60, 500, 400});
  fixture.MdiChild(frame2, kChildClass, "three", Box{0, 0, 100, 100});
  Refresh();
  ASSERT_EQ(block.Find(frame2)->childCount, 1);
  ASSERT_TRUE(fixture.Destroy(frame2));
  Refresh();
  EXPECT_EQ(block.Find(frame2), nullptr);
}

TEST_F(Tracking, AWindowThatCannotBeAddedIsTriedAgainAtTheNextScan) {
  HWND a = fixture.Top(kTopClass, "a", Box{10, 10, 100, 100});
  HWND b = fixture.Top(kTopClass, "b", Box{20, 20, 100, 100});
  FailNextTrackedGrowths(1);
  Report({a, b});
  ASSERT_EQ(block->trackedCount, 1);
  EXPECT_EQ(block.Find(a), nullptr);
  EXPECT_NE(block.Find(b), nullptr);
  Report({a, b});
  EXPECT_EQ(block->trackedCount, 2);
  EXPECT_NE(block.Find(a), nullptr);

  HWND frame = fixture.MdiFrame(kFrameClass, "frame", Box{50, 50, 500, 400});
  HWND one = fixture.MdiChild(frame, kChildClass, "one", Box{0, 0, 100, 100});
  HWND two = fixture.MdiChild(frame, kChildClass, "two", Box{10, 10, 100, 100});
  Report({frame});
  ASSERT_NE(block.Find(frame), nullptr);
  FailNextTrackedGrowths(0);
  // The frame is tracked; now only the first new child fails to be added.
  ASSERT_TRUE(fixture.Destroy(one));
  ASSERT_TRUE(fixture.Destroy(two));
  Report({frame});
  ASSERT_EQ(block.Find(frame)->childCount, 0);
  one = fixture.MdiChild(frame, kChildClass, "one", Box{0, 0, 100, 100});
  two = fixture.MdiChild(frame, kChildClass, "two", Box{10, 10, 100, 100});
  FailNextTrackedGrowths(1);
  Report({frame});
  EXPECT_EQ(block.Find(frame)->childCount, 1);
  Report({frame});
  EXPECT_EQ(block.Find(frame)->childCount, 2);
  EXPECT_NE(block.FindChild(frame, one), nullptr);
  EXPECT_NE(block.FindChild(frame, two), nullptr);
}

TEST_F(Tracking, AShrinkThatFailsKeepsTheOldBlock) {
  HWND a = fixture.Top(kTopClass, "a", Box{10, 10, 100, 100});
  HWND b = fixture.Top(kTopClass, "b", Box{20, 20, 100, 100});
  Report({a, b});
  block.Find(b)->handled = 1;
  const uint32_t before = block->tracked;
  FailNextTrackedShrinks(1);
  Report({b});
  ASSERT_EQ(block->trackedCount, 1);
  EXPECT_EQ(block->tracked, before);
  EXPECT_EQ(PointerOf<TrackedWindow>(block->tracked)[0].hwnd, HandleValue(b));
  EXPECT_EQ(PointerOf<TrackedWindow>(block->tracked)[0].handled, 1);
  // The list goes on working from the larger block.
  Report({b, a});
  EXPECT_EQ(block->trackedCount, 2);
  FailNextTrackedShrinks(0);
}

TEST(WorkArea, AChangeIsSeenByExactlyOneReading) {
  UpdateWorkArea();
  UpdateWorkArea();
  EXPECT_FALSE(WorkAreaChanged());
  const Box before = WorkArea();
  {
    WorkAreaOverride area(RECT{100, 50, 900, 650});
    UpdateWorkArea();
    EXPECT_TRUE(WorkAreaChanged());
    const Box now = WorkArea();
    EXPECT_EQ(now.x, 100);
    EXPECT_EQ(now.y, 50);
    EXPECT_EQ(now.width, 800);
    EXPECT_EQ(now.height, 600);
    UpdateWorkArea();
    EXPECT_FALSE(WorkAreaChanged());
  }
  UpdateWorkArea();
  EXPECT_TRUE(WorkAreaChanged());
  EXPECT_EQ(WorkArea().width, before.width);
  EXPECT_EQ(WorkArea().height, before.height);
}

}  // namespace
