#include "monitor/Tracking.h"

#include <cstdlib>

#include "monitor/Monitor.h"
#include "monitor/Tracked.h"
#include "shared/SharedBlock.h"

namespace {

// Cut back to bytes, releasing the block at 0. A shrink that fails keeps the
// old, larger block: it still holds every remaining element.
void* Shrink(void* block, size_t bytes) {
  if (bytes == 0) {
    std::free(block);
    return nullptr;
  }
  void* smaller = std::realloc(block, bytes);
  return smaller ? smaller : block;
}

TrackedWindow* TrackedList() { return PointerOf<TrackedWindow>(Block()->tracked); }

// Class names are compared without regard to letter case; only ASCII letters
// fold, so the second byte of a double-byte character never matches one.
bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = *a;
    char y = *b;
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
    if (x == '\0') return true;
  }
}

}  // namespace

void ClearSeenFlags() {
  SharedBlock* block = Block();
  TrackedWindow* list = TrackedList();
  for (int32_t i = 0; i < block->trackedCount; ++i) {
    list[i].seen = 0;
    TrackedChild* children = PointerOf<TrackedChild>(list[i].children);
    for (int32_t k = 0; k < list[i].childCount; ++k) children[k].seen = 0;
  }
}

BOOL CALLBACK TrackTopLevelWindow(HWND window, LPARAM) {
  SharedBlock* block = Block();
  TrackedWindow* list = TrackedList();
  const uint32_t value = HandleValue(window);
  const int32_t count = block->trackedCount;
  int32_t index = 0;
  while (index < count && list[index].hwnd != value) ++index;
  if (index == count) {
    auto* grown = static_cast<TrackedWindow*>(std::realloc(list, (static_cast<size_t>(count) + 1) * sizeof(TrackedWindow)));
    if (!grown) return TRUE;
    list = grown;
    block->tracked = PointerValue(list);
    list[count] = TrackedWindow{};
    list[count].hwnd = value;
    block->trackedCount = count + 1;
  }
  list[index].seen = 1;
  EnumChildWindows(window, FindMdiClient, index);
  return TRUE;
}

BOOL CALLBACK FindMdiClient(HWND window, LPARAM index) {
  char name[16];
  if (GetClassNameA(window, name, sizeof name) == 0) return TRUE;
  if (!EqualsIgnoringAsciiCase(name, "MDICLIENT")) return TRUE;
  TrackedList()[index].mdiClient = HandleValue(window);
  EnumChildWindows(window, TrackMdiChild, index);
  return FALSE;
}

BOOL CALLBACK TrackMdiChild(HWND window, LPARAM index) {
  // Looked up afresh: the list may have moved since the enumeration began.
  TrackedWindow& entry = TrackedList()[index];
  // The enumeration also reaches the controls inside each MDI child; child
  // rules are for the MDI children alone, so only the client's own children count.
  if (GetAncestor(window, GA_PARENT) != HandleOf(entry.mdiClient)) return TRUE;
  TrackedChild* children = PointerOf<TrackedChild>(entry.children);
  const uint32_t value = HandleValue(window);
  const int32_t count = entry.childCount;
  int32_t k = 0;
  while (k < count && children[k].hwnd != value) ++k;
  if (k == count) {
    auto* grown = static_cast<TrackedChild*>(std::realloc(children, (static_cast<size_t>(count) + 1) * sizeof(TrackedChild)));
    if (!grown) return TRUE;
    children = grown;
    entry.children = PointerValue(children);
    children[count] = TrackedChild{};
    children[count].hwnd = value;
    entry.childCount = count + 1;
  }
  children[k].seen = 1;
  return TRUE;
}

void PruneTrackedWindows() {
  SharedBlock* block = Block();
  TrackedWindow* list = TrackedList();
  const int32_t count = block->trackedCount;
  int32_t kept = 0;
  for (int32_t j = 0; j < count; ++j) {
    TrackedWindow entry = list[j];
    if (!entry.seen) {
      std::free(PointerOf<TrackedChild>(entry.children));
      continue;
    }
    TrackedChild* children = PointerOf<TrackedChild>(entry.children);
    int32_t keptChildren = 0;
    for (int32_t k = 0; k < entry.childCount; ++k) {
      if (children[k].seen) children[keptChildren++] = children[k];
    }
    if (keptChildren != entry.childCount) {
      entry.children = PointerValue(Shrink(children, static_cast<size_t>(keptChildren) * sizeof(TrackedChild)));
      entry.childCount = keptChildren;
    }
    list[kept++] = entry;
  }
  if (kept != count) {
    block->tracked = PointerValue(Shrink(list, static_cast<size_t>(kept) * sizeof(TrackedWindow)));
    block->trackedCount = kept;
  }
}

void FreeTrackedWindows() {
  SharedBlock* block = Block();
  TrackedWindow* list = TrackedList();
  for (int32_t i = 0; i < block->trackedCount; ++i) std::free(PointerOf<TrackedChild>(list[i].children));
  std::free(list);
  block->trackedCount = 0;
  block->tracked = 0;
}

