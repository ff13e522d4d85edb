// The settings file on disk under Wine, through the real profile API, and the
// real module loaded and freed for every call: this executable exports
// OpenSharedMemory and CloseSharedMemory as the program does.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>

#include "SampleSettings.h"
#include "TestSupport.h"
#include "companion/Companion.h"
#include "settings/BlockSettings.h"
#include "settings/CompanionState.h"
#include "settings/SettingsFile.h"
#include "targets/TargetStore.h"

namespace {

constexpr char kIni[] = "Plenara.ini";
const std::string kBak = std::string(kIni) + ".bak";

// A zero-filled block of the test's own whose iniPath names path.
struct TestBlock : SharedBlock {
  explicit TestBlock(const std::string& path) : SharedBlock() { std::strncpy(iniPath, path.c_str(), sizeof iniPath - 1); }
  ~TestBlock() {
    AttachBlock(this);
    FreeTargets();
    AttachBlock(nullptr);
  }
};

SettingsModel ModelOfBlock(const SharedBlock& block) {
  SettingsModel model;
  SnapshotOfBlock(block, model);
  return model;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
  for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &data)) {
    if (data.cFileName[0] != '.') names.push_back(data.cFileName);
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

BOOL WINAPI WriteHalfThenFail(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
  WriteFile(file, data, size / 2, written, nullptr);
  SetLastError(ERROR_DISK_FULL);
  return FALSE;
}
BOOL WINAPI FailFlush(HANDLE) {
  SetLastError(ERROR_WRITE_FAULT);
  return FALSE;
}
BOOL WINAPI FailReplace(LPCSTR, LPCSTR, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

TEST(SettingsFile, ADamagedFileIsReadAsFarAsItGoesKeptAsItWasAndNeverHalfReplaced) {
  ScratchDir dir("settings-damaged");
  const std::string path = dir.File(kIni);
  const std::string bytes = "[Settings]\r\nVersion=1\r\nMonitoring=off\r\nInterval=10\r\nReapplyOnWorkAreaChange=no\r\n"
                            "[1]\r\nClass=equals \"Only\"\r\n" + std::string("\0\0\0", 3) +
                            "[2]\r\nClass=equals \"C\"\r\nTitle=begins \"open end\r\nSize=huge\r\n";
  ASSERT_TRUE(WriteWholeFile(path, bytes));
  TestBlock block(path);
  ReadSettingIntoBlock(block);
  EXPECT_TRUE(ReadWholeFile(path) == bytes);  // reading never touches the file
  const CompanionState state = LoadCompanionState(block);
  EXPECT_EQ(state.loadStatus, kLoadRepaired);
  const std::string copy = std::string(kIni) + "." + state.damagedCopy;
  EXPECT_TRUE(ReadWholeFile(dir.File(copy)) == bytes) << copy;
  // Too short an interval is raised, missing keys take their defaults, an
  // unknown word its safe value, an unclosed quote runs to the line's end.
  EXPECT_EQ(block.activeSettings.monitorInterval, kMinInterval);
  EXPECT_EQ(block.activeSettings.reapplyOnWorkAreaChange, 0);
  EXPECT_EQ(block.monitoringEnabled, 0);
  ASSERT_EQ(block.NumOfTargets, 2);
  const TargetRecord only = Rule(kMatchEquals, "Only", kMatchAny, "");
  EXPECT_EQ(std::memcmp(&TargetsOf(&block)[0].record, &only, sizeof only), 0);
  EXPECT_STREQ(TargetsOf(&block)[1].record.titlePattern, "open end");
  EXPECT_EQ(TargetsOf(&block)[1].record.sizeAction, kSizeNone);

  block.monitoringEnabled = 1;  // a change that a failed save must not half-write
  FileSteps halfWrite, noFlush, noReplace;
  halfWrite.write = WriteHalfThenFail;
  noFlush.flush = FailFlush;
  noReplace.replace = FailReplace;
  for (const FileSteps* steps : {&halfWrite, &noFlush, &noReplace}) {
    EXPECT_FALSE(WriteSettingFromBlock(block, *steps));
    EXPECT_TRUE(ReadWholeFile(path) == bytes);
    // No half-written file is left; a .bak, if made, is the previous file.
    std::vector<std::string> files = FilesIn(dir.Path());
    files.erase(std::remove(files.begin(), files.end(), copy), files.end());
    EXPECT_TRUE(files == std::vector<std::string>{kIni} || files == (std::vector<std::string>{kIni, kBak}));
    if (files.size() > 1) {
      EXPECT_TRUE(ReadWholeFile(dir.File(kBak)) == bytes);
    }
  }
  // The next save works, reads back clean and leaves the copy alone.
  ASSERT_TRUE(WriteSettingFromBlock(block));
  EXPECT_TRUE(ReadWholeFile(dir.File(kBak)) == bytes);
  LoadedFile loaded;
  SettingsModel reread;
  LoadSettingsFile(path.c_str(), reread, loaded);
  EXPECT_FALSE(loaded.report.damaged);
  EXPECT_EQ(reread.general.monitoringEnabled, 1);
  EXPECT_EQ(ModelDifference(ModelOfBlock(block), reread), "");
  EXPECT_TRUE(ReadWholeFile(dir.File(copy)) == bytes);
}

// What a module left behind would change: the thread count, the next handle
// value (the lowest free slot; Wine does not count handles for
// GetProcessHandleCount) and the next thread-local slot.
std::string Footprint() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  int threads = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    threads += entry.th32OwnerProcessID == GetCurrentProcessId();
  }
  CloseHandle(snapshot);
  HANDLE probe = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(probe);
  const DWORD tls = TlsAlloc();
  TlsFree(tls);
  return "threads " + std::to_string(threads) + ", next handle " + std::to_string(reinterpret_cast<uintptr_t>(probe)) +
         ", next slot " + std::to_string(tls);
}

TEST(Module, ReadAndWrittenAHundredTimesKeepsTheFileAndLeavesNothingBehind) {
  ScratchDir dir("settings-module");
  const std::string ini = dir.File(kIni);
  const std::string dll = ExeDir() + "PlenaraDLL.dll";
  void* view = nullptr;
  int32_t existed = 1;
  HANDLE mapping = OpenSharedMemory(kBlockName, &view, kBlockSize, &existed);
  ASSERT_NE(mapping, nullptr);
  ASSERT_EQ(existed, 0) << "another Plenara holds the block";
  AttachBlock(static_cast<SharedBlock*>(view));
  std::strcpy(Block()->iniPath, ini.c_str());
  std::strcpy(Block()->companionPath, dll.c_str());
  SystemCharset charset;
  const std::string text = FormatText(SampleModel(), charset.Get());
  EXPECT_TRUE(WriteWholeFile(ini, text));
  auto cycle = [] {
    FreeTargets();  // the program's state at a new start: no list, monitoring off
    Block()->monitoringEnabled = 0;
    EXPECT_TRUE(CallCompanion("ReadSetting"));
    EXPECT_TRUE(CallCompanion("WriteSetting"));
  };
  cycle();  // the first round may set up what the system keeps for the process
  const std::string footprint = Footprint();
  for (int i = 0; i < 99; ++i) cycle();

  EXPECT_EQ(GetModuleHandleA(dll.c_str()), nullptr);
  EXPECT_EQ(Footprint(), footprint);
  // Every round leaves the settings and the file as they were; the list is
  // in exactly sized process-heap blocks, as the program frees them.
  SharedBlock& block = *Block();
  EXPECT_EQ(ModelDifference(SampleModel(), ModelOfBlock(block)), "");
  EXPECT_EQ(std::memcmp(&block.activeSettings, &block.pendingSettings, sizeof(SettingsRecord)), 0);
  if (block.NumOfTargets == 3) {
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, TargetsOf(&block)), 3 * sizeof(TargetEntry));
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, ChildrenOf(&TargetsOf(&block)[0])), 2 * sizeof(TargetRecord));
  }
  EXPECT_EQ(ReadWholeFile(ini), text);
  EXPECT_EQ(ReadWholeFile(ini + ".bak"), text);
  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{kIni, kBak}));
  FreeTargets();
  AttachBlock(nullptr);
  CloseSharedMemory(mapping, view);
}

}  // namespace
