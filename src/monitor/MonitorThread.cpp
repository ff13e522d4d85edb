// Placeholder until the monitor thread lands: monitoring can be switched on
// and off, but nothing scans yet.
#include <cstdlib>

#include "monitor/Monitor.h"
#include "monitor/Tracked.h"
#include "shared/SharedBlock.h"

void StartMonitorThread() {}
void StopMonitorThread() {}
void ApplyTargets() {}

void FreeTrackedWindows() {
  SharedBlock* block = Block();
  TrackedWindow* tracked = PointerOf<TrackedWindow>(block->tracked);
  for (int32_t i = 0; i < block->trackedCount; ++i) std::free(PointerOf<TrackedChild>(tracked[i].children));
  std::free(tracked);
  block->trackedCount = 0;
  block->tracked = 0;
}
