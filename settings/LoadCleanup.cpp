// The program loads this module afresh for every call and frees it after.
// The run-time's thread library, linked in statically, gives the loading
// thread a thread record of its own while the module starts (the unwinder's
// registration takes one of its locks), with a duplicate of the thread's
// handle and an event. It frees them only when that thread ends, which it
// cannot do once the module is gone: without this, every call would leave
// two handles behind in the program.
#include <windows.h>

#include <pthread.h>

namespace {

// Per load of the module, not state between calls.
HANDLE g_loaderThread = nullptr;
HANDLE g_loaderEvent = nullptr;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_loaderThread = static_cast<HANDLE>(pthread_gethandle(pthread_self()));
    g_loaderEvent = static_cast<HANDLE>(pthread_getevent());
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // FreeLibrary: nothing of the thread library runs after this. At
    // process exit (reserved set) the system takes everything anyway.
    if (g_loaderEvent) CloseHandle(g_loaderEvent);
    if (g_loaderThread) CloseHandle(g_loaderThread);
  }
  return TRUE;
}
