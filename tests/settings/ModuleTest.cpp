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
#include "settings/SettingsFile.h"
#include "shared/SharedBlock.h"
#include "targets/TargetStore.h"

namespace {

constexpr char kDll[] = "PlenaraDLL.dll";

int ThreadsOfThisProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    count += entry.th32OwnerProcessID == GetCurrentProcessId();
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

// The next thread-local slot: a module that leaves one allocated moves it.
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

TEST(Module, ReadAndWrittenAHundredTimesKeepsTheFileAndLeavesNothingBehind) {
  // This process in the program's place: it holds the block, with the side
  // paths pointing at a scratch folder and at the module beside the tests.
  ScratchDir dir("settings-module");
  const std::string ini = dir.File("Plenara.ini");
  void* view = nullptr;
  int32_t existed = 1;
  HANDLE mapping = OpenSharedMemory(kBlockName, &view, kBlockSize, &existed);
  ASSERT_NE(mapping, nullptr);
  ASSERT_EQ(existed, 0) << "another Plenara holds the block";
  AttachBlock(static_cast<SharedBlock*>(view));
  std::strcpy(Block()->iniPath, ini.c_str());
  std::strcpy(Block()->companionPath, (ExeDir() + kDll).c_str());
  const std::string text = FormatSystem(SampleModel());
  EXPECT_TRUE(WriteWholeFile(ini, text));
  // Japanese stays readable in the file; only what code page 932 cannot
  // carry is escaped.
  EXPECT_NE(text.find("Name=\"\x83\x81\x83\x82\x92\xA0\x82\xF0"), std::string::npos);
  EXPECT_NE(text.find("Title=ends \" - \x95\x5C\x8E\xA6 \""), std::string::npos);
  EXPECT_NE(text.find("Title=ends \"lone lead %81\""), std::string::npos);
  auto cycle = [] {
    FreeTargets();  // the program's state at a new start: no list, monitoring off
    Block()->monitoringEnabled = 0;
    EXPECT_TRUE(CallCompanion("ReadSetting"));
    EXPECT_TRUE(CallCompanion("WriteSetting"));
  };
  cycle();  // the first round may set up what the system keeps for the process
  const int threads = ThreadsOfThisProcess();
  const uintptr_t nextHandle = NextHandleValue();
  const DWORD nextTls = NextTlsIndex();
  for (int i = 0; i < 99; ++i) cycle();

  EXPECT_EQ(GetModuleHandleA(kDll), nullptr);
  EXPECT_EQ(ThreadsOfThisProcess(), threads);
  EXPECT_EQ(NextHandleValue(), nextHandle);
  EXPECT_EQ(NextTlsIndex(), nextTls);
  char lockName[kMutexNameSize];
  SaveMutexName(ini.c_str(), lockName);
  HANDLE lock = OpenMutexA(SYNCHRONIZE, FALSE, lockName);
  EXPECT_EQ(lock, nullptr);
  if (lock) CloseHandle(lock);
  // The module leaves the block open, this process its only holder.
  EXPECT_TRUE(MappingExists());
  // Every round leaves the settings and the file as they were; the list is
  // in exactly sized process-heap blocks, as the program frees them.
  SharedBlock& block = *Block();
  EXPECT_EQ(ModelDifference(SampleModel(), ModelOfBlock(block)), "");
  EXPECT_EQ(std::memcmp(&block.activeSettings, &block.pendingSettings, sizeof(SettingsRecord)), 0);
  EXPECT_EQ(block.openSettingsAtStart, 1);
  EXPECT_EQ(block.NumOfTargets, 3);
  if (block.NumOfTargets == 3) {
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, TargetsOf(&block)), 3 * sizeof(TargetEntry));
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, ChildrenOf(&TargetsOf(&block)[0])), 2 * sizeof(TargetRecord));
    EXPECT_EQ(TargetsOf(&block)[1].children, 0u);
  }
  EXPECT_EQ(ReadWholeFile(ini), text);
  EXPECT_EQ(ReadWholeFile(ini + ".bak"), text);
  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"Plenara.ini", "Plenara.ini.bak"}));
  FreeTargets();
  AttachBlock(nullptr);
  CloseSharedMemory(mapping, view);
}

TEST(Module, ExportsItsFunctionsUnderPlainNamesAndDoesNothingWhereNoProgramHoldsTheBlock) {
  ASSERT_FALSE(MappingExists()) << "another Plenara holds the block";
  HMODULE module = LoadLibraryA((ExeDir() + kDll).c_str());
  ASSERT_NE(module, nullptr);
  for (const char* name : {"ReadSetting", "WriteSetting", "OpenAboutBox", "OpenPropertyWindow"}) {
    auto call = reinterpret_cast<void(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    EXPECT_NE(call, nullptr) << name;
    if (call && std::strncmp(name, "Open", 4) != 0) call();
    EXPECT_FALSE(MappingExists()) << name;
  }
  FreeLibrary(module);
}

}  // namespace
