// ForceForeground on windows of another process.
#include <gtest/gtest.h>

#include <cstdint>

#include "MonitorTestSupport.h"
#include "monitor/Foreground.h"

namespace {

constexpr char kClass[] = "PlenaraForegroundTop";

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

class Foreground : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fixture.Ready());
    saved = LockTimeout();
  }
  void TearDown() override {
    SetLockTimeout(saved);
    fixture.DestroyAll();
  }
  Fixture& fixture = SharedFixture();
  UINT saved = 0;
};

TEST_F(Foreground, ATopmostBackgroundWindowComesForwardNotTopmostAndTheTimeoutIsRestored) {
  HWND target = fixture.Top(kClass, "target", Box{100, 100, 300, 200}, 0, WS_EX_TOPMOST);
  HWND front = fixture.Top(kClass, "front", Box{150, 150, 300, 200});
  SetForegroundWindow(front);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front; }, 5000));
  SetLockTimeout(123456);
  ASSERT_EQ(LockTimeout(), 123456u);

  ForceForeground(target);
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == target; }, 5000));
  EXPECT_EQ(GetWindowLongA(target, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_TRUE(IsAbove(target, front));
  EXPECT_EQ(LockTimeout(), 123456u);
  const Box box = BoxOf(target);
  EXPECT_EQ(box.x, 100);
  EXPECT_EQ(box.width, 300);
}

TEST_F(Foreground, TheForegroundWindowStaysForegroundAndAMinimizedOneStaysMinimized) {
  HWND front = fixture.Top(kClass, "front", Box{150, 150, 300, 200});
  SetForegroundWindow(front);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front; }, 5000));
  ForceForeground(front);
  EXPECT_EQ(GetForegroundWindow(), front);

  HWND iconic = fixture.Top(kClass, "iconic", Box{150, 150, 300, 200}, WS_MINIMIZE);
  ForceForeground(iconic);
  EXPECT_TRUE(IsIconic(iconic));
}

}  // namespace
