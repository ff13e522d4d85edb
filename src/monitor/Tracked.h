#pragma once
// The tracked-window list: every top-level window the monitor has seen, and
// the windows under its MDI client. Lives on the C run-time heap; its count
// and address stand in the shared block.
#include <cstddef>
#include <cstdint>

struct TrackedChild {
  uint32_t hwnd;
  uint8_t handled;
  uint8_t seen;
  uint8_t reserved[2];
};
static_assert(sizeof(TrackedChild) == 8);
static_assert(offsetof(TrackedChild, hwnd) == 0);
static_assert(offsetof(TrackedChild, handled) == 4);
static_assert(offsetof(TrackedChild, seen) == 5);
static_assert(offsetof(TrackedChild, reserved) == 6);

struct TrackedWindow {
  uint32_t hwnd;
  uint8_t handled;
  uint8_t seen;
  uint8_t reserved[2];
  uint32_t mdiClient;
  int32_t childCount;
  uint32_t children;  // TrackedChild[childCount], or 0
};
static_assert(sizeof(TrackedWindow) == 20);
static_assert(offsetof(TrackedWindow, hwnd) == 0);
static_assert(offsetof(TrackedWindow, handled) == 4);
static_assert(offsetof(TrackedWindow, seen) == 5);
static_assert(offsetof(TrackedWindow, reserved) == 6);
static_assert(offsetof(TrackedWindow, mdiClient) == 8);
static_assert(offsetof(TrackedWindow, childCount) == 12);
static_assert(offsetof(TrackedWindow, children) == 16);
