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

// Modifications recorded from index `from` on: one per tick while animating.
std::vector<ShellCall> TicksFrom(const ShellRecorder& shell, size_t from) {
  std::vector<ShellCall> ticks;
  for (size_t i = from; i < shell.Count(); ++i) {
    if (shell.Calls()[i].message == NIM_MODIFY) ticks.push_back(shell.Calls()[i]);
  }
  return ticks;
}

class TrayAnimation : public TrayTest {
 protected:
  void SetUp() override {
    TrayTest::SetUp();
    if (HasFatalFailure()) return;
    frames = MakeFrames(5);
    pictures = FramePictures(frames);
    ASSERT_EQ(pictures.size(), 5u);
    driver->SetOwnsImages(1);
    driver->SetImageList(frames);
  }
  size_t FrameOf(const ShellCall& call) const {
    for (size_t i = 0; i < pictures.size(); ++i) {
      if (pictures[i] == call.picture) return i;
    }
    return 99;
  }

  HIMAGELIST frames = nullptr;
  std::vector<uint32_t> pictures;
};

TEST_F(TrayAnimation, FiveFramesRunInOrderAtTheIntervalAndStopAtFrameZero) {
  const DWORD interval = 150;
  driver->SetInterval(interval);
  driver->Show();
  const size_t start = shell.Count();
  const DWORD startTick = GetTickCount();
  driver->SetAnimating(1);
  EXPECT_EQ(shell.Count(), start);  // the picture changes only at the first tick

  ASSERT_TRUE(WaitFor([&] { return TicksFrom(shell, start).size() >= 6; }, kLongWait));
  const std::vector<ShellCall> ticks = TicksFrom(shell, start);
  const size_t expected[] = {1, 2, 3, 4, 0, 1};
  for (size_t k = 0; k < 6; ++k) {
    EXPECT_EQ(FrameOf(ticks[k]), expected[k]) << "tick " << k;
    EXPECT_EQ(ticks[k].tip, "");
    // No tick comes before its time.
    EXPECT_GE(ticks[k].tick - startTick + kClockSlack, (k + 1) * interval) << "tick " << k;
  }

  driver->SetAnimating(0);
  EXPECT_EQ(driver->CurrentFrame(), 0);
  EXPECT_EQ(shell.Last().message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(FrameOf(shell.Last()), 0u);
  const size_t stopped = shell.Count();
  EXPECT_FALSE(WaitFor([&] { return shell.Count() > stopped; }, 3 * interval));
  EXPECT_EQ(driver->CurrentFrame(), 0);
}

TEST_F(TrayAnimation, FirstFrameIsWhereTheAnimationWrapsAndStops) {
  driver->SetFirstFrame(2);
  driver->SetInterval(80);
  driver->Show();
  EXPECT_EQ(FrameOf(shell.Last()), 0u);  // the frame shown stays until the animation moves
  const size_t start = shell.Count();
  driver->SetAnimating(1);
  ASSERT_TRUE(WaitFor([&] { return TicksFrom(shell, start).size() >= 6; }, kLongWait));
  const std::vector<ShellCall> ticks = TicksFrom(shell, start);
  const size_t expected[] = {1, 2, 3, 4, 2, 3};
  for (size_t k = 0; k < 6; ++k) EXPECT_EQ(FrameOf(ticks[k]), expected[k]) << "tick " << k;
  driver->SetAnimating(0);
  EXPECT_EQ(driver->CurrentFrame(), 2);
  EXPECT_EQ(FrameOf(shell.Last()), 2u);
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
        return TicksFrom(shell, start).size() >= 2;
      },
      kLongWait));
  const size_t afterFirst = TicksFrom(shell, start).size();
  EXPECT_TRUE(WaitFor(
      [&] {
        driver->SetInterval(200);
        return TicksFrom(shell, start).size() >= afterFirst + 2;
      },
      kLongWait));
  // Only ticks reached the shell: each one a frame further.
  const std::vector<ShellCall> ticks = TicksFrom(shell, start);
  ASSERT_EQ(ticks.size(), shell.Count() - start);
  for (size_t k = 0; k < ticks.size(); ++k) EXPECT_EQ(FrameOf(ticks[k]), (k + 1) % 5) << "tick " << k;

  driver->SetAnimating(0);
  const size_t stopped = shell.Count();
  driver->SetAnimating(0);
  EXPECT_EQ(shell.Count(), stopped);
  EXPECT_EQ(driver->CurrentFrame(), 0);
}

TEST_F(TrayAnimation, NewPeriodWhileHiddenIsOnlyStoredAndShowUsesIt) {
  driver->SetInterval(100);
  driver->SetAnimating(1);
  driver->SetInterval(600);
  EXPECT_EQ(driver->Interval(), 600);
  EXPECT_EQ(shell.Count(), 0u);
  // Hidden: no timer runs at either period.
  EXPECT_FALSE(WaitFor([&] { return shell.Count() > 0 || driver->CurrentFrame() != 0; }, 400));

  const DWORD shownTick = GetTickCount();
  driver->Show();
  ASSERT_EQ(shell.Count(), 1u);
  ASSERT_TRUE(WaitFor([&] { return TicksFrom(shell, 1).size() >= 1; }, kLongWait));
  EXPECT_GE(TicksFrom(shell, 1)[0].tick - shownTick + kClockSlack, 600u);
  EXPECT_EQ(FrameOf(TicksFrom(shell, 1)[0]), 1u);
}

TEST_F(TrayAnimation, NewPeriodWhileShownRestartsTheTimer) {
  driver->SetInterval(60000);
  driver->Show();
  driver->SetAnimating(1);
  const size_t start = shell.Count();
  driver->SetInterval(100);
  EXPECT_TRUE(WaitFor([&] { return TicksFrom(shell, start).size() >= 3; }, kLongWait));
}

TEST_F(TrayAnimation, HidingStopsTheTimerAndShowingResumesFromTheSameFrame) {
  driver->SetInterval(100);
  driver->SetAnimating(1);
  driver->Show();
  ASSERT_TRUE(WaitFor([&] { return TicksFrom(shell, 1).size() >= 2; }, kLongWait));
  driver->Hide();
  const size_t hiddenAt = shell.Count();
  const int32_t frame = driver->CurrentFrame();
  EXPECT_FALSE(WaitFor([&] { return shell.Count() > hiddenAt || driver->CurrentFrame() != frame; }, 400));

  driver->Show();
  ASSERT_EQ(shell.Count(), hiddenAt + 1);
  EXPECT_EQ(shell.Last().message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(FrameOf(shell.Last()), static_cast<size_t>(frame));
  ASSERT_TRUE(WaitFor([&] { return TicksFrom(shell, hiddenAt + 1).size() >= 1; }, kLongWait));
  EXPECT_EQ(FrameOf(TicksFrom(shell, hiddenAt + 1)[0]), static_cast<size_t>((frame + 1) % 5));
}

TEST_F(TrayAnimation, ShorterListWrapsAtItsOwnCount) {
  driver->SetInterval(60000);  // the test steps the frames itself
  driver->Show();
  driver->SetAnimating(1);
  for (int i = 0; i < 3; ++i) Tick(hidden);
  ASSERT_EQ(driver->CurrentFrame(), 3);
  HIMAGELIST shorter = MakeFrames(2);
  const std::vector<uint32_t> shorterPictures = FramePictures(shorter);
  driver->SetImageList(shorter);  // the owned five-frame list is destroyed
  EXPECT_EQ(driver->CurrentFrame(), 3);
  // Frame 3 is past the new list's end: the shell gets no picture, and no harm.
  EXPECT_EQ(shell.Last().icon, nullptr);
  Tick(hidden);
  EXPECT_EQ(driver->CurrentFrame(), 0);
  EXPECT_EQ(shell.Last().picture, shorterPictures[0]);
  Tick(hidden);
  EXPECT_EQ(shell.Last().picture, shorterPictures[1]);
  Tick(hidden);
  EXPECT_EQ(shell.Last().picture, shorterPictures[0]);
}

}  // namespace
