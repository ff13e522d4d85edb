#include "shared/SharedBlock.h"

#include <cstring>

namespace {
SharedBlock* g_view = nullptr;
}

SharedBlock* Block() { return g_view; }
void AttachBlock(SharedBlock* view) { g_view = view; }

extern "C" HANDLE WINAPI OpenSharedMemory(const char* name, void** view, uint32_t size, int32_t* alreadyExisted) {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
  if (!mapping) return nullptr;
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  void* address = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  *view = address;
  if (!address) {
    CloseHandle(mapping);
    return nullptr;
  }
  if (!existed) std::memset(address, 0, size);
  if (alreadyExisted) *alreadyExisted = existed ? 1 : 0;
  return mapping;
}

extern "C" BOOL WINAPI CloseSharedMemory(HANDLE mapping, void* view) {
  UnmapViewOfFile(view);
  return CloseHandle(mapping);
}
