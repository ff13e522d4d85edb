// The settings file on disk under Wine: the real profile API, real files,
// the module's reading into a block and its saves, damaged files and
// failing writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>

#include "BlockHelpers.h"
#include "SampleSettings.h"
#include "TestSupport.h"
#include "settings/BlockSettings.h"
#include "settings/CompanionState.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"
#include "targets/TargetStore.h"

namespace {

constexpr char kIni[] = "Plenara.ini";
const std::string kBak = std::string(kIni) + ".bak";
const char kSettingsText[] =
    "[Settings]\r\nVersion=1\r\nMonitoring=on\r\nInterval=500\r\nReapplyOnWorkAreaChange=yes\r\n"
    "OpenSettingsAtStart=no\r\n";

// A zero-filled block of the test's own whose iniPath names path; frees its
// rule list on scope exit.
struct TestBlock : SharedBlock {
  explicit TestBlock(const std::string& path) : SharedBlock() {
    std::strncpy(iniPath, path.c_str(), sizeof iniPath - 1);
  }
  ~TestBlock() { Reset(); }
  // Frees the rule list and switches monitoring off: the state of a fresh start.
  void Reset() {
    AttachBlock(this);
    FreeTargets();
    AttachBlock(nullptr);
    monitoringEnabled = 0;
  }
};

bool Save(const std::string& path, const std::string& text) {
  return SaveSettingsText(path.c_str(), TextView(text.data(), text.size()));
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

std::string Utf16(const std::string& ansi, bool bigEndian, bool withBom) {
  std::string bytes = withBom ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
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

TEST(SettingsFile, NothingIsWrittenForABlockThatWasNeverRead) {
  ScratchDir dir("settings-unread");
  const std::string path = dir.File(kIni);
  const std::string text = FormatSystem(SampleModel());
  ASSERT_TRUE(WriteWholeFile(path, text));
  TestBlock block(path);  // zero-filled: ReadSetting never ran
  EXPECT_FALSE(WriteSettingFromBlock(block));
  EXPECT_EQ(ReadWholeFile(path), text);
  // Nor does a read replace a list while a monitor may be reading it.
  block.monitoringEnabled = 1;
  ReadSettingIntoBlock(block);
  EXPECT_EQ(block.NumOfTargets, 0);
  EXPECT_EQ(LoadCompanionState(block).signature, 0u);
}

struct FileCase {
  const char* what;
  std::string bytes;
  bool damaged;
  int targets;  // -1: do not check
  std::function<void(const TargetRecord& first)> check;
};

TEST(SettingsFile, DamagedFilesAreKeptAsTheyWereAndReadAsFarAsTheyCan) {
  const std::string sample = FormatSystem(SampleModel());
  std::string withNuls = sample;
  withNuls.insert(withNuls.find("[2]"), std::string("\0\0\0", 3));
  std::mt19937 random(7);
  std::string garbage(512, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  TextBuffer keys;
  SystemCharset charset;
  AppendRuleKeys(keys, Rule(kMatchEquals, "Edit", kMatchAny, "", "\x89\x45\x94\xBC\x95\xAA"), charset.Get());
  const std::string settingsAndRule = kSettingsText + std::string("[1]\r\n") + std::string(keys.Data(), keys.Size());
  const auto edit = [](const TargetRecord& r) {
    EXPECT_STREQ(RuleName(r), "\x89\x45\x94\xBC\x95\xAA");
    EXPECT_STREQ(r.classPattern, "Edit");
  };

  const std::vector<FileCase> cases = {
      {"empty", "", true, 0, nullptr},
      {"truncated", sample.substr(0, sample.size() / 2), true, -1, nullptr},
      {"binary garbage", garbage, true, -1, nullptr},
      {"larger than any settings file", std::string(kMaxSettingsFileBytes + 1, ';'), true, 0, nullptr},
      {"NUL bytes: dropped, the rest is read", withNuls, true, 3, nullptr},
      {"UTF-16 with a byte-order mark", Utf16(settingsAndRule, false, true), false, 1, edit},
      {"UTF-16 big-endian with a byte-order mark", Utf16(settingsAndRule, true, true), false, 1, edit},
      {"UTF-16 without a byte-order mark: NULs dropped", Utf16(settingsAndRule, false, false), true, 1,
       [](const TargetRecord& r) { EXPECT_STREQ(r.classPattern, "Edit"); }},
      {"UTF-8 with a byte-order mark", Utf8(settingsAndRule), false, 1, edit},
      {"UTF-8 with a character code page 932 lacks",
       std::string("\xEF\xBB\xBF") + kSettingsText + "[1]\r\nName=\"\xF0\x9F\x98\x80 face\"\r\n", true, 1,
       [](const TargetRecord& r) { EXPECT_NE(std::strstr(RuleName(r), " face"), nullptr); }},
      {"comment lines inside a section", settingsAndRule + "; a note\r\n  ;another\r\n", false, 1, edit},
      {"duplicate sections: the first counts", settingsAndRule + "[1]\r\nClass=any \"\"\r\n[settings]\r\nInterval=60\r\n",
       true, 1, edit},
      {"a 1 MB line",
       kSettingsText + ("[1]\r\nTitle=equals \"" + std::string(1 << 20, 'x') + "\"\r\n" + std::string(1 << 20, 'y')),
       true, 1, [](const TargetRecord& r) { EXPECT_EQ(std::string(r.titlePattern), std::string(128, 'x')); }},
      {"text before the first section", "hello\r\n" + sample, true, 3, nullptr},
  };
  // One folder for all: the copies of damaged files pile up, and none is
  // ever overwritten, however quickly they follow one another.
  ScratchDir dir("settings-damaged");
  const std::string path = dir.File(kIni);
  std::map<std::string, const std::string*> kept;
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteWholeFile(path, c.bytes));
    TestBlock block(path);
    ReadSettingIntoBlock(block);
    EXPECT_TRUE(ReadWholeFile(path) == c.bytes);  // reading never touches the file
    const CompanionState state = LoadCompanionState(block);
    EXPECT_EQ(state.signature, kCompanionSignature);
    if (c.targets >= 0) {
      EXPECT_EQ(block.NumOfTargets, c.targets);
    }
    if (c.check && block.NumOfTargets == c.targets) c.check(TargetsOf(&block)[0].record);
    const std::vector<std::string> copies = DamagedCopies(dir.Path());
    LoadedFile why;
    LoadFile(path, why);
    EXPECT_EQ(state.loadStatus, c.damaged ? kLoadRepaired : kLoadClean) << Notes(why.report);
    ASSERT_EQ(copies.size(), kept.size() + (c.damaged ? 1 : 0));
    if (c.damaged) {
      const std::string name = std::string(kIni) + "." + state.damagedCopy;
      EXPECT_EQ(std::count(copies.begin(), copies.end(), name), 1) << name;
      kept[name] = &c.bytes;
    }
    // The next save is silent, works, and leaves the copies alone.
    EXPECT_TRUE(WriteSettingFromBlock(block));
    EXPECT_EQ(DamagedCopies(dir.Path()), copies);
    LoadedFile loaded;
    const SettingsModel reread = LoadFile(path, loaded);
    EXPECT_FALSE(loaded.report.damaged) << Notes(loaded.report);
    EXPECT_EQ(ModelDifference(ModelOfBlock(block), reread), "");
  }
  for (const auto& copy : kept) EXPECT_TRUE(ReadWholeFile(dir.File(copy.first)) == *copy.second) << copy.first;
}

TEST(SettingsFile, AFileThatCannotBeReadIsSetAsideBeforeItIsReplaced) {
  ScratchDir dir("settings-locked");
  const std::string path = dir.File(kIni);
  const std::string original = FormatSystem(SampleModel());
  ASSERT_TRUE(WriteWholeFile(path, original));
  TestBlock block(path);
  HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  ReadSettingIntoBlock(block);
  EXPECT_EQ(LoadCompanionState(block).loadStatus, kLoadUnreadable);
  EXPECT_EQ(block.NumOfTargets, 0);
  EXPECT_EQ(block.openSettingsAtStart, 0);  // not a first start
  // While the file stays locked, no save can set it aside, so none replaces it.
  EXPECT_FALSE(WriteSettingFromBlock(block));
  CloseHandle(exclusive);
  EXPECT_EQ(ReadWholeFile(path), original);

  ASSERT_TRUE(WriteSettingFromBlock(block));
  const std::vector<std::string> copies = DamagedCopies(dir.Path());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(ReadWholeFile(dir.File(copies[0])), original);
  EXPECT_EQ(LoadCompanionState(block).copyBeforeSave, 0);
  ASSERT_TRUE(WriteSettingFromBlock(block));  // once is enough
  EXPECT_EQ(DamagedCopies(dir.Path()).size(), 1u);
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

TEST(SettingsFile, AFailedSaveLeavesThePreviousFileWhole) {
  ScratchDir dir("settings-fail");
  const std::string path = dir.File(kIni);
  TestBlock block(path);
  const std::string previous = FormatSystem(SampleModel());
  ASSERT_TRUE(WriteWholeFile(path, previous));
  ReadSettingIntoBlock(block);
  block.monitoringEnabled = 1;  // a change that a failed save must not half-write

  FileSteps halfWrite, noFlush, noReplace;
  halfWrite.write = WriteHalfThenFail;
  noFlush.flush = FailFlush;
  noReplace.replace = FailReplace;
  for (const FileSteps* steps : {&halfWrite, &noFlush, &noReplace}) {
    EXPECT_FALSE(WriteSettingFromBlock(block, *steps));
    EXPECT_EQ(ReadWholeFile(path), previous);
    // No half-written file is left; a .bak, if made, is the previous file.
    const std::vector<std::string> files = FilesIn(dir.Path());
    EXPECT_TRUE(files == std::vector<std::string>{kIni} || files == (std::vector<std::string>{kIni, kBak}));
    if (files.size() > 1) {
      EXPECT_EQ(ReadWholeFile(path + ".bak"), previous);
    }
  }
  ASSERT_TRUE(WriteSettingFromBlock(block));  // the next save works as ever
  EXPECT_EQ(ReadWholeFile(path + ".bak"), previous);
  block.Reset();
  ReadSettingIntoBlock(block);
  EXPECT_EQ(block.monitoringEnabled, 1);
}

struct LaterSave {
  std::string path, text;
  bool saved;
};

DWORD WINAPI SaveLater(void* param) {
  auto* later = static_cast<LaterSave*>(param);
  later->saved = Save(later->path, later->text);
  return 0;
}

TEST(SettingsFile, ASaveWaitsWhileAnotherHoldsTheFile) {
  ScratchDir dir("settings-race");
  const std::string path = dir.File(kIni);
  ASSERT_TRUE(Save(path, "; first\r\n"));
  auto held = std::make_unique<SaveLock>(path.c_str());
  ASSERT_TRUE(held->Held());
  LaterSave later{path, "; later\r\n", false};
  HANDLE thread = CreateThread(nullptr, 0, SaveLater, &later, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 300), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(ReadWholeFile(path), "; first\r\n");
  held.reset();
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_TRUE(later.saved);
  EXPECT_EQ(ReadWholeFile(path), later.text);
  EXPECT_EQ(ReadWholeFile(path + ".bak"), "; first\r\n");
}

// This thread's processor time in ms: other work on a busy machine does not
// count, which wall-clock time cannot say.
DWORD ThreadCpuMs() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  const uint64_t ticks = (uint64_t{kernel.dwHighDateTime} << 32 | kernel.dwLowDateTime) +
                         (uint64_t{user.dwHighDateTime} << 32 | user.dwLowDateTime);
  return static_cast<DWORD>(ticks / 10000);
}

TEST(SettingsFile, TenThousandRules) {
  ScratchDir dir("settings-many");
  const std::string path = dir.File(kIni);
  const SettingsModel many = ManyRules(8000);  // 8000 targets and 4000 children
  DWORD cpu = ThreadCpuMs();
  ASSERT_TRUE(Save(path, FormatSystem(many)));
  EXPECT_LT(ThreadCpuMs() - cpu, 500u);

  TestBlock block(path);
  const DWORD start = GetTickCount();
  ReadSettingIntoBlock(block);
  // The profile API opens the file again for every section it is asked
  // for; under emulation that is most of the reading.
  EXPECT_LT(GetTickCount() - start, 60000u);
  EXPECT_EQ(LoadCompanionState(block).loadStatus, kLoadClean);
  EXPECT_EQ(ModelDifference(many, ModelOfBlock(block)), "");

  cpu = ThreadCpuMs();
  ASSERT_TRUE(WriteSettingFromBlock(block));
  EXPECT_LT(ThreadCpuMs() - cpu, 500u);
}

}  // namespace
