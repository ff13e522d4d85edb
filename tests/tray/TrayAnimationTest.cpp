// The animation timer: order of frames, period, stopping, and which calls
// leave a running timer alone. Times come from the shell calls' own ticks.
#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "TrayTestSupport.h"
#include "tray/TrayIconDriver.h"

namespace {

// A timer tick may be measured up to this much early with a coarse clock.
constexpr DWORD kClockSlack = 20;
// Generous: only a failing test waits this long, and a loaded machine is slow.
constexpr DWORD kLongWait = 30000;

class TrayAnimation : public TrayTest {
 protected:
  void SetUp() override {
    TrayTest::SetUp();
    if (HasFatalFailure()) return;
    HIMAGELIST frames = MakeFrames(5);
    pictures = FramePictures(frames);
    driver->SetOwnsImages(1);
    driver->SetImageList(frames);
  }
  // The frames of the modifications recorded from call `from` on: one per
  // tick while animating (99 for a picture that is no frame).
  std::vector<size_t> FramesFrom(size_t from) const {
    std::vector<size_t> frames;
    for (size_t i = from; i < shell.Count(); ++i) {
      if (shell.Calls()[i].message != NIM_MODIFY) continue;
      size_t k = 0;
      while (k < pictures.size() && pictures[k] != shell.Calls()[i].picture) ++k;
      frames.push_back(k < pictures.size() ? k : 99);
    }
    return frames;
  }
  bool WaitForTicks(size_t from, size_t n) {
    return WaitFor([&] { return FramesFrom(from).size() >= n; }, kLongWait);
  }
  size_t LastFrame() const { return FramesFrom(shell.Count() - 1).at(0); }

  std::vector<uint32_t> pictures;
};

TEST_F(TrayAnimation, FramesRunInOrderAtTheIntervalWrapAndStopAtTheFirstFrame) {
  const DWORD interval = 150;
  driver->SetInterval(interval);
  driver->Show();
  size_t start = shell.Count();
  const DWORD startTick = GetTickCount();
  driver->SetAnimating(1);
  EXPECT_EQ(shell.Count(), start);  // the picture changes only at the first tick
  ASSERT_TRUE(WaitForTicks(start, 6));
  EXPECT_EQ(FramesFrom(start), (std::vector<size_t>{1, 2, 3, 4, 0, 1}));
  for (size_t k = 0; k < 6; ++k) {
    // No tick comes before its time.
    EXPECT_GE(shell.Calls()[start + k].tick - startTick + kClockSlack, (k + 1) * interval) << "tick " << k;
    EXPECT_EQ(shell.Calls()[start + k].tip, "");
  }
  driver->SetAnimating(0);
  EXPECT_EQ(driver->CurrentFrame(), 0);
  EXPECT_EQ(LastFrame(), 0u);
  const size_t stopped = shell.Count();
  EXPECT_FALSE(WaitFor([&] { return shell.Count() > stopped; }, 3 * interval));

  // The first frame is where the animation wraps to and stops at; the frame
  // shown stays until the animation moves.
  driver->SetFirstFrame(2);
  driver->SetInterval(80);
  start = shell.Count();
  driver->SetAnimating(1);
  ASSERT_TRUE(WaitForTicks(start, 6));
  EXPECT_EQ(FramesFrom(start), (std::vector<size_t>{1, 2, 3, 4, 2, 3}));
  driver->SetAnimating(0);
  EXPECT_EQ(driver->CurrentFrame(), 2);
  EXPECT_EQ(LastFrame(), 2u);
}

TEST_F(TrayAnimation, SettingTheSameStateOrPeriodLeavesTheTimerRunning) {
  driver->SetInterval(200);
  driver->Show();
  const size_t start = shell.Count();
  driver->SetAnimating(1);
  // Were either call to restart the timer, these repeated calls would starve it.
  EXPECT_TRUE(WaitFor(
      [&] {
        driver->SetAnimating(1);
        driver->SetInterval(200);
        return FramesFrom(start).size() >= 3;
      },
      kLongWait));
  // Only ticks reached the shell: each one a frame further.
  const std::vector<size_t> frames = FramesFrom(start);
  EXPECT_EQ(frames.size(), shell.Count() - start);
  for (size_t k = 0; k < frames.size(); ++k) EXPECT_EQ(frames[k], (k + 1) % 5) << "tick " << k;
  driver->SetAnimating(0);
  const size_t stopped = shell.Count();
  driver->SetAnimating(0);
  EXPECT_EQ(shell.Count(), stopped);
}

TEST_F(TrayAnimation, APeriodSetWhileHiddenIsStoredWhileShownRestartsAndHidingPauses) {
  driver->SetInterval(100);
  driver->SetAnimating(1);
  driver->SetInterval(600);
  EXPECT_EQ(driver->Interval(), 600);
  // Hidden: no timer runs at either period.
  EXPECT_FALSE(WaitFor([&] { return shell.Count() > 0 || driver->CurrentFrame() != 0; }, 400));
  const DWORD shownTick = GetTickCount();
  driver->Show();
  ASSERT_EQ(shell.Count(), 1u);
  ASSERT_TRUE(WaitForTicks(1, 1));
  EXPECT_GE(shell.Calls()[1].tick - shownTick + kClockSlack, 600u);
  EXPECT_EQ(FramesFrom(1)[0], 1u);

  driver->SetInterval(60000);
  size_t from = shell.Count();
  driver->SetInterval(100);
  ASSERT_TRUE(WaitForTicks(from, 2));

  driver->Hide();
  from = shell.Count();
  const int32_t frame = driver->CurrentFrame();
  EXPECT_FALSE(WaitFor([&] { return shell.Count() > from || driver->CurrentFrame() != frame; }, 400));
  driver->Show();
  ASSERT_EQ(shell.Count(), from + 1);
  EXPECT_EQ(shell.Last().message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(shell.Last().picture, pictures[frame]);
  ASSERT_TRUE(WaitForTicks(from + 1, 1));
  EXPECT_EQ(FramesFrom(from + 1)[0], static_cast<size_t>((frame + 1) % 5));
}

TEST_F(TrayAnimation, OnlyItsOwnTimerStepsAShownIconAndAShorterListWrapsAtItsCount) {
  driver->SetInterval(60000);  // the test steps the frames itself
  driver->SetAnimating(1);
  Tick(hidden);  // hidden: nothing moves
  EXPECT_EQ(driver->CurrentFrame(), 0);
  driver->Show();
  SendMessageA(hidden, WM_TIMER, 2, 0);
  EXPECT_EQ(driver->CurrentFrame(), 0);
  EXPECT_EQ(shell.Count(), 1u);
  for (int i = 0; i < 3; ++i) Tick(hidden);
  EXPECT_EQ(FramesFrom(1), (std::vector<size_t>{1, 2, 3}));

  HIMAGELIST shorter = MakeFrames(2);
  const std::vector<uint32_t> shorterPictures = FramePictures(shorter);
  driver->SetImageList(shorter);  // the owned five-frame list is destroyed
  EXPECT_EQ(driver->CurrentFrame(), 3);
  // Frame 3 is past the new list's end: the shell gets no picture, and no harm.
  EXPECT_EQ(shell.Last().icon, nullptr);
  for (uint32_t picture : {shorterPictures[0], shorterPictures[1], shorterPictures[0]}) {
    Tick(hidden);
    EXPECT_EQ(shell.Last().picture, picture);
    EXPECT_TRUE(shell.Last().result);
  }
  ExpectFixedFields(shell.Calls(), hidden);
}

}  // namespace
