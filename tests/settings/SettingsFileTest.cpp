// The settings file on disk under Wine, through the real profile API, and the
// real module loaded and freed for every call: this executable exports
// OpenSharedMemory and CloseSharedMemory as the program does.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "SampleSettings.h"
#include "TestSupport.h"
#include "companion/Companion.h"
#include "settings/BlockSettings.h"
#include "settings/CompanionState.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"
#include "settings/SettingsParse.h"
#include "targets/TargetStore.h"

namespace {

constexpr char kIni[] = "Plenara.ini";
const std::string kBak = std::string(kIni) + ".bak";
const std::string kCopies = std::string(kIni) + ".damaged-*";

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

// The names in folder that match pattern, sorted.
std::vector<std::string> FilesIn(const std::string& folder, const std::string& pattern = "*") {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + pattern).c_str(), &data);
  for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &data)) {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

std::wstring Wide(const std::string& ansi) {
  std::wstring wide(ansi.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0],
                                  static_cast<int>(wide.size())));
  return wide;
}

// ansi in code page 1200 (UTF-16), 1201 (big-endian UTF-16) or UTF-8, with or without its byte-order mark.
std::string Unicode(const std::string& ansi, UINT codePage, bool withMark = true) {
  const std::wstring wide = (withMark ? L"\xFEFF" : L"") + Wide(ansi);
  std::string bytes(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
  if (codePage == CP_UTF8) {
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &bytes[0],
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
  }
  for (size_t i = 0; codePage == 1201 && i < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
  return bytes;
}

// A full path with the prefix that a name past MAX_PATH needs.
std::wstring LongName(const std::string& path) { return L"\\\\?\\" + Wide(path); }

std::string ReadLong(const std::string& path) {
  HANDLE file = CreateFileW(LongName(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return bytes;
}

// The file read back through the loader, which must find it whole and undamaged.
SettingsModel Reread(const std::string& path) {
  LoadedFile loaded;
  SettingsModel model;
  LoadSettingsFile(path.c_str(), model, loaded);
  EXPECT_EQ(loaded.read, FileRead::kRead);
  EXPECT_FALSE(loaded.report.damaged);
  return model;
}

// The name a copy made at local time t + seconds would take first.
std::string CopyNameAt(const SYSTEMTIME& t, int seconds) {
  FILETIME file;
  SystemTimeToFileTime(&t, &file);
  const uint64_t ticks = (uint64_t{file.dwHighDateTime} << 32 | file.dwLowDateTime) + uint64_t(seconds) * 10000000;
  file = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME at;
  FileTimeToSystemTime(&file, &at);
  char name[64];
  std::snprintf(name, sizeof name, "%s.damaged-%04u%02u%02u-%02u%02u%02u", kIni, at.wYear, at.wMonth, at.wDay, at.wHour,
                at.wMinute, at.wSecond);
  return name;
}

// The section names, then each name's first section's lines, as the profile API hands them over.
std::string ThroughProfile(const std::string& path) {
  std::vector<char> buffer(1 << 20);
  const std::string names(buffer.data(), GetPrivateProfileSectionNamesA(buffer.data(), 1 << 20, path.c_str()));
  std::string all = names;
  for (size_t at = 0; at < names.size(); at += std::strlen(&names[at]) + 1) {
    const DWORD got = GetPrivateProfileSectionA(&names[at], buffer.data(), 1 << 20, path.c_str());
    all += "\n" + std::string(buffer.data(), got);
  }
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
  return all;
}

std::string ThroughIndex(const std::string& text, ParseReport& report) {
  SectionIndex index;
  EXPECT_TRUE(index.Build(TextView(text.data(), text.size()), SystemLeads(), report));
  const SectionReader reader = index.Reader();
  TextBuffer out;
  EXPECT_TRUE(reader.names(reader.context, out));
  const std::string names(out.Data(), out.Size());
  std::string all = names;
  std::vector<std::string> seen;
  for (size_t at = 0; at < names.size(); at += seen.back().size() + 1) {
    seen.push_back(&names[at]);
    // The first section of that name, as the profile API finds it.
    size_t first = 0;
    while (lstrcmpiA(seen[first].c_str(), seen.back().c_str()) != 0) ++first;
    EXPECT_TRUE(reader.lines(reader.context, seen.back().c_str(), first, out));
    all += "\n" + std::string(out.Data(), out.Size());
  }
  return all;
}

TEST(SettingsFile, TheOnePassReaderHandsOverWhatTheProfileApiDoes) {
  SystemCharset charset;
  const struct {
    const char* label;
    std::string text;
  } cases[] = {
      {"a file as Plenara writes it", FormatText(SampleModel(), charset.Get())},
      {"empty", ""},
      {"comments and blank lines", "; top\r\n\r\n[Settings]\r\n; x=y\r\n;\r\n  Interval = 700  \r\n\r\n\r\n"},
      {"spaces and tabs around '='", "[1]\r\n\tName\t=\t\"a b\"\t\r\nClass =equals \"E\"\r\nX= near \r\n"},
      {"case of section and key names", "[SETTINGS]\r\ninterval=60\r\n[settings]\r\nINTERVAL=70\r\n[Settings]\r\n"},
      {"duplicate sections and keys", "[1]\r\nName=a\r\nName=b\r\n[2]\r\nName=c\r\n[1]\r\nName=d\r\n"},
      {"lines without '=', empty values", "[1]\r\njust words\r\nName=\r\nTitle=   \r\nClass\r\n"},
      {"lines that begin with '='", "[1]\r\n=v\r\n=w\r\nName=x\r\n=z\r\n[2]\r\n; c\r\n=y\r\n= q\r\n"},
      {"text before the first section, an empty name, odd brackets",
       "stray=1\r\n[]\r\nk=v\r\n[ 1 ]\r\nName=s\r\n[2]junk\r\nName=t\r\n[3\r\nName=u\r\n[a]b]\r\nc=d\r\n"},
      {"LF alone, CR alone, the DOS end mark", "[1]\nName=a\n\n[2]\rName=b\r\r[3]\r\nName=c \x1A\r\n\x1A"},
      {"no line end at the end", "[Settings]\r\nInterval=900"},
      {"ASCII control spaces", "[\t1\x1C]\r\n\x0BName=a\x0C\r\nClass= \x0B b \x0C\r\nX=\x1D\x1E c\x1F\x1A\r\n"},
      {"strings with INI punctuation", "[1]\r\nTitle=contains \" a=b ; [x] \"\r\nName=\"=\"\r\n"},
      {"Japanese, ideographic spaces (kept), second bytes 5C and 5D",
       "[1]\r\n\x81\x40Name\x81\x40=\x81\x40\"\x83\x5C\x83\x74\x83\x67\"\x81\x40\r\nTitle=\x8E\xA6\x5D\r\n"
       "[\x81\x5D]\r\nk=v\r\n[x\x81\x5D\r\n[\x95\x5C]\r\nName=\xB1\xB2\xB3\r\n"},
      {"a long line", "[1]\r\nTitle=equals \"" + std::string(5000, 'x') + "\"\r\nName=after\r\n"},
  };
  ScratchDir dir("settings-profile");
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    // A name of its own for each file: the profile API keeps what it read.
    const std::string path = dir.File("corpus-" + std::to_string(++n) + ".ini");
    ASSERT_TRUE(WriteWholeFile(path, c.text));
    ParseReport report;
    EXPECT_EQ(ThroughIndex(c.text, report), ThroughProfile(path));
    EXPECT_FALSE(report.damaged);
  }
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
BOOL WINAPI FailReplace(LPCWSTR, LPCWSTR, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

// A Plenara.ini whose path is 250 characters long, so that its damaged copy's name passes MAX_PATH.
std::string DeepPath(const std::string& folder) {
  const std::string deep = folder + std::string(239 - 1 - folder.size(), 'd') + "\\";
  EXPECT_TRUE(CreateDirectoryA(deep.c_str(), nullptr)) << deep;
  return deep + kIni;
}

TEST(SettingsFile, EveryFileIsReadAsFarAsItGoesSetAsideOnceIfDamagedAndNeverHalfReplaced) {
  const TargetRecord edit = Rule(kMatchEquals, "Edit", kMatchEnds, "\xD2\xD3\x92\xA0", "\x89\x45\x94\xBC\x95\xAA");
  SystemCharset charset;
  TextBuffer keys;
  AppendRuleKeys(keys, edit, charset.Get());
  const std::string settings =
      "[Settings]\r\nVersion=1\r\nMonitoring=off\r\nInterval=750\r\nReapplyOnWorkAreaChange=no\r\n"
      "OpenSettingsAtStart=no\r\n";
  const std::string clean = settings + "[1]\r\n" + std::string(keys.Data(), keys.Size());
  std::string huge = "[Settings]\r\nInterval=700\r\n";
  huge.resize(kMaxSettingsFileBytes + 1, ';');
  const struct {
    const char* label;
    std::string bytes;
    uint8_t status;
    int32_t targets;
    std::string lines;  // of the block as read, written out, in this order
    bool deep = false;
  } cases[] = {
      {"empty", "", kLoadRepaired, 0, "Interval=500"},
      {"garbage bytes", std::string("\x89PNG\r\n\x1A\n\0\0\xFF\xFE garbage = [[[ ]]] ;;;\x01\x02", 36), kLoadRepaired,
       0, "Interval=500"},
      {"UTF-16 with its mark", Unicode(clean, 1200), kLoadClean, 1, clean},
      {"UTF-16 big-endian with its mark", Unicode(clean, 1201), kLoadClean, 1, clean},
      {"UTF-16 without a mark: NULs dropped, the rest read", Unicode(clean, 1200, false), kLoadRepaired, 1,
       "Interval=750\nClass=equals \"Edit\""},
      {"UTF-8 with its mark", Unicode(clean, CP_UTF8), kLoadClean, 1, clean},
      {"UTF-8 without a mark", Unicode(clean, CP_UTF8, false), kLoadClean, 1, clean},
      // "ﾃｽ" in code page 932 is C3 BD, valid UTF-8 for a character code page 932 lacks.
      {"code page 932 half-width katakana that is valid UTF-8 too", settings + "[1]\r\nName=\xC3\xBD\r\n",
       kLoadRepaired, 1, "Name=\"\xC3\xBD\""},
      {"UTF-8 without a mark, one short name", Unicode(settings + "[1]\r\nName=\x82\xA0\r\n", CP_UTF8, false),
       kLoadRepaired, 1, "Name=\"\x82\xA0\""},
      {"UTF-8 with a character code page 932 lacks: '?' for each half of the pair",
       Unicode(settings, CP_UTF8) + "[1]\r\nName=\"\xF0\x9F\x98\x80 face\"\r\n", kLoadRepaired, 1, "Name=\"?? face\""},
      {"a 1 MB line: cut, and the lines after it read",
       settings + "[1]\r\nTitle=equals \"" + std::string(1 << 20, 'x') + "\"\r\nClass=begins \"After\"\r\n",
       kLoadRepaired, 1, "Class=begins \"After\"\nTitle=equals \"" + std::string(kMaxPatternBytes, 'x') + "\""},
      {"far past any real use: not read, kept as a copy", huge, kLoadRepaired, 0, "Interval=500"},
      {"locked while read: nothing of it taken, set aside before the first save", clean, kLoadUnreadable, 0,
       "Monitoring=on\nInterval=500"},
      {"damaged, NULs and all, 250 characters deep",
       "[Settings]\r\nVersion=1\r\nMonitoring=off\r\nInterval=10\r\nReapplyOnWorkAreaChange=no\r\n"
       "[1]\r\nClass=equals \"Only\"\r\n" + std::string("\0\0\0", 3) +
           "[2]\r\nClass=equals \"C\"\r\nTitle=begins \"open end\r\nSize=huge\r\n",
       kLoadRepaired, 2,
       "Monitoring=off\nInterval=50\nReapplyOnWorkAreaChange=no\n[1]\nClass=equals \"Only\"\n[2]\n"
       "Class=equals \"C\"\nTitle=begins \"open end\"\nSize=none",
       true},
  };
  // Copies made in the next minutes find their first name taken, as a second damaged start that second would.
  ScratchDir dir("settings-copies");
  SYSTEMTIME now;
  GetLocalTime(&now);
  constexpr int kTakenSeconds = 180;
  for (int s = 0; s < kTakenSeconds; ++s) ASSERT_TRUE(WriteWholeFile(dir.File(CopyNameAt(now, s)), "taken"));
  // Reading and saving write nothing outside the file's folder, not even a converted copy in the temporary folder.
  // Nothing below returns early while the variables point there.
  ScratchDir temp("settings-temp");
  HANDLE watch = FindFirstChangeNotificationA(temp.Path().c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(watch, INVALID_HANDLE_VALUE);
  const char* const tempNames[] = {"TMP", "TEMP"};
  char saved[2][MAX_PATH] = {};
  for (int i = 0; i < 2; ++i) {
    GetEnvironmentVariableA(tempNames[i], saved[i], MAX_PATH);
    SetEnvironmentVariableA(tempNames[i], temp.Path().c_str());
  }
  const FileSteps failing[] = {{WriteHalfThenFail}, {WriteFile, FailFlush}, {WriteFile, FlushFileBuffers, FailReplace}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const bool locked = c.status == kLoadUnreadable;
    const std::string path = c.deep ? DeepPath(dir.Path()) : dir.File(kIni);
    const std::string folder = path.substr(0, path.size() - std::strlen(kIni));
    EXPECT_TRUE(WriteWholeFile(path, c.bytes));
    DeleteFileA((path + ".bak").c_str());
    const std::vector<std::string> before = FilesIn(folder, kCopies);
    TestBlock unread(path);  // zero-filled: ReadSetting never ran, as when the module was missing at start
    EXPECT_FALSE(WriteSettingFromBlock(unread));
    // Two starts on a file kept read-only, or locked: the first sets a damaged file aside, the second finds it kept.
    HANDLE lock = locked ? CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr) : nullptr;
    if (!locked) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    std::unique_ptr<TestBlock> block;
    std::string copy;
    for (int start = 0; start < 2; ++start) {
      SCOPED_TRACE(start);
      block = std::make_unique<TestBlock>(path);
      ReadSettingIntoBlock(*block);
      const CompanionState state = LoadCompanionState(*block);
      EXPECT_EQ(state.loadStatus, c.status);
      EXPECT_EQ(state.copyBeforeSave, locked);
      if (start == 0) copy = state.damagedCopy;
      EXPECT_EQ(copy, state.damagedCopy);
      EXPECT_EQ(FilesIn(folder, kCopies).size(), before.size() + !copy.empty());
      EXPECT_EQ(block->openSettingsAtStart, 0);  // not a first start
      EXPECT_EQ(block->NumOfTargets, c.targets);
      EXPECT_TRUE(HasLines(FormatText(ModelOfBlock(*block), charset.Get()), c.lines));
    }
    EXPECT_EQ(copy.empty(), c.status != kLoadRepaired);
    // While the file stays locked no copy can be made, so no save replaces it.
    if (locked) {
      EXPECT_FALSE(WriteSettingFromBlock(*block));
      CloseHandle(lock);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    block->monitoringEnabled = 1;  // a change that a failed save must not half-write
    block->activeSettings.monitorInterval = 800;
    for (const FileSteps& steps : failing) {
      EXPECT_FALSE(WriteSettingFromBlock(*block, steps));
      EXPECT_TRUE(ReadWholeFile(path) == c.bytes);  // nor did reading ever touch it
      // Nothing is left beside the file, its copies and a .bak, which if made is the previous file.
      const std::vector<std::string> baks = FilesIn(folder, "*.bak");
      EXPECT_EQ(FilesIn(folder).size(), 1 + FilesIn(folder, kCopies).size() + baks.size());
      EXPECT_TRUE(baks.empty() || ReadWholeFile(path + ".bak") == c.bytes);
    }
    // Saved in the code page, the file as it was kept as the .bak, and set aside once.
    EXPECT_TRUE(WriteSettingFromBlock(*block));
    EXPECT_TRUE(ReadWholeFile(path + ".bak") == c.bytes);
    EXPECT_TRUE(WriteSettingFromBlock(*block));
    EXPECT_TRUE(ReadWholeFile(path) == FormatText(ModelOfBlock(*block), charset.Get()));
    EXPECT_EQ(ModelDifference(ModelOfBlock(*block), Reread(path)), "");
    std::vector<std::string> made, copies = FilesIn(folder, kCopies);
    std::set_difference(copies.begin(), copies.end(), before.begin(), before.end(), std::back_inserter(made));
    EXPECT_EQ(made.size(), c.status == kLoadClean ? 0u : 1u);
    for (const std::string& name : made) {
      EXPECT_TRUE(copy.empty() || name == std::string(kIni) + "." + copy) << name;
      EXPECT_TRUE(ReadLong(folder + name) == c.bytes) << name;
      SetFileAttributesW(LongName(folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file's copy is too
      EXPECT_TRUE(DeleteFileW(LongName(folder + name).c_str()));  // the scratch folder's removal knows no long names
    }
  }
  for (int s = 0; s < kTakenSeconds; ++s) EXPECT_EQ(ReadWholeFile(dir.File(CopyNameAt(now, s))), "taken");
  for (int i = 0; i < 2; ++i) SetEnvironmentVariableA(tempNames[i], saved[i][0] ? saved[i] : nullptr);
  EXPECT_EQ(WaitForSingleObject(watch, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  ASSERT_TRUE(WriteWholeFile(temp.File("probe"), "x"));  // the watch does see a file made there
  EXPECT_EQ(WaitForSingleObject(watch, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  FindCloseChangeNotification(watch);
}

// Runs save on a thread while the lock named name is held: it waits far longer than a save takes (and far shorter
// than a saver waits) until meanwhile has run and the lock is let go. Returns what save returned.
bool SaveWhileHeld(const char* name, const std::function<bool()>& save, const std::function<void()>& meanwhile) {
  HANDLE held = CreateMutexA(nullptr, TRUE, name);
  std::future<bool> saved = std::async(std::launch::async, save);
  EXPECT_EQ(saved.wait_for(std::chrono::seconds(3)), std::future_status::timeout);
  meanwhile();
  ReleaseMutex(held);
  CloseHandle(held);
  EXPECT_EQ(saved.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  return saved.get();
}

TEST(SettingsFile, ASaveWaitsWhileAnotherSaverHoldsTheFileUnderAnySpellingThenWritesTheNewerState) {
  ScratchDir dir("settings-lock");
  const std::string path = dir.File(kIni);
  ASSERT_TRUE(SaveSettingsText(path.c_str(), "; first\r\n"));
  std::string upper = path;
  CharUpperA(&upper[0]);
  ASSERT_NE(upper, path);
  char name[kMutexNameSize];
  SaveMutexName(upper.c_str(), name);
  EXPECT_TRUE(SaveWhileHeld(name, [&] { return SaveSettingsText(path.c_str(), "; later\r\n"); },
                            [&] { EXPECT_EQ(ReadWholeFile(path), "; first\r\n"); }));
  EXPECT_EQ(ReadWholeFile(path), "; later\r\n");
  EXPECT_EQ(ReadWholeFile(path + ".bak"), "; first\r\n");

  // Two saves of the block racing: the one that waited writes the block as it is once the lock is its own.
  SystemCharset charset;
  ASSERT_TRUE(SaveSettingsText(path.c_str(), FormatText(SampleModel(), charset.Get()).c_str()));
  TestBlock block(path);
  ReadSettingIntoBlock(block);
  ASSERT_EQ(LoadCompanionState(block).loadStatus, kLoadClean);
  block.activeSettings.monitorInterval = 750;
  EXPECT_TRUE(SaveWhileHeld(name, [&] { return WriteSettingFromBlock(block); },
                            [&] { block.activeSettings.monitorInterval = 900; }));  // the other save's state
  EXPECT_EQ(Reread(path).general.monitorInterval, 900);
}

// What a module left behind would change: the thread count, the next handle value (the lowest free slot; Wine
// does not count handles for GetProcessHandleCount) and the next thread-local slot.
std::string Footprint() {
  HANDLE probe = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(probe);
  const DWORD tls = TlsAlloc();
  TlsFree(tls);
  return "threads " + std::to_string(ThreadCount(GetCurrentProcessId())) + ", next handle " +
         std::to_string(reinterpret_cast<uintptr_t>(probe)) + ", next slot " + std::to_string(tls);
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
  SharedBlock& block = *Block();
  std::strcpy(block.iniPath, ini.c_str());
  std::strcpy(block.companionPath, dll.c_str());

  // The first start: no file, the defaults, the settings shown this once; the first save writes the file.
  EXPECT_TRUE(CallCompanion("ReadSetting"));
  EXPECT_EQ(LoadCompanionState(block).loadStatus, kLoadNoFile);
  EXPECT_EQ(block.openSettingsAtStart, 1);
  EXPECT_EQ(ModelDifference(SettingsModel{}, ModelOfBlock(block)), "");
  EXPECT_TRUE(FilesIn(dir.Path()).empty());
  EXPECT_TRUE(CallCompanion("WriteSetting"));
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{kIni});
  EXPECT_EQ(ModelDifference(SettingsModel{}, Reread(ini)), "");

  SystemCharset charset;
  const std::string text = FormatText(SampleModel(), charset.Get());
  EXPECT_TRUE(WriteWholeFile(ini, text));
  std::string footprint;
  for (int round = 0; round < 100; ++round) {
    FreeTargets();  // the program's state at a new start: no list, monitoring off
    block.monitoringEnabled = 0;
    EXPECT_TRUE(CallCompanion("ReadSetting"));
    EXPECT_TRUE(CallCompanion("WriteSetting"));
    if (round == 0) footprint = Footprint();  // the first round may set up what the system keeps for the process
  }
  EXPECT_EQ(GetModuleHandleA(dll.c_str()), nullptr);
  EXPECT_EQ(Footprint(), footprint);
  // Every round leaves settings and file as they were; the list is in exactly sized process-heap blocks, as the
  // program frees them.
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
