// The tracked-window list: built by the scan stages from real windows, here
// run on the test's thread one stage at a time.
#include <gtest/gtest.h>

#include <cstring>

#include "MonitorTestSupport.h"
#include "monitor/Monitor.h"
#include "monitor/Tracking.h"

namespace {

constexpr char kTopClass[] = "PlenaraTrackTop";
constexpr char kFrameClass[] = "PlenaraTrackFrame";
constexpr char kChildClass[] = "PlenaraTrackChild";

class Tracking : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fixture.Ready()); }
  void TearDown() override {
    FailNextTrackedGrowths(0);
    FailNextTrackedShrinks(0);
    fixture.DestroyAll();
  }
  HWND Top(const char* title) { return fixture.Top(kTopClass, title, Box{10, 10, 100, 100}); }
  // A scan's list stages without the apply pass, over every window.
  void Refresh() {
    ClearSeenFlags();
    EnumWindows(TrackTopLevelWindow, 0);
    PruneTrackedWindows();
  }
  // The same, the enumeration reporting exactly these windows.
  void Report(std::initializer_list<HWND> windows) {
    ClearSeenFlags();
    for (HWND w : windows) TrackTopLevelWindow(w, 0);
    PruneTrackedWindows();
  }
  TrackedWindow& At(int i) { return PointerOf<TrackedWindow>(block->tracked)[i]; }
  int Occurrences(HWND window) {
    int n = 0;
    for (int32_t i = 0; i < block->trackedCount; ++i) n += At(i).hwnd == HandleValue(window);
    return n;
  }

  TestBlock block;
  Fixture& fixture = SharedFixture();
};

TEST_F(Tracking, EntriesAreAppendedOnceKeepTheirFlagsAndArePrunedInOrder) {
  HWND a = Top("a");
  HWND b = Top("b");
  HWND c = Top("c");
  ASSERT_TRUE(a && b && c);
  Report({a});
  const TrackedWindow& first = At(0);
  EXPECT_EQ(first.hwnd, HandleValue(a));
  EXPECT_EQ(first.handled, 0);
  EXPECT_EQ(first.seen, 1);
  EXPECT_EQ(first.mdiClient | first.children | first.childCount | first.reserved[0] | first.reserved[1], 0u);
  At(0).handled = 1;

  // The real enumeration: each window once, new ones after the old, flags kept.
  Refresh();
  for (HWND w : {a, b, c}) EXPECT_EQ(Occurrences(w), 1);
  EXPECT_EQ(At(0).hwnd, HandleValue(a));
  EXPECT_EQ(At(0).handled, 1);
  EXPECT_EQ(block.Find(b)->handled, 0);
  for (int32_t i = 0; i < block->trackedCount; ++i) EXPECT_EQ(At(i).seen, 1) << i;
  block.Find(c)->handled = 1;

  // Unreported windows go; the rest keep their order and flags.
  Report({c, a});
  ASSERT_EQ(block->trackedCount, 2);
  EXPECT_EQ(At(0).hwnd, HandleValue(a));
  EXPECT_EQ(At(1).hwnd, HandleValue(c));
  EXPECT_EQ(At(0).handled + At(1).handled, 2);
  // The last window gone: the array is released; the next one gets a fresh one.
  Report({});
  EXPECT_EQ(block->trackedCount, 0);
  EXPECT_EQ(block->tracked, 0u);
  Report({b});
  ASSERT_EQ(block->trackedCount, 1);
  EXPECT_EQ(At(0).handled, 0);
  // A closed window is dropped at the next scan.
  ASSERT_TRUE(fixture.Destroy(b));
  Refresh();
  EXPECT_EQ(block.Find(b), nullptr);
}

TEST_F(Tracking, MdiFrameIsTrackedWithItsClientChildrenAndTheirControls) {
  HWND frame = fixture.MdiFrame(kFrameClass, "frame", Box{50, 50, 600, 450});
  ASSERT_NE(frame, nullptr);
  HWND one = fixture.MdiChild(frame, kChildClass, "one", Box{0, 0, 200, 150});
  HWND two = fixture.MdiChild(frame, kChildClass, "two", Box{30, 30, 200, 150});
  ASSERT_TRUE(one && two);
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
  EXPECT_NE(block.FindChild(frame, control), nullptr);
  block.FindChild(frame, two)->handled = 1;
  Refresh();
  EXPECT_EQ(block.Find(frame)->childCount, 3);
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
}

TEST_F(Tracking, AFailedGrowthIsTriedAgainAndAFailedShrinkKeepsTheOldBlock) {
  HWND a = Top("a");
  HWND b = Top("b");
  FailNextTrackedGrowths(1);
  Report({a, b});
  ASSERT_EQ(block->trackedCount, 1);
  EXPECT_EQ(block.Find(a), nullptr);
  Report({a, b});
  EXPECT_EQ(block->trackedCount, 2);
  EXPECT_NE(block.Find(a), nullptr);

  // Only the first new child of a tracked frame fails to be added.
  HWND frame = fixture.MdiFrame(kFrameClass, "frame", Box{50, 50, 500, 400});
  Report({a, b, frame});
  HWND one = fixture.MdiChild(frame, kChildClass, "one", Box{0, 0, 100, 100});
  HWND two = fixture.MdiChild(frame, kChildClass, "two", Box{10, 10, 100, 100});
  FailNextTrackedGrowths(1);
  Report({a, b, frame});
  EXPECT_EQ(block.Find(frame)->childCount, 1);
  Report({a, b, frame});
  EXPECT_EQ(block.Find(frame)->childCount, 2);
  EXPECT_NE(block.FindChild(frame, one), nullptr);
  EXPECT_NE(block.FindChild(frame, two), nullptr);

  block.Find(b)->handled = 1;
  const uint32_t before = block->tracked;
  FailNextTrackedShrinks(1);
  Report({b});
  ASSERT_EQ(block->trackedCount, 1);
  EXPECT_EQ(block->tracked, before);
  EXPECT_EQ(At(0).hwnd, HandleValue(b));
  EXPECT_EQ(At(0).handled, 1);
  // The list goes on working from the larger block.
  Report({b, a});
  EXPECT_EQ(block->trackedCount, 2);
}

}  // namespace
