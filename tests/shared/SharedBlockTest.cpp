#include <gtest/gtest.h>

#include "shared/SharedBlock.h"

namespace {

// A name of the tests' own, so a running Plenara is never disturbed.
constexpr char kTestName[] = "PlenaraTestMapping-SharedBlock";

bool AllZero(const void* p) {
  const auto* bytes = static_cast<const uint8_t*>(p);
  for (size_t i = 0; i < kBlockSize; ++i) {
    if (bytes[i]) return false;
  }
  return true;
}

TEST(OpenSharedMemory, LaterOpensShareTheBlockUntilItsLastHolderCloses) {
  void* first = nullptr;
  int32_t existed = 7;
  HANDLE a = OpenSharedMemory(kTestName, &first, kBlockSize, &existed);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(existed, 0);
  EXPECT_TRUE(AllZero(first));
  static_cast<SharedBlock*>(first)->propertyWindow = 0x1234;

  void* second = nullptr;
  HANDLE b = OpenSharedMemory(kTestName, &second, kBlockSize, &existed);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(existed, 1);
  EXPECT_EQ(static_cast<SharedBlock*>(second)->propertyWindow, 0x1234u);
  // A null flag pointer is allowed.
  void* third = nullptr;
  HANDLE c = OpenSharedMemory(kTestName, &third, kBlockSize, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(CloseSharedMemory(c, third));
  EXPECT_TRUE(CloseSharedMemory(b, second));
  EXPECT_TRUE(CloseSharedMemory(a, first));

  // Every holder gone: the next open makes a fresh, zero block.
  HANDLE d = OpenSharedMemory(kTestName, &first, kBlockSize, &existed);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(existed, 0);
  EXPECT_TRUE(AllZero(first));
  CloseSharedMemory(d, first);

  // A name in a namespace that does not exist cannot be created; the flag is left alone.
  existed = 7;
  EXPECT_EQ(OpenSharedMemory("NoSuchNamespace\\PlenaraTest", &first, kBlockSize, &existed), nullptr);
  EXPECT_EQ(existed, 7);
}

}  // namespace
