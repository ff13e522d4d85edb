#pragma once
// What the soak driver and its window fixtures share: the tallies the
// fixtures keep in a named block of their own, and the stop flag the driver
// raises at the end.
#include <windows.h>

constexpr char kSoakTallyName[] = "PlenaraSoakTally";

// Window classes of the fixtures, which the soak's rules name.
constexpr char kSoakEditor[] = "SoakEditor";
constexpr char kSoakViewer[] = "SoakViewer";
constexpr char kSoakNote[] = "SoakNote";
constexpr char kSoakTool[] = "SoakTool";
constexpr char kSoakDoomed[] = "SoakDoomed";  // closed by a rule and closes at once
constexpr char kSoakAsk[] = "SoakAsk";        // closed by a rule, asks first
constexpr char kSoakHang[] = "SoakHang";      // hangs for a few seconds now and then
constexpr char kSoakFrame[] = "SoakFrame";    // MDI frame
constexpr char kSoakDoc[] = "SoakDoc";        // MDI children
constexpr char kSoakSheet[] = "SoakSheet";

struct SoakTally {
  volatile LONG stop;
  volatile LONG opened;
  volatile LONG closed;
  volatile LONG renamed;
  volatile LONG moved;       // moved or sized by someone else (Plenara)
  volatile LONG maximized;   // SC_MAXIMIZE or WM_MDIMAXIMIZE from outside
  volatile LONG minimized;
  volatile LONG closeAsked;  // SC_CLOSE or WM_CLOSE from outside
  volatile LONG activated;   // made the foreground window from outside
  volatile LONG hangs;       // hangs begun
  volatile LONG recovered;   // hangs that ended and the window answered again
};

// Maps the tally block (creating it if need be); null on failure.
inline SoakTally* OpenSoakTally(HANDLE& mapping) {
  mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SoakTally), kSoakTallyName);
  if (!mapping) return nullptr;
  return static_cast<SoakTally*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SoakTally)));
}
