// The real module loaded by the real program: Plenara.exe with
// PlenaraDLL.dll beside it in a scratch folder, looked at through the shared
// block, and ended with WM_CLOSE.
#include <gtest/gtest.h>

#include "BlockHelpers.h"
#include "PlenaraInstance.h"
#include "SampleSettings.h"
#include "app/Commands.h"
#include "settings/CompanionState.h"

namespace {

// Starts the program with the real module and waits until the module has
// read the file (inside WM_CREATE) and the message loop runs.
bool StartWithModule(PlenaraInstance& plenara) {
  if (!CopyFileTo(ExeDir() + "PlenaraDLL.dll", plenara.Dir().File("PlenaraDLL.dll")) || !plenara.Start()) return false;
  BlockView block;  // closed again at once: a holder left behind would make the next start a second instance
  DWORD_PTR result = 0;
  return block.Existed() && WaitFor([&] { return LoadCompanionState(*block.Get()).signature == kCompanionSignature; }) &&
         SendMessageTimeoutA(plenara.MainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
}

TEST(Program, FirstStartThenMonitoringAsAtTheLastExit) {
  PlenaraInstance first(Companion::kNone);
  const std::string ini = first.Dir().File("Plenara.ini");
  ASSERT_TRUE(StartWithModule(first));
  EXPECT_EQ(GetFileAttributesA(ini.c_str()), INVALID_FILE_ATTRIBUTES);  // reading writes nothing
  {
    BlockView block;
    EXPECT_EQ(block->monitoringEnabled, 1);
    EXPECT_EQ(block->openSettingsAtStart, 1);
    EXPECT_EQ(block->activeSettings.monitorInterval, 500);
    EXPECT_EQ(block->activeSettings.reapplyOnWorkAreaChange, 1);
    EXPECT_EQ(LoadCompanionState(*block.Get()).loadStatus, kLoadNoFile);
  }
  ASSERT_EQ(first.Close(), 0u);
  LoadedFile loaded;
  SettingsModel saved = LoadFile(ini, loaded);
  EXPECT_FALSE(loaded.report.damaged) << Notes(loaded.report);
  EXPECT_EQ(saved.general.monitoringEnabled, 1);
  EXPECT_EQ(saved.general.openSettingsAtStart, 0);  // the first start's request is not a preference

  PlenaraInstance second(Companion::kNone);
  const std::string secondIni = second.Dir().File("Plenara.ini");
  ASSERT_TRUE(CopyFileTo(ini, secondIni));
  ASSERT_TRUE(StartWithModule(second));
  {
    BlockView block;
    EXPECT_EQ(block->openSettingsAtStart, 0);
    EXPECT_EQ(block->monitoringEnabled, 1);
    EXPECT_EQ(LoadCompanionState(*block.Get()).loadStatus, kLoadClean);
    SendMessageA(second.MainWindow(), WM_COMMAND, kCmdStop, 0);
    EXPECT_EQ(block->monitoringEnabled, 0);
  }
  ASSERT_EQ(second.Close(), 0u);
  LoadedFile again;
  saved = LoadFile(secondIni, again);
  EXPECT_EQ(saved.general.monitoringEnabled, 0);
}

}  // namespace
