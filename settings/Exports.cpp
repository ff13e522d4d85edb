// The module's four exports. The program loads the module afresh for every
// call and frees it after, so every call opens the shared block through the
// program's own exports and closes it again before returning.
#include <windows.h>

#include "settings/BlockSettings.h"
#include "settings/about/AboutBox.h"
#include "settings/window/PropertyWindow.h"
#include "settings/window/Ui.h"
#include "shared/SharedBlock.h"

namespace {

using OpenFn = HANDLE(WINAPI*)(const char*, void**, uint32_t, int32_t*);
using CloseFn = BOOL(WINAPI*)(HANDLE, void*);

// The running program's block, or none: in a process that does not export
// the two functions, or where no program holds the block, there is nothing
// to read or write.
class ProgramBlock {
 public:
  ProgramBlock() {
    HMODULE program = GetModuleHandleA(nullptr);
    auto open = reinterpret_cast<OpenFn>(reinterpret_cast<void*>(GetProcAddress(program, "OpenSharedMemory")));
    close_ = reinterpret_cast<CloseFn>(reinterpret_cast<void*>(GetProcAddress(program, "CloseSharedMemory")));
    if (!open || !close_) return;
    int32_t existed = 0;
    mapping_ = open(kBlockName, &view_, kBlockSize, &existed);
    if (mapping_ && !existed) Close();
  }
  ~ProgramBlock() { Close(); }
  ProgramBlock(const ProgramBlock&) = delete;
  ProgramBlock& operator=(const ProgramBlock&) = delete;

  SharedBlock* Get() const { return mapping_ && view_ ? static_cast<SharedBlock*>(view_) : nullptr; }

 private:
  void Close() {
    if (mapping_) close_(mapping_, view_);
    mapping_ = nullptr;
    view_ = nullptr;
  }

  CloseFn close_ = nullptr;
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
};

// The module's own manifest (common controls 6) in force for the windows it
// makes, whatever the host process's manifest asks for.
class ModuleManifest {
 public:
  ModuleManifest() {
    ACTCTXA context = {};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.hModule = ModuleInstance();
    context.lpResourceName = ISOLATIONAWARE_MANIFEST_RESOURCE_ID;
    context_ = CreateActCtxA(&context);
    if (context_ != INVALID_HANDLE_VALUE && !ActivateActCtx(context_, &cookie_)) Release();
  }
  ~ModuleManifest() {
    if (context_ == INVALID_HANDLE_VALUE) return;
    DeactivateActCtx(0, cookie_);
    Release();
  }
  ModuleManifest(const ModuleManifest&) = delete;
  ModuleManifest& operator=(const ModuleManifest&) = delete;

 private:
  void Release() {
    ReleaseActCtx(context_);
    context_ = INVALID_HANDLE_VALUE;
  }
  HANDLE context_ = INVALID_HANDLE_VALUE;
  ULONG_PTR cookie_ = 0;
};

template <class Work>
void WithProgramBlock(Work work) {
  ProgramBlock block;
  if (SharedBlock* view = block.Get()) work(*view);
}

}  // namespace

extern "C" {

void WINAPI ReadSetting() {
  WithProgramBlock([](SharedBlock& block) { ReadSettingIntoBlock(block); });
}

void WINAPI WriteSetting() {
  WithProgramBlock([](SharedBlock& block) { WriteSettingFromBlock(block); });
}

void WINAPI OpenAboutBox() {
  WithProgramBlock([](SharedBlock& block) {
    ModuleManifest manifest;
    RunAboutBox(block);
  });
}

void WINAPI OpenPropertyWindow() {
  WithProgramBlock([](SharedBlock& block) {
    ModuleManifest manifest;
    RunPropertyWindow(block);
  });
}

}  // extern "C"
