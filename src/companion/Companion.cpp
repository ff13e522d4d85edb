#include "companion/Companion.h"

#include <windows.h>
#include <process.h>

#include "shared/SharedBlock.h"

namespace {

constexpr unsigned kWorkerStackSize = 4096;

HANDLE g_workers[2] = {nullptr, nullptr};

unsigned __stdcall CompanionWorker(void* exportName) {
  CallCompanion(static_cast<const char*>(exportName));
  return 0;
}

}  // namespace

bool CallCompanion(const char* exportName) {
  HMODULE module = LoadLibraryA(Block()->companionPath);
  if (!module) return false;
  using Export = void(WINAPI*)();
  Export entry = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, exportName)));
  if (entry) entry();
  FreeLibrary(module);
  return entry != nullptr;
}

bool OpenCompanionWindow(CompanionSlot slot, const char* exportName) {
  HANDLE& worker = g_workers[slot];
  if (worker) {
    if (WaitForSingleObject(worker, 0) == WAIT_TIMEOUT) return false;
    CloseHandle(worker);
    worker = nullptr;
  }
  // The export names are string literals, alive as long as the program.
  worker = reinterpret_cast<HANDLE>(
      _beginthreadex(nullptr, kWorkerStackSize, CompanionWorker, const_cast<char*>(exportName), 0, nullptr));
  return worker != nullptr;
}

void WaitForCompanionWorker(CompanionSlot slot) {
  if (g_workers[slot]) WaitForSingleObject(g_workers[slot], INFINITE);
}
