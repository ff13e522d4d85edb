// The settings file on disk under Wine, through the real profile API, and the
// real module loaded and freed for every call: this executable exports
// OpenSharedMemory and CloseSharedMemory as the program does.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <set>

#include "SampleSettings.h"
#include "TestSupport.h"
#include "companion/Companion.h"
#include "settings/BlockSettings.h"
#include "settings/CompanionState.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"
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

std::vector<std::string> DamagedCopies(const std::string& folder) {
  std::vector<std::string> copies;
  for (const std::string& name : FilesIn(folder)) {
    if (name.rfind(std::string(kIni) + ".damaged-", 0) == 0) copies.push_back(name);
  }
  return copies;
}

std::wstring Wide(const std::string& ansi) {
  std::wstring wide(ansi.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0],
                                  static_cast<int>(wide.size())));
  return wide;
}

std::string Utf16(const std::string& ansi, bool bigEndian, bool withMark) {
  std::string bytes = withMark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
  for (wchar_t c : Wide(ansi)) {
    const char low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

std::string Utf8(const std::string& ansi) {
  const std::wstring wide = Wide(ansi);
  std::string utf8(wide.size() * 3, '\0');
  utf8.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0],
                                  static_cast<int>(utf8.size()), nullptr, nullptr));
  return "\xEF\xBB\xBF" + utf8;
}

// The name a copy made at local time t + seconds would take first.
std::string CopyNameAt(const SYSTEMTIME& t, int seconds) {
  FILETIME file;
  SystemTimeToFileTime(&t, &file);
  ULARGE_INTEGER ticks = {{file.dwLowDateTime, file.dwHighDateTime}};
  ticks.QuadPart += uint64_t(seconds) * 10000000;
  file = {ticks.LowPart, ticks.HighPart};
  SYSTEMTIME at;
  FileTimeToSystemTime(&file, &at);
  char name[64];
  std::snprintf(name, sizeof name, "%s.damaged-%04u%02u%02u-%02u%02u%02u", kIni, at.wYear, at.wMonth, at.wDay, at.wHour,
                at.wMinute, at.wSecond);
  return name;
}

TEST(SettingsFile, EachDamagedStartKeepsItsOwnCopyAndEveryEncodingIsRead) {
  const std::string name = "\x89\x45\x94\xBC\x95\xAA";  // 右半分
  const TargetRecord edit = Rule(kMatchEquals, "Edit", kMatchAny, "", name);
  SystemCharset charset;
  TextBuffer keys;
  AppendRuleKeys(keys, edit, charset.Get());
  const std::string settings =
      "[Settings]\r\nVersion=1\r\nMonitoring=off\r\nInterval=750\r\nReapplyOnWorkAreaChange=no\r\n"
      "OpenSettingsAtStart=no\r\n";
  const std::string clean = settings + "[1]\r\n" + std::string(keys.Data(), keys.Size());
  const auto isEdit = [&](const SharedBlock& b) {
    EXPECT_EQ(std::memcmp(&TargetsOf(&b)[0].record, &edit, sizeof edit), 0);
    EXPECT_EQ(b.activeSettings.monitorInterval, 750);
  };
  const struct {
    const char* label;
    std::string bytes;
    bool damaged;
    int32_t targets;
    std::function<void(const SharedBlock&)> check;
  } cases[] = {
      {"empty", "", true, 0, [](const SharedBlock& b) { EXPECT_EQ(b.activeSettings.monitorInterval, kDefaultInterval); }},
      {"garbage bytes", std::string("\x89PNG\r\n\x1A\n\0\0\xFF\xFE garbage = [[[ ]]] ;;;\x01\x02", 36), true, 0, nullptr},
      {"UTF-16 with its mark", Utf16(clean, false, true), false, 1, isEdit},
      {"UTF-16 big-endian with its mark", Utf16(clean, true, true), false, 1, isEdit},
      {"UTF-16 without a mark: NULs dropped, the rest read", Utf16(clean, false, false), true, 1,
       [](const SharedBlock& b) { EXPECT_STREQ(TargetsOf(&b)[0].record.classPattern, "Edit"); }},
      {"UTF-8 with its mark", Utf8(clean), false, 1, isEdit},
      {"UTF-8 with a character code page 932 lacks", Utf8(settings) + "[1]\r\nName=\"\xF0\x9F\x98\x80 face\"\r\n", true, 1,
       [](const SharedBlock& b) { EXPECT_NE(std::strstr(RuleName(TargetsOf(&b)[0].record), " face"), nullptr); }},
      {"duplicate sections: the first counts", clean + "[1]\r\nClass=any \"\"\r\n[settings]\r\nInterval=60\r\n", true, 1,
       isEdit},
      {"a 1 MB line: cut, and the lines after it read",
       settings + "[1]\r\nTitle=equals \"" + std::string(1 << 20, 'x') + "\"\r\nClass=begins \"After\"\r\n", true, 1,
       [](const SharedBlock& b) {
         EXPECT_EQ(std::string(TargetsOf(&b)[0].record.titlePattern), std::string(kMaxPatternBytes, 'x'));
         EXPECT_STREQ(TargetsOf(&b)[0].record.classPattern, "After");
       }},
  };
  // Copies made within the next minutes find their first name taken, as a
  // second damaged start within the same second would.
  ScratchDir dir("settings-copies");
  const std::string path = dir.File(kIni);
  SYSTEMTIME start;
  GetLocalTime(&start);
  constexpr int kTakenSeconds = 180;
  for (int s = 0; s < kTakenSeconds; ++s) ASSERT_TRUE(WriteWholeFile(dir.File(CopyNameAt(start, s)), "taken"));
  std::set<std::string> kept;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(WriteWholeFile(path, c.bytes));
    TestBlock block(path);
    ReadSettingIntoBlock(block);
    EXPECT_TRUE(ReadWholeFile(path) == c.bytes);  // reading never touches the file
    const CompanionState state = LoadCompanionState(block);
    EXPECT_EQ(state.loadStatus, c.damaged ? kLoadRepaired : kLoadClean);
    EXPECT_EQ(state.copyBeforeSave, 0);
    ASSERT_EQ(block.NumOfTargets, c.targets);
    if (c.check) c.check(block);
    if (c.damaged) {
      const std::string copy = std::string(kIni) + "." + state.damagedCopy;
      EXPECT_TRUE(kept.insert(copy).second) << copy;
      EXPECT_TRUE(ReadWholeFile(dir.File(copy)) == c.bytes) << copy;
    } else {
      EXPECT_STREQ(state.damagedCopy, "");
    }
    EXPECT_EQ(DamagedCopies(dir.Path()).size(), kTakenSeconds + kept.size());
  }
  for (int s = 0; s < kTakenSeconds; ++s) EXPECT_EQ(ReadWholeFile(dir.File(CopyNameAt(start, s))), "taken");
}

TEST(SettingsFile, AFileThatCannotBeReadIsSetAsideOnceAndAnUnreadBlockNeverOverwritesIt) {
  ScratchDir dir("settings-locked");
  const std::string path = dir.File(kIni);
  SystemCharset charset;
  const std::string original = FormatText(SampleModel(), charset.Get());
  ASSERT_TRUE(WriteWholeFile(path, original));
  TestBlock block(path);  // zero-filled: ReadSetting never ran, as when the module was missing at start
  EXPECT_FALSE(WriteSettingFromBlock(block));
  EXPECT_EQ(ReadWholeFile(path), original);

  HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  ReadSettingIntoBlock(block);
  EXPECT_EQ(LoadCompanionState(block).loadStatus, kLoadUnreadable);
  EXPECT_EQ(block.NumOfTargets, 0);
  EXPECT_EQ(block.openSettingsAtStart, 0);  // not a first start
  // While the file stays locked no copy can be made, so no save replaces it.
  EXPECT_FALSE(WriteSettingFromBlock(block));
  CloseHandle(exclusive);
  EXPECT_EQ(ReadWholeFile(path), original);

  ASSERT_TRUE(WriteSettingFromBlock(block));
  std::vector<std::string> copies = DamagedCopies(dir.Path());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(ReadWholeFile(dir.File(copies[0])), original);
  EXPECT_EQ(LoadCompanionState(block).copyBeforeSave, 0);
  ASSERT_TRUE(WriteSettingFromBlock(block));  // once is enough
  EXPECT_EQ(DamagedCopies(dir.Path()), copies);
}

struct LaterSave {
  std::string path, text;
  bool saved;
};

DWORD WINAPI SaveLater(void* param) {
  auto* later = static_cast<LaterSave*>(param);
  later->saved = SaveSettingsText(later->path.c_str(), TextView(later->text.data(), later->text.size()));
  return 0;
}

TEST(SettingsFile, ASaveWaitsWhileAnotherSaverHoldsTheFileUnderAnySpelling) {
  ScratchDir dir("settings-lock");
  const std::string path = dir.File(kIni);
  ASSERT_TRUE(SaveSettingsText(path.c_str(), "; first\r\n"));
  std::string upper = path;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ASSERT_NE(upper, path);
  char name[kMutexNameSize];
  SaveMutexName(upper.c_str(), name);
  HANDLE held = CreateMutexA(nullptr, TRUE, name);
  ASSERT_NE(held, nullptr);
  LaterSave later{path, "; later\r\n", false};
  HANDLE thread = CreateThread(nullptr, 0, SaveLater, &later, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  // Far longer than a save takes, far shorter than a saver waits.
  EXPECT_EQ(WaitForSingleObject(thread, 3000), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(ReadWholeFile(path), "; first\r\n");
  ReleaseMutex(held);
  EXPECT_EQ(WaitForSingleObject(thread, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
  CloseHandle(thread);
  CloseHandle(held);
  EXPECT_TRUE(later.saved);
  EXPECT_EQ(ReadWholeFile(path), later.text);
  EXPECT_EQ(ReadWholeFile(path + ".bak"), "; first\r\n");
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

  // The first start: no file, the defaults, the settings shown this once;
  // the first save writes the file.
  EXPECT_TRUE(CallCompanion("ReadSetting"));
  EXPECT_EQ(LoadCompanionState(*Block()).loadStatus, kLoadNoFile);
  EXPECT_EQ(Block()->openSettingsAtStart, 1);
  EXPECT_EQ(Block()->monitoringEnabled, 1);
  EXPECT_EQ(ModelDifference(SettingsModel{}, ModelOfBlock(*Block())), "");
  EXPECT_TRUE(FilesIn(dir.Path()).empty());
  EXPECT_TRUE(CallCompanion("WriteSetting"));
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{kIni});
  LoadedFile first;
  SettingsModel written;
  LoadSettingsFile(ini.c_str(), written, first);
  EXPECT_EQ(first.read, FileRead::kRead);
  EXPECT_FALSE(first.report.damaged);
  EXPECT_EQ(ModelDifference(SettingsModel{}, written), "");

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
