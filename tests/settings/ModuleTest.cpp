// The real PlenaraDLL.dll loaded and called the way the program calls it:
// afresh for every call. This test executable exports OpenSharedMemory and
// CloseSharedMemory itself and holds "PlenaraFileMapping", so the module
// finds the block here as it would in the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <cstring>

#include "BlockHelpers.h"
#include "SampleSettings.h"
#include "TestSupport.h"
#include "companion/Companion.h"
#include "settings/CompanionState.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"
#include "shared/SharedBlock.h"
#include "targets/TargetStore.h"

namespace {

constexpr char kDll[] = "PlenaraDLL.dll";

int ThreadsOfThisProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

// The value the next new handle gets: handle tables hand out the lowest
// free slot, so a handle left open anywhere in the process moves it. (Wine
// does not count handles for GetProcessHandleCount.)
uintptr_t NextHandleValue() {
  HANDLE probe = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(probe);
  return reinterpret_cast<uintptr_t>(probe);
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

std::string MutexName(const std::string& path) {
  char name[kMutexNameSize];
  SaveMutexName(path.c_str(), name);
  return name;
}

// The next thread-local slot the process gets: a module that leaves one
// allocated moves it.
DWORD NextTlsIndex() {
  const DWORD index = TlsAlloc();
  TlsFree(index);
  return index;
}

bool MappingExists() {
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, kBlockName);
  if (mapping) CloseHandle(mapping);
  return mapping != nullptr;
}

// This process in the program's place: it holds the block, with the side
// paths pointing at a scratch folder and at the module beside the tests.
class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int32_t existed = 1;
    mapping_ = OpenSharedMemory(kBlockName, &view_, kBlockSize, &existed);
    ASSERT_NE(mapping_, nullptr);
    ASSERT_EQ(existed, 0) << "another Plenara holds the block";
    AttachBlock(static_cast<SharedBlock*>(view_));
    std::strcpy(Block()->iniPath, ini_.c_str());
    std::strcpy(Block()->companionPath, (ExeDir() + kDll).c_str());
  }
  void TearDown() override {
    if (!mapping_) return;
    FreeTargets();
    AttachBlock(nullptr);
    CloseSharedMemory(mapping_, view_);
  }
  // The program's state at a new start: no list, monitoring off.
  void FreshStart() {
    FreeTargets();
    Block()->monitoringEnabled = 0;
  }

  ScratchDir dir_{"settings-module"};
  const std::string ini_ = dir_.File("Plenara.ini");
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
};

TEST_F(ModuleTest, ExportsTheFourFunctionsUnderPlainNames) {
  HMODULE module = LoadLibraryA((ExeDir() + kDll).c_str());
  ASSERT_NE(module, nullptr);
  for (const char* name : {"ReadSetting", "WriteSetting", "OpenAboutBox", "OpenPropertyWindow"}) {
    EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
  }
  FreeLibrary(module);
}

TEST_F(ModuleTest, FirstStartThenSecondStart) {
  ASSERT_TRUE(CallCompanion("ReadSetting"));
  EXPECT_EQ(Block()->monitoringEnabled, 1);
  EXPECT_EQ(Block()->openSettingsAtStart, 1);
  EXPECT_EQ(Block()->activeSettings.monitorInterval, 500);
  EXPECT_EQ(Block()->pendingSettings.monitorInterval, 500);
  EXPECT_EQ(Block()->activeSettings.reapplyOnWorkAreaChange, 1);
  EXPECT_EQ(Block()->NumOfTargets, 0);
  // The module leaves the block as the program holds it: open, and this
  // process still its only holder.
  EXPECT_TRUE(MappingExists());

  ASSERT_TRUE(CallCompanion("WriteSetting"));
  LoadedFile loaded;
  const SettingsModel saved = LoadFile(ini_, loaded);
  EXPECT_FALSE(loaded.report.damaged);
  EXPECT_EQ(saved.general.openSettingsAtStart, 0);
  EXPECT_EQ(saved.general.monitoringEnabled, 1);

  FreshStart();
  ASSERT_TRUE(CallCompanion("ReadSetting"));
  EXPECT_EQ(Block()->openSettingsAtStart, 0);
  EXPECT_EQ(Block()->monitoringEnabled, 1);
}

TEST_F(ModuleTest, SampleRoundTripLeavesTheFileAsItWas) {
  const std::string text = FormatSystem(SampleModel());
  ASSERT_TRUE(WriteWholeFile(ini_, text));
  ASSERT_TRUE(CallCompanion("ReadSetting"));
  EXPECT_EQ(ModelDifference(SampleModel(), ModelOfBlock(*Block())), "");
  ASSERT_TRUE(CallCompanion("WriteSetting"));
  EXPECT_EQ(ReadWholeFile(ini_), text);
  EXPECT_EQ(ReadWholeFile(ini_ + ".bak"), text);
}

TEST_F(ModuleTest, LoadedAndFreedAHundredTimesLeavesNothingBehind) {
  ASSERT_TRUE(WriteWholeFile(ini_, FormatSystem(SampleModel())));
  auto cycle = [this] {
    FreshStart();
    CallCompanion("ReadSetting");
    CallCompanion("WriteSetting");
  };
  cycle();  // the first round may set up what the system keeps for the process
  const int threads = ThreadsOfThisProcess();
  const uintptr_t nextHandle = NextHandleValue();
  const DWORD nextTls = NextTlsIndex();
  ASSERT_GT(threads, 0);
  for (int i = 0; i < 99; ++i) cycle();

  EXPECT_EQ(GetModuleHandleA(kDll), nullptr);
  EXPECT_EQ(ThreadsOfThisProcess(), threads);
  EXPECT_EQ(NextHandleValue(), nextHandle);
  EXPECT_EQ(NextTlsIndex(), nextTls);
  HANDLE lock = OpenMutexA(SYNCHRONIZE, FALSE, MutexName(ini_).c_str());
  EXPECT_EQ(lock, nullptr);
  if (lock) CloseHandle(lock);
  EXPECT_EQ(FilesIn(dir_.Path()), (std::vector<std::string>{"Plenara.ini", "Plenara.ini.bak"}));
  EXPECT_EQ(ModelDifference(SampleModel(), ModelOfBlock(*Block())), "");
  // No window of this thread: the module creates none and leaves none.
  int windows = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&windows));
  EXPECT_EQ(windows, 0);
}

TEST(ModuleWithoutProgram, DoesNothingWhereNoProgramHoldsTheBlock) {
  ASSERT_FALSE(MappingExists()) << "another Plenara holds the block";
  HMODULE module = LoadLibraryA((ExeDir() + kDll).c_str());
  ASSERT_NE(module, nullptr);
  using Export = void(WINAPI*)();
  for (const char* name : {"ReadSetting", "WriteSetting"}) {
    auto call = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    ASSERT_NE(call, nullptr);
    call();
    EXPECT_FALSE(MappingExists()) << name;
  }
  FreeLibrary(module);
}

}  // namespace
