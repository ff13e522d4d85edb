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

std::string Utf8(const std::string& ansi, bool withMark = true) {
  const std::wstring wide = Wide(ansi);
  std::string utf8(wide.size() * 3, '\0');
  utf8.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0],
                                  static_cast<int>(utf8.size()), nullptr, nullptr));
  return (withMark ? "\xEF\xBB\xBF" : "") + utf8;
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

// Two starts on a file that stays damaged: each repairs it, the first keeps one copy and the second finds
// it kept. check sees each start's block. Returns the copy's name.
std::string StartTwice(const std::string& path, const std::function<size_t()>& copies,
                       const std::function<void(TestBlock&, int)>& check) {
  std::string first;
  for (int start = 0; start < 2; ++start) {
    SCOPED_TRACE(start);
    TestBlock block(path);
    ReadSettingIntoBlock(block);
    const CompanionState state = LoadCompanionState(block);
    EXPECT_EQ(state.loadStatus, kLoadRepaired);
    EXPECT_EQ(state.copyBeforeSave, 0);
    EXPECT_NE(state.damagedCopy[0], '\0');
    if (start == 0) first = state.damagedCopy;
    EXPECT_EQ(std::string(state.damagedCopy), first);
    EXPECT_EQ(copies(), 1u);
    check(block, start);
  }
  return first;
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
  const TargetRecord edit = Rule(kMatchEquals, "Edit", kMatchEnds, "\xD2\xD3\x92\xA0", name);  // ﾒﾓ帳
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
      {"UTF-8 without a mark", Utf8(clean, false), false, 1, isEdit},
      // "ﾃｽ" in code page 932 is C3 BD, valid UTF-8 for a character code page 932 lacks.
      {"code page 932 half-width katakana that is valid UTF-8 too", settings + "[1]\r\nName=\xC3\xBD\r\n", true, 1,
       [](const SharedBlock& b) { EXPECT_STREQ(RuleName(TargetsOf(&b)[0].record), "\xC3\xBD"); }},
      {"UTF-8 without a mark, one short name", Utf8(settings + "[1]\r\nName=\x82\xA0\r\n", false), true, 1,
       [](const SharedBlock& b) { EXPECT_STREQ(RuleName(TargetsOf(&b)[0].record), "\x82\xA0"); }},
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
  // Reading writes nothing outside the settings file's folder: not even a
  // converted copy in the temporary folder.
  ScratchDir temp("settings-temp");
  const char* const tempNames[] = {"TMP", "TEMP"};
  char saved[2][MAX_PATH] = {};
  for (int i = 0; i < 2; ++i) {
    GetEnvironmentVariableA(tempNames[i], saved[i], MAX_PATH);
    SetEnvironmentVariableA(tempNames[i], temp.Path().c_str());
  }
  HANDLE watch = FindFirstChangeNotificationA(temp.Path().c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  ASSERT_NE(watch, INVALID_HANDLE_VALUE);
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
  for (int i = 0; i < 2; ++i) SetEnvironmentVariableA(tempNames[i], saved[i][0] ? saved[i] : nullptr);
  EXPECT_EQ(WaitForSingleObject(watch, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  ASSERT_TRUE(WriteWholeFile(temp.File("probe"), "x"));  // the watch does see a file made there
  EXPECT_EQ(WaitForSingleObject(watch, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  FindCloseChangeNotification(watch);

  // A file without a mark read as UTF-8 is saved in code page 932, the
  // original kept as the .bak.
  const std::string utf8 = Utf8(clean, false);
  ASSERT_TRUE(WriteWholeFile(path, utf8));
  TestBlock block(path);
  ReadSettingIntoBlock(block);
  ASSERT_TRUE(WriteSettingFromBlock(block));
  EXPECT_TRUE(ReadWholeFile(path) == FormatText(ModelOfBlock(block), charset.Get()));
  EXPECT_NE(ReadWholeFile(path).find(name), std::string::npos);
  EXPECT_TRUE(ReadWholeFile(path + ".bak") == utf8);
}

// The profile API's own reading of a file, the reference for the one-pass
// reader: both must hand over the same names and the same lines.
struct ProfileReading {
  std::string names;
  std::vector<std::string> lines;  // per name, of the first section of that name
};

ProfileReading ReadThroughProfile(const std::string& path) {
  std::vector<char> buffer(1 << 20);
  ProfileReading reading;
  const DWORD got = GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
  reading.names.assign(buffer.data(), got);
  for (size_t start = 0; start < reading.names.size();) {
    const std::string name = reading.names.c_str() + start;
    const DWORD n = GetPrivateProfileSectionA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
    reading.lines.emplace_back(buffer.data(), n);
    start += name.size() + 1;
  }
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
  return reading;
}

ProfileReading ReadThroughIndex(const std::string& text, ParseReport& report) {
  SectionIndex index;
  EXPECT_TRUE(index.Build(TextView(text.data(), text.size()), SystemLeads(), report));
  const SectionReader reader = index.Reader();
  ProfileReading reading;
  TextBuffer out;
  EXPECT_TRUE(reader.names(reader.context, out));
  reading.names.assign(out.Data(), out.Size());
  // The first section of each name, as the profile API finds it.
  std::vector<std::string> seen;
  for (size_t start = 0; start < reading.names.size();) {
    const std::string name = reading.names.c_str() + start;
    size_t first = 0;
    while (first < seen.size() && lstrcmpiA(seen[first].c_str(), name.c_str()) != 0) ++first;
    seen.push_back(name);
    EXPECT_TRUE(reader.lines(reader.context, name.c_str(), first, out));
    reading.lines.emplace_back(out.Data(), out.Size());
    start += name.size() + 1;
  }
  return reading;
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
    const ProfileReading reference = ReadThroughProfile(path);
    ParseReport report;
    const ProfileReading reading = ReadThroughIndex(c.text, report);
    EXPECT_TRUE(reading.names == reference.names) << "[" << reading.names << "] [" << reference.names << "]";
    ASSERT_EQ(reading.lines.size(), reference.lines.size());
    for (size_t i = 0; i < reference.lines.size(); ++i) {
      EXPECT_TRUE(reading.lines[i] == reference.lines[i]) << i << ": [" << reading.lines[i] << "] [" << reference.lines[i] << "]";
    }
    EXPECT_FALSE(report.damaged);
  }
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

TEST(SettingsFile, AFileFarPastAnyRealUseIsNotReadAndIsKeptOnceAsADamagedCopy) {
  ScratchDir dir("settings-huge");
  const std::string path = dir.File(kIni);
  std::string huge = "[Settings]\r\nInterval=700\r\n";
  huge.resize(kMaxSettingsFileBytes + 1, ';');
  ASSERT_TRUE(WriteWholeFile(path, huge));
  const std::string first = StartTwice(path, [&] { return DamagedCopies(dir.Path()).size(); }, [](TestBlock& block, int start) {
    EXPECT_EQ(block.activeSettings.monitorInterval, kDefaultInterval);
    EXPECT_EQ(block.openSettingsAtStart, 0);
    if (start == 1) {
      EXPECT_TRUE(WriteSettingFromBlock(block));
    }
  });
  EXPECT_TRUE(ReadWholeFile(dir.File(std::string(kIni) + "." + first)) == huge);
  EXPECT_TRUE(ReadWholeFile(dir.File(kBak)) == huge);
  EXPECT_LT(ReadWholeFile(path).size(), 1000u);
}

struct LaterSave {
  std::string path, text;
};

DWORD WINAPI SaveLater(void* param) {
  auto* later = static_cast<LaterSave*>(param);
  return SaveSettingsText(later->path.c_str(), TextView(later->text.data(), later->text.size()));
}

DWORD WINAPI SaveBlock(void* block) { return WriteSettingFromBlock(*static_cast<TestBlock*>(block)); }

// A save on a thread while the lock named name is held: it waits far longer than a save takes (and far
// shorter than a saver waits) until meanwhile has run and the lock is let go. Returns what it returned.
DWORD SaveWhileHeld(const char* name, LPTHREAD_START_ROUTINE save, void* param, const std::function<void()>& meanwhile) {
  HANDLE held = CreateMutexA(nullptr, TRUE, name);
  HANDLE thread = held ? CreateThread(nullptr, 0, save, param, 0, nullptr) : nullptr;
  EXPECT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 3000), static_cast<DWORD>(WAIT_TIMEOUT));
  meanwhile();
  ReleaseMutex(held);
  EXPECT_EQ(WaitForSingleObject(thread, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD saved = 0;
  GetExitCodeThread(thread, &saved);
  CloseHandle(thread);
  CloseHandle(held);
  return saved;
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
  LaterSave later{path, "; later\r\n"};
  EXPECT_EQ(SaveWhileHeld(name, SaveLater, &later, [&] { EXPECT_EQ(ReadWholeFile(path), "; first\r\n"); }), 1u);
  EXPECT_EQ(ReadWholeFile(path), later.text);
  EXPECT_EQ(ReadWholeFile(path + ".bak"), "; first\r\n");

  // Two saves of the block racing: the one that waited for the lock writes
  // the block as it is once the lock is its own, the newer state.
  SystemCharset charset;
  ASSERT_TRUE(SaveSettingsText(path.c_str(), FormatText(SampleModel(), charset.Get()).c_str()));
  TestBlock block(path);
  ReadSettingIntoBlock(block);
  ASSERT_EQ(LoadCompanionState(block).loadStatus, kLoadClean);
  block.activeSettings.monitorInterval = 750;
  // 900 is what the other save wrote meanwhile.
  EXPECT_EQ(SaveWhileHeld(name, SaveBlock, &block, [&] { block.activeSettings.monitorInterval = 900; }), 1u);
  EXPECT_EQ(Reread(path).general.monitorInterval, 900);
}

std::wstring LongName(const std::string& path) {
  wchar_t full[1024];
  GetFullPathNameW(Wide(path).c_str(), 1024, full, nullptr);
  return L"\\\\?\\" + std::wstring(full);
}

std::vector<std::wstring> LongCopies(const std::string& path) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((LongName(path) + L".damaged-*").c_str(), &data);
  for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data)) names.push_back(data.cFileName);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  return names;
}

TEST(SettingsFile, ALongPathKeepsItsCopyAndSavesAndAFileThatStaysDamagedGetsOneCopy) {
  ScratchDir dir("settings-long");
  // A settings path of 250 characters: its damaged copy's name passes MAX_PATH.
  std::string folder = dir.Path();
  while (folder.size() + 60 < 239) {
    folder += std::string(40, 'd') + "\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  }
  folder += std::string(239 - 1 - folder.size(), 'e') + "\\";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder.size();
  const std::string path = folder + kIni;
  ASSERT_EQ(path.size(), 250u);
  const std::string damaged = "[Settings]\r\nInterval=10\r\n";
  ASSERT_TRUE(WriteWholeFile(path, damaged));
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
  StartTwice(path, [&] { return LongCopies(path).size(); }, [](TestBlock&, int) {});
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  TestBlock block(path);
  ReadSettingIntoBlock(block);
  EXPECT_EQ(block.activeSettings.monitorInterval, kMinInterval);
  block.activeSettings.monitorInterval = 800;
  EXPECT_TRUE(WriteSettingFromBlock(block));
  EXPECT_TRUE(ReadWholeFile(path + ".bak") == damaged);
  EXPECT_EQ(Reread(path).general.monitorInterval, 800);
  const std::vector<std::wstring> copies = LongCopies(path);
  ASSERT_EQ(copies.size(), 1u);
  const std::wstring copy = LongName(folder) + copies[0];
  HANDLE file = CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char bytes[64] = {};
  DWORD got = 0;
  ReadFile(file, bytes, sizeof bytes, &got, nullptr);
  CloseHandle(file);
  EXPECT_EQ(std::string(bytes, got), damaged);
  EXPECT_TRUE(DeleteFileW(copy.c_str()));  // the scratch folder's removal knows no long names
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
  const SettingsModel reread = Reread(path);
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
  EXPECT_EQ(ModelDifference(SettingsModel{}, Reread(ini)), "");

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
