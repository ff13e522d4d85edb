// The settings file on disk under Wine: the real profile API, real files,
// the module's reading into a block and its saves, damaged files and
// failing writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <thread>

#include "BlockHelpers.h"
#include "SampleSettings.h"
#include "TestSupport.h"
#include "settings/BlockSettings.h"
#include "settings/CompanionState.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"

namespace {

constexpr char kIni[] = "Plenara.ini";

std::string Format(const SettingsModel& model) { return FormatSettingsFile(model, SystemCharset()); }

// Copies kept of damaged files, by name.
std::vector<std::string> DamagedCopies(const std::string& folder) {
  std::vector<std::string> copies;
  for (const std::string& name : FilesIn(folder)) {
    if (name.rfind(std::string(kIni) + ".damaged-", 0) == 0) copies.push_back(name);
  }
  return copies;
}

std::string Utf16(const std::string& ansi, bool bigEndian, bool withBom) {
  const int count = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(count, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], count);
  std::string bytes;
  if (withBom) bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (wchar_t c : wide) {
    const char low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

std::string Utf8(const std::string& ansi) {
  const int count = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(count, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], count);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), count, nullptr, 0, nullptr, nullptr);
  std::string utf8(bytes, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), count, &utf8[0], bytes, nullptr, nullptr);
  return "\xEF\xBB\xBF" + utf8;
}

const char kSettingsText[] =
    "[Settings]\r\nVersion=1\r\nMonitoring=on\r\nInterval=500\r\nReapplyOnWorkAreaChange=yes\r\n"
    "OpenSettingsAtStart=no\r\n";

TEST(SettingsFile, SampleComesBackThroughTheProfileApi) {
  ScratchDir dir("settings-file");
  const std::string path = dir.File(kIni);
  const SettingsModel sample = SampleModel();
  ASSERT_TRUE(SaveSettingsText(path, Format(sample)));
  SettingsModel read;
  const LoadedFile loaded = LoadSettingsFile(path, read);
  EXPECT_EQ(loaded.read, FileRead::kRead);
  EXPECT_FALSE(loaded.report.damaged) << Notes(loaded.report);
  EXPECT_EQ(ModelDifference(sample, read), "");

  // Japanese stays readable in the file; only what code page 932 cannot
  // carry is escaped.
  const std::string bytes = ReadWholeFile(path);
  EXPECT_NE(bytes.find("Name=\"\x83\x81\x83\x82\x92\xA0\x82\xF0"), std::string::npos);
  EXPECT_NE(bytes.find("Title=ends \" - \x95\x5C\x8E\xA6 \""), std::string::npos);
  EXPECT_NE(bytes.find("Title=ends \"lone lead %81\""), std::string::npos);
}

TEST(SettingsFile, ReadFillsTheBlockAndWriteStoresItAgain) {
  ScratchDir dir("settings-block");
  const std::string path = dir.File(kIni);
  const SettingsModel sample = SampleModel();
  ASSERT_TRUE(WriteWholeFile(path, Format(sample)));
  TestBlock block(path);
  ReadSettingIntoBlock(*block);

  EXPECT_EQ(block->activeSettings.monitorInterval, 1234);
  EXPECT_EQ(block->activeSettings.reapplyOnWorkAreaChange, 0);
  EXPECT_EQ(OpenAtStartPreference(block->activeSettings), 1);
  EXPECT_EQ(std::memcmp(&block->activeSettings, &block->pendingSettings, sizeof(SettingsRecord)), 0);
  EXPECT_EQ(block->openSettingsAtStart, 1);
  EXPECT_EQ(block->monitoringEnabled, 0);
  EXPECT_EQ(ModelDifference(sample, ModelOfBlock(*block)), "");
  EXPECT_EQ(LoadCompanionState(*block).loadStatus, kLoadClean);

  // Exactly sized, zero-filled process-heap blocks, as the program frees them.
  ASSERT_EQ(block->NumOfTargets, 4);
  EXPECT_EQ(HeapSize(GetProcessHeap(), 0, TargetsOf(&*block)), 4 * sizeof(TargetEntry));
  EXPECT_EQ(HeapSize(GetProcessHeap(), 0, ChildrenOf(&TargetsOf(&*block)[0])), 2 * sizeof(TargetRecord));
  EXPECT_EQ(TargetsOf(&*block)[1].children, 0u);

  const std::string before = ReadWholeFile(path);
  ASSERT_TRUE(WriteSettingFromBlock(*block));
  EXPECT_EQ(ReadWholeFile(path + ".bak"), before);
  SettingsModel again;
  const LoadedFile loaded = LoadSettingsFile(path, again);
  EXPECT_FALSE(loaded.report.damaged) << Notes(loaded.report);
  EXPECT_EQ(ModelDifference(sample, again), "");
  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{kIni, std::string(kIni) + ".bak"}));
}

TEST(SettingsFile, FirstStartOpensTheSettingsOnceAndMonitors) {
  ScratchDir dir("settings-first");
  const std::string path = dir.File(kIni);
  TestBlock block(path);
  ReadSettingIntoBlock(*block);
  EXPECT_EQ(block->monitoringEnabled, 1);
  EXPECT_EQ(block->activeSettings.monitorInterval, 500);
  EXPECT_EQ(block->activeSettings.reapplyOnWorkAreaChange, 1);
  EXPECT_EQ(block->openSettingsAtStart, 1);
  EXPECT_EQ(OpenAtStartPreference(block->activeSettings), 0);
  EXPECT_EQ(block->NumOfTargets, 0);
  EXPECT_EQ(block->targets, 0u);
  EXPECT_EQ(LoadCompanionState(*block).loadStatus, kLoadNoFile);
  EXPECT_TRUE(FilesIn(dir.Path()).empty());  // reading writes nothing

  ASSERT_TRUE(WriteSettingFromBlock(*block));
  block.Reset();
  ReadSettingIntoBlock(*block);
  EXPECT_EQ(block->openSettingsAtStart, 0);
  EXPECT_EQ(block->monitoringEnabled, 1);
  EXPECT_EQ(LoadCompanionState(*block).loadStatus, kLoadClean);
}

TEST(SettingsFile, MonitoringResumesAsItWasAtTheLastExit) {
  ScratchDir dir("settings-resume");
  const std::string path = dir.File(kIni);
  TestBlock block(path);
  ReadSettingIntoBlock(*block);
  for (uint8_t state : {0, 1, 0}) {
    block->monitoringEnabled = state;  // switched from the tray menu
    ASSERT_TRUE(WriteSettingFromBlock(*block));
    block.Reset();
    ReadSettingIntoBlock(*block);
    EXPECT_EQ(block->monitoringEnabled, state);
    EXPECT_EQ(block->openSettingsAtStart, 0);
  }
  // The preference to open the settings at start is the user's own.
  OpenAtStartPreference(block->activeSettings) = 1;
  ASSERT_TRUE(WriteSettingFromBlock(*block));
  block.Reset();
  ReadSettingIntoBlock(*block);
  EXPECT_EQ(block->openSettingsAtStart, 1);
}

TEST(SettingsFile, NothingIsWrittenForABlockThatWasNeverRead) {
  ScratchDir dir("settings-unread");
  const std::string path = dir.File(kIni);
  ASSERT_TRUE(WriteWholeFile(path, Format(SampleModel())));
  const std::string before = ReadWholeFile(path);
  TestBlock block(path);  // zero-filled: ReadSetting never ran
  EXPECT_FALSE(WriteSettingFromBlock(*block));
  EXPECT_EQ(ReadWholeFile(path), before);
  // Nor does a read replace a list while a monitor may be reading it.
  block->monitoringEnabled = 1;
  ReadSettingIntoBlock(*block);
  EXPECT_EQ(block->NumOfTargets, 0);
  EXPECT_EQ(LoadCompanionState(*block).signature, 0u);
}

struct FileCase {
  const char* what;
  std::string bytes;
  bool damaged;
  int targets;  // -1: do not check
  std::function<void(const SharedBlock&)> check;
};

TEST(SettingsFile, DamagedFilesLoadWithTheirDocumentedOutcome) {
  const std::string sample = Format(SampleModel());
  std::string withNuls = sample;
  withNuls.insert(withNuls.find("[2]"), std::string("\0\0\0", 3));
  std::mt19937 random(7);
  std::string garbage(4096, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  const std::string rule = [] {
    TargetRecord record = Rule(kMatchEquals, "Edit", kMatchAny, "");
    SetName(record, "\x89\x45\x94\xBC\x95\xAA");
    std::string text = "[1]\r\n";
    AppendRuleKeys(text, record, SystemCharset());
    return text;
  }();
  std::string manyLines = std::string(kSettingsText) + "[1]\r\nTitle=equals \"" + std::string(1 << 20, 'x') +
                          "\"\r\n" + std::string(1 << 20, 'y') + "\r\n";

  const std::vector<FileCase> cases = {
      {"empty", "", true, 0, nullptr},
      {"truncated", sample.substr(0, sample.size() / 2), true, -1, nullptr},
      {"binary garbage", garbage, true, -1, nullptr},
      {"NUL bytes: dropped, the rest is read", withNuls, true, 4, nullptr},
      {"UTF-16 with a byte-order mark: read as UTF-16", Utf16(std::string(kSettingsText) + rule, false, true), false,
       1,
       [](const SharedBlock& b) {
         EXPECT_STREQ(RuleName(TargetsOf(&b)[0].record), "\x89\x45\x94\xBC\x95\xAA");
         EXPECT_STREQ(TargetsOf(&b)[0].record.classPattern, "Edit");
       }},
      {"UTF-16 big-endian with a byte-order mark", Utf16(std::string(kSettingsText) + rule, true, true), false, 1,
       nullptr},
      {"UTF-16 without a byte-order mark: NULs dropped", Utf16(std::string(kSettingsText) + rule, false, false), true,
       1, [](const SharedBlock& b) { EXPECT_STREQ(TargetsOf(&b)[0].record.classPattern, "Edit"); }},
      {"UTF-8 with a byte-order mark: read as UTF-8", Utf8(sample), false, 4,
       [](const SharedBlock& b) { EXPECT_EQ(ModelDifference(SampleModel(), SnapshotOfBlock(b)), ""); }},
      {"UTF-8 with a character code page 932 lacks",
       std::string("\xEF\xBB\xBF") + kSettingsText + "[1]\r\nName=\"\xF0\x9F\x98\x80 face\"\r\n", true, 1,
       [](const SharedBlock& b) { EXPECT_NE(std::strstr(RuleName(TargetsOf(&b)[0].record), " face"), nullptr); }},
      {"huge values are clamped",
       "[Settings]\r\nInterval=99999999999999999999\r\n[1]\r\nWidth=pixels -99999999999\r\n", true, 1,
       [](const SharedBlock& b) {
         EXPECT_EQ(b.activeSettings.monitorInterval, kMaxInterval);
         EXPECT_EQ(TargetsOf(&b)[0].record.widthSpec.value, kMinPixels);
       }},
      {"interval below 50 ms", "[Settings]\r\nInterval=0\r\n", true, 0,
       [](const SharedBlock& b) { EXPECT_EQ(b.activeSettings.monitorInterval, kMinInterval); }},
      {"unknown words", std::string(kSettingsText) + "[1]\r\nClass=like \"x\"\r\nSize=shrink\r\nClose=sure\r\n",
       true, 1,
       [](const SharedBlock& b) {
         EXPECT_EQ(TargetsOf(&b)[0].record.classMatch, kMatchAny);
         EXPECT_EQ(TargetsOf(&b)[0].record.sizeAction, kSizeNone);
         EXPECT_EQ(TargetsOf(&b)[0].record.close, 0);
       }},
      {"missing keys", "[Settings]\r\nMonitoring=off\r\n[1]\r\nTitle=begins \"A\"\r\n", true, 1,
       [](const SharedBlock& b) {
         EXPECT_EQ(b.monitoringEnabled, 0);
         EXPECT_EQ(b.activeSettings.monitorInterval, 500);
         EXPECT_EQ(TargetsOf(&b)[0].record.enabled, 1);
       }},
      {"duplicate sections", std::string(kSettingsText) + rule + rule + "[settings]\r\nInterval=60\r\n", true, 1,
       [](const SharedBlock& b) { EXPECT_EQ(b.activeSettings.monitorInterval, 500); }},
      {"a 1 MB line", manyLines, true, 1,
       [](const SharedBlock& b) { EXPECT_EQ(std::string(TargetsOf(&b)[0].record.titlePattern), std::string(128, 'x')); }},
      {"text before the first section", "hello\r\n" + sample, true, 4, nullptr},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir("settings-damaged");
    const std::string path = dir.File(kIni);
    ASSERT_TRUE(WriteWholeFile(path, c.bytes));
    TestBlock block(path);
    ReadSettingIntoBlock(*block);
    const CompanionState state = LoadCompanionState(*block);
    EXPECT_EQ(state.signature, kCompanionSignature);
    if (c.targets >= 0) {
      EXPECT_EQ(block->NumOfTargets, c.targets) << Notes(ParseReport{});
    }
    if (c.check && block->NumOfTargets == c.targets) c.check(*block);
    const std::vector<std::string> copies = DamagedCopies(dir.Path());
    if (c.damaged) {
      EXPECT_EQ(state.loadStatus, kLoadRepaired);
      ASSERT_EQ(copies.size(), 1u);
      EXPECT_EQ(copies[0], std::string(kIni) + "." + state.damagedCopy);
      EXPECT_EQ(ReadWholeFile(dir.File(copies[0])), c.bytes);
    } else {
      SettingsModel model;
      EXPECT_EQ(state.loadStatus, kLoadClean) << Notes(LoadSettingsFile(path, model).report);
      EXPECT_TRUE(copies.empty());
    }
    // The next save is silent, works, and leaves the copy alone.
    EXPECT_TRUE(WriteSettingFromBlock(*block));
    EXPECT_EQ(DamagedCopies(dir.Path()), copies);
    SettingsModel reread;
    const LoadedFile loaded = LoadSettingsFile(path, reread);
    EXPECT_FALSE(loaded.report.damaged) << Notes(loaded.report);
    EXPECT_EQ(ModelDifference(ModelOfBlock(*block), reread), "");
  }
}

TEST(SettingsFile, CopiesOfDamagedFilesAreNeverOverwritten) {
  ScratchDir dir("settings-copies");
  const std::string path = dir.File(kIni);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(WriteWholeFile(path, "garbage " + std::to_string(i)));
    TestBlock block(path);
    ReadSettingIntoBlock(*block);
  }
  const std::vector<std::string> copies = DamagedCopies(dir.Path());
  ASSERT_EQ(copies.size(), 3u);
  std::vector<std::string> contents;
  for (const std::string& copy : copies) contents.push_back(ReadWholeFile(dir.File(copy)));
  std::sort(contents.begin(), contents.end());
  EXPECT_EQ(contents, (std::vector<std::string>{"garbage 0", "garbage 1", "garbage 2"}));
}

TEST(SettingsFile, AFileThatCannotBeReadIsSetAsideBeforeItIsReplaced) {
  ScratchDir dir("settings-locked");
  const std::string path = dir.File(kIni);
  const std::string original = Format(SampleModel());
  ASSERT_TRUE(WriteWholeFile(path, original));
  TestBlock block(path);
  HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  ReadSettingIntoBlock(*block);
  EXPECT_EQ(LoadCompanionState(*block).loadStatus, kLoadUnreadable);
  EXPECT_EQ(block->NumOfTargets, 0);
  EXPECT_EQ(block->openSettingsAtStart, 0);  // not a first start
  // While the file stays locked, no save can set it aside, so none replaces it.
  EXPECT_FALSE(WriteSettingFromBlock(*block));
  CloseHandle(exclusive);
  EXPECT_EQ(ReadWholeFile(path), original);

  ASSERT_TRUE(WriteSettingFromBlock(*block));
  const std::vector<std::string> copies = DamagedCopies(dir.Path());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(ReadWholeFile(dir.File(copies[0])), original);
  EXPECT_EQ(LoadCompanionState(*block).copyBeforeSave, 0);
  ASSERT_TRUE(WriteSettingFromBlock(*block));  // once is enough
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
  ASSERT_TRUE(WriteWholeFile(path, Format(SampleModel())));
  ReadSettingIntoBlock(*block);
  const std::string previous = ReadWholeFile(path);
  block->monitoringEnabled = 1;  // a change that a failed save must not half-write

  FileSteps halfWrite, noFlush, noReplace;
  halfWrite.write = WriteHalfThenFail;
  noFlush.flush = FailFlush;
  noReplace.replace = FailReplace;
  for (const FileSteps* steps : {&halfWrite, &noFlush, &noReplace}) {
    EXPECT_FALSE(WriteSettingFromBlock(*block, *steps));
    EXPECT_EQ(ReadWholeFile(path), previous);
    // No half-written file is left; a .bak, if made, is the previous file.
    const std::vector<std::string> files = FilesIn(dir.Path());
    EXPECT_EQ(files.front(), kIni);
    if (files.size() > 1) {
      EXPECT_EQ(files, (std::vector<std::string>{kIni, std::string(kIni) + ".bak"}));
      EXPECT_EQ(ReadWholeFile(path + ".bak"), previous);
    }
  }
  // The next save works as ever.
  ASSERT_TRUE(WriteSettingFromBlock(*block));
  EXPECT_EQ(ReadWholeFile(path + ".bak"), previous);
  block.Reset();
  ReadSettingIntoBlock(*block);
  EXPECT_EQ(block->monitoringEnabled, 1);
}

TEST(SettingsFile, ConcurrentSavesNeverMix) {
  ScratchDir dir("settings-race");
  const std::string path = dir.File(kIni);
  const std::string a = Format(SampleModel());
  const std::string b = Format(ManyRules(50));
  bool allSaved = true;
  auto saver = [&](const std::string& text, bool& ok) {
    for (int i = 0; i < 15; ++i) ok = SaveSettingsText(path, text) && ok;
  };
  bool okA = true, okB = true;
  std::thread first(saver, std::cref(a), std::ref(okA));
  std::thread second(saver, std::cref(b), std::ref(okB));
  first.join();
  second.join();
  allSaved = okA && okB;
  EXPECT_TRUE(allSaved);
  const std::string final = ReadWholeFile(path);
  EXPECT_TRUE(final == a || final == b);
  const std::string backup = ReadWholeFile(path + ".bak");
  EXPECT_TRUE(backup == a || backup == b);
  // The lock lives only as long as a save.
  HANDLE lock = OpenMutexA(SYNCHRONIZE, FALSE, kSaveMutexName);
  EXPECT_EQ(lock, nullptr);
  if (lock) CloseHandle(lock);
}

TEST(SettingsFile, TenThousandRules) {
  ScratchDir dir("settings-many");
  const std::string path = dir.File(kIni);
  const SettingsModel many = ManyRules(8000);  // 8000 targets and 4000 children
  size_t rules = 0;
  for (const TargetRules& t : many.targets) rules += 1 + t.children.size();
  ASSERT_GE(rules, 10000u);

  const DWORD writeStart = GetTickCount();
  ASSERT_TRUE(SaveSettingsText(path, Format(many)));
  const DWORD writeMs = GetTickCount() - writeStart;

  TestBlock block(path);
  const DWORD readStart = GetTickCount();
  ReadSettingIntoBlock(*block);
  const DWORD readMs = GetTickCount() - readStart;
  std::printf("%zu rules: written in %lu ms, read in %lu ms\n", rules, writeMs, readMs);
  EXPECT_EQ(LoadCompanionState(*block).loadStatus, kLoadClean);
  EXPECT_EQ(ModelDifference(many, ModelOfBlock(*block)), "");
  EXPECT_LT(writeMs, 1000u);
  EXPECT_LT(readMs, 60000u);  // the profile API opens the file once per section

  const DWORD saveStart = GetTickCount();
  ASSERT_TRUE(WriteSettingFromBlock(*block));
  EXPECT_LT(GetTickCount() - saveStart, 1000u);
}

}  // namespace
