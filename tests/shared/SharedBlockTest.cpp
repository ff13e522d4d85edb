// The block as a second holder sees it: what is written through the
// structure lies at the byte offsets the program and its module agree on.
#include <gtest/gtest.h>

#include <cstring>

#include "shared/SharedBlock.h"

TEST(SharedBlock, ASecondHolderFindsEveryFieldAtItsAgreedOffset) {
  constexpr char kName[] = "PlenaraTestMapping-SharedBlock";  // a running Plenara is never disturbed
  void *first = nullptr, *second = nullptr;
  int32_t existed = 7;
  HANDLE a = OpenSharedMemory(kName, &first, kBlockSize, &existed);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(existed, 0);
  SharedBlock& block = *static_cast<SharedBlock*>(first);
  std::strcpy(block.iniPath, "x.ini");
  block.monitoringEnabled = 1, block.openSettingsAtStart = 2, block.propertyWindow = 3, block.aboutWindow = 4;
  block.activeSettings.monitorInterval = 5, block.activeSettings.reapplyOnWorkAreaChange = 6;
  block.NumOfTargets = 7, block.targets = 8, block.trackedCount = 9, block.tracked = 10;
  HANDLE b = OpenSharedMemory(kName, &second, kBlockSize, &existed);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(existed, 1);
  const auto* bytes = static_cast<const uint8_t*>(second);
  EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 712), "x.ini");
  const size_t offsets[] = {1496, 1500, 1504, 1528, 1644, 1650, 1964, 1968, 2408, 2412};
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(bytes[offsets[i]], i + 1) << offsets[i];
  EXPECT_TRUE(CloseSharedMemory(b, second));
  EXPECT_TRUE(CloseSharedMemory(a, first));
}
