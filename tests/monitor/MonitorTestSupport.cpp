#include "MonitorTestSupport.h"

#include <cstdio>

#include "FixtureWindows.h"
#include "monitor/Monitor.h"
#include "monitor/SystemLeadBytes.h"
#include "monitor/Tracking.h"
#include "monitor/WorkArea.h"
// After <windows.h>, which it needs.
#include <tlhelp32.h>

TestBlock::TestBlock() : previous_(Block()) {
  LoadSystemLeadBytes();
  AttachBlock(&block_);
}

TestBlock::~TestBlock() {
  StopMonitorThread();
  FreeTrackedWindows();
  AttachBlock(previous_);
}

int TestBlock::AddTarget(const TargetRecord& record) {
  const int n = block_.NumOfTargets++;
  targets_[n].record = record;
  block_.targets = PointerValue(targets_);
  return n;
}

int TestBlock::AddChildRule(int parent, const TargetRecord& rule) {
  TargetEntry& target = targets_[parent];
  children_[parent][target.NumOfChildren] = rule;
  target.children = PointerValue(children_[parent]);
  return target.NumOfChildren++;
}

TrackedWindow* TestBlock::Find(HWND window) {
  TrackedWindow* list = PointerOf<TrackedWindow>(block_.tracked);
  for (int32_t i = 0; i < block_.trackedCount; ++i) {
    if (list[i].hwnd == HandleValue(window)) return &list[i];
  }
  return nullptr;
}

TrackedChild* TestBlock::FindChild(HWND topLevel, HWND child) {
  TrackedWindow* entry = Find(topLevel);
  TrackedChild* children = entry ? PointerOf<TrackedChild>(entry->children) : nullptr;
  for (int32_t k = 0; children && k < entry->childCount; ++k) {
    if (children[k].hwnd == HandleValue(child)) return &children[k];
  }
  return nullptr;
}

void TestBlock::Scan() {
  ClearSeenFlags();
  EnumWindows(TrackTopLevelWindow, 0);
  PruneTrackedWindows();
  UpdateWorkArea();
  ApplyTargets();
}

TargetRecord RuleFor(const char* className) {
  TargetRecord record = {};
  record.classMatch = kMatchEquals;
  std::snprintf(record.classPattern, sizeof record.classPattern, "%s", className);
  record.titleMatch = kMatchAny;
  record.enabled = 1;
  return record;
}

TargetRecord MoveXRule(const char* className, int32_t x) {
  TargetRecord record = RuleFor(className);
  record.positionAction = kPositionSet;
  record.xSpec = PositionSpec{kAnchorNear, kOffsetPixels, {}, x};
  return record;
}

int32_t TrackedCountNow(SharedBlock* block) { return *static_cast<volatile int32_t*>(&block->trackedCount); }

int ThreadCount(DWORD pid) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    count += entry.th32OwnerProcessID == pid;
  }
  CloseHandle(snapshot);
  return count;
}

bool operator==(const Box& a, const Box& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::ostream& operator<<(std::ostream& out, const Box& box) {
  return out << "(" << box.x << ", " << box.y << ", " << box.width << ", " << box.height << ")";
}

Box BoxOf(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return Box{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

Box ClientBoxOf(HWND parent, HWND child) {
  Box box = BoxOf(child);
  POINT corner = {box.x, box.y};
  ScreenToClient(parent, &corner);
  return Box{corner.x, corner.y, box.width, box.height};
}

void MoveXTo(HWND window, int32_t x) {
  SetWindowPos(window, nullptr, x, BoxOf(window).y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

WorkAreaOverride::WorkAreaOverride(const RECT& area) {
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &saved_, 0);
  Set(area);
}

WorkAreaOverride::~WorkAreaOverride() { SystemParametersInfoA(SPI_SETWORKAREA, 0, &saved_, 0); }

bool WorkAreaOverride::Set(const RECT& area) {
  RECT copy = area;
  return SystemParametersInfoA(SPI_SETWORKAREA, 0, &copy, 0) != 0;
}

Fixture::~Fixture() {
  Resume();
  Send(kFixtureQuit, "", "", Box{}, nullptr);
  process_.WaitExit(5000);
  process_.Kill();
  if (resume_) CloseHandle(resume_);
}

bool Fixture::Start() {
  if (!process_.Start(ExeDir() + "fixture-windows.exe")) return false;
  // A cold start under emulation can take many seconds.
  WaitFor(
      [&] {
        control_ = FindWindowOfProcess(kFixtureControlClass, process_.Pid());
        return control_ != nullptr || !process_.Running();
      },
      60000);
  if (!control_) {
    std::fprintf(stderr, "fixture-windows.exe did not start (exit code %lu)\n", process_.WaitExit(0));
    return false;
  }
  std::snprintf(resumeName_, sizeof resumeName_, "PlenaraFixtureResume-%lu", process_.Pid());
  resume_ = CreateEventA(nullptr, TRUE, FALSE, resumeName_);
  return resume_ != nullptr;
}

LRESULT Fixture::Send(uint32_t command, const char* className, const char* title, const Box& box, HWND target,
                      DWORD style, DWORD exStyle) {
  if (!control_) return 0;
  FixtureRequest request = {};
  std::snprintf(request.className, sizeof request.className, "%s", className);
  std::snprintf(request.title, sizeof request.title, "%s", title);
  request.x = box.x;
  request.y = box.y;
  request.width = box.width;
  request.height = box.height;
  request.target = HandleValue(target);
  request.style = style;
  request.exStyle = exStyle;
  COPYDATASTRUCT data = {command, sizeof request, &request};
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(control_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 10000, &result)) {
    return 0;
  }
  return static_cast<LRESULT>(result);
}

HWND Fixture::Remember(HWND window) {
  if (window) made_.push_back(window);
  return window;
}

HWND Fixture::Top(const char* className, const char* title, const Box& box, DWORD style, DWORD exStyle) {
  return Remember(reinterpret_cast<HWND>(Send(kFixtureTop, className, title, box, nullptr, style, exStyle)));
}

HWND Fixture::MdiFrame(const char* className, const char* title, const Box& box) {
  return Remember(reinterpret_cast<HWND>(Send(kFixtureMdiFrame, className, title, box, nullptr)));
}

HWND Fixture::MdiChild(HWND frame, const char* className, const char* title, const Box& box) {
  return reinterpret_cast<HWND>(Send(kFixtureMdiChild, className, title, box, frame));
}

HWND Fixture::Control(HWND parent, const Box& box) {
  return reinterpret_cast<HWND>(Send(kFixtureControl, "", "control", box, parent));
}

bool Fixture::Destroy(HWND window) { return Send(kFixtureDestroy, "", "", Box{}, window) != 0; }

bool Fixture::DestroyMdiClient(HWND frame) { return Send(kFixtureDestroyMdiClient, "", "", Box{}, frame) != 0; }

void Fixture::DestroyAll() {
  for (HWND window : made_) {
    if (IsWindow(window)) Destroy(window);
  }
  made_.clear();
}

bool Fixture::Hang() {
  ResetEvent(resume_);
  if (!Send(kFixtureHang, "", resumeName_, Box{}, nullptr)) return false;
  return WaitFor([&] {
    DWORD_PTR result = 0;
    return !SendMessageTimeoutA(control_, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result);
  });
}

void Fixture::Resume() {
  if (resume_) SetEvent(resume_);
}

Fixture& SharedFixture() {
  static Fixture fixture;
  static bool started = fixture.Start();
  (void)started;
  return fixture;
}
