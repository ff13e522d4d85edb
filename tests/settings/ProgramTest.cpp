// The real module loaded by the real program: Plenara.exe and
// PlenaraDLL.dll copied into a scratch folder, started, looked at through
// the shared block and its rule-list messages, and ended with WM_CLOSE.
#include <gtest/gtest.h>

#include <cstring>

#include "BlockHelpers.h"
#include "SampleSettings.h"
#include "TestSupport.h"
#include "app/Commands.h"
#include "settings/CompanionState.h"
#include "shared/SharedBlock.h"

namespace {

// One run of the program in its own folder. The test maps the block only
// while the program runs: a holder left behind would make the next start
// a second instance.
class Program {
 public:
  explicit Program(const ScratchDir& dir) : dir_(dir) {}
  ~Program() { Stop(); }

  bool Start() {
    if (!process_.Start(dir_.File("Plenara.exe"), "", dir_.Path())) return false;
    if (!WaitFor([this] { return (main_ = FindWindowOfProcess(kMainClassName, process_.Pid())) != nullptr; })) {
      return false;
    }
    mapping_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName);
    if (mapping_) view_ = static_cast<SharedBlock*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view_) return false;
    // The window exists while its WM_CREATE, and ReadSetting inside it, is
    // still running: wait for the module's mark, then for the message loop.
    if (!WaitFor([this] { return LoadCompanionState(*view_).signature == kCompanionSignature; })) return false;
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
  }

  // Ends the program the way the tray menu's exit does; true when it ended.
  bool Stop() {
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
    view_ = nullptr;
    mapping_ = nullptr;
    if (!process_.Running()) return true;
    PostMessageA(main_, WM_CLOSE, 0, 0);
    return process_.WaitExit(20000) == 0;
  }

  const SharedBlock& Block() const { return *view_; }
  HWND Main() const { return main_; }

  // The rule list as the program holds it, read through its own messages.
  SettingsModel RulesAndSettings() const {
    SettingsModel model;
    model.general = {view_->activeSettings.monitorInterval, view_->activeSettings.reapplyOnWorkAreaChange,
                     OpenAtStartPreference(view_->activeSettings), view_->monitoringEnabled};
    for (int32_t t = 0; t < view_->NumOfTargets; ++t) {
      SendMessageA(main_, kMsgGetRecord, t, -1);
      TargetRules rules;
      rules.record = view_->transferRecord;
      const LRESULT children = SendMessageA(main_, kMsgGetChildCount, t, 0);
      for (LRESULT c = 0; c < children; ++c) {
        SendMessageA(main_, kMsgGetRecord, c, t);
        AddChild(rules, view_->transferRecord);
      }
      model.targets.Append(std::move(rules));
    }
    return model;
  }

 private:
  const ScratchDir& dir_;
  ChildProcess process_;
  HWND main_ = nullptr;
  HANDLE mapping_ = nullptr;
  SharedBlock* view_ = nullptr;
};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyFileTo(ExeDir() + "Plenara.exe", dir_.File("Plenara.exe")));
    ASSERT_TRUE(CopyFileTo(ExeDir() + "PlenaraDLL.dll", dir_.File("PlenaraDLL.dll")));
  }

  ScratchDir dir_{"settings-program"};
  const std::string ini_ = dir_.File("Plenara.ini");
};

TEST_F(ProgramTest, FirstStartThenMonitoringAsAtTheLastExit) {
  {
    Program program(dir_);
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(program.Block().monitoringEnabled, 1);
    EXPECT_EQ(program.Block().openSettingsAtStart, 1);
    EXPECT_EQ(program.Block().activeSettings.monitorInterval, 500);
    EXPECT_EQ(LoadCompanionState(program.Block()).loadStatus, kLoadNoFile);
    SendMessageA(program.Main(), WM_COMMAND, kCmdStop, 0);
    EXPECT_EQ(program.Block().monitoringEnabled, 0);
    ASSERT_TRUE(program.Stop());
  }
  LoadedFile loaded;
  const SettingsModel saved = LoadFile(ini_, loaded);
  EXPECT_FALSE(loaded.report.damaged) << Notes(loaded.report);
  EXPECT_EQ(saved.general.monitoringEnabled, 0);
  EXPECT_EQ(saved.general.openSettingsAtStart, 0);  // the first start's request is not a preference

  Program program(dir_);
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(program.Block().openSettingsAtStart, 0);
  EXPECT_EQ(program.Block().monitoringEnabled, 0);
  EXPECT_EQ(LoadCompanionState(program.Block()).loadStatus, kLoadClean);
}

TEST_F(ProgramTest, RulesAndSettingsComeBackByteForByte) {
  // Monitoring is off in the sample, and none of its rules can match a
  // window, so the program leaves the desktop alone.
  const SettingsModel sample = SampleModel();
  const std::string text = FormatSystem(sample);
  ASSERT_TRUE(WriteWholeFile(ini_, text));
  {
    Program program(dir_);
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(ModelDifference(sample, program.RulesAndSettings()), "");
    EXPECT_EQ(std::memcmp(&program.Block().activeSettings, &program.Block().pendingSettings, sizeof(SettingsRecord)),
              0);
    EXPECT_EQ(program.Block().openSettingsAtStart, 1);  // the sample's preference
    ASSERT_TRUE(program.Stop());
  }
  EXPECT_EQ(ReadWholeFile(ini_), text);
  EXPECT_EQ(ReadWholeFile(ini_ + ".bak"), text);
}

}  // namespace
