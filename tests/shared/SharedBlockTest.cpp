#include <gtest/gtest.h>

#include <cstring>

#include "shared/SharedBlock.h"

namespace {

// A name of the tests' own, so a running Plenara is never disturbed.
constexpr char kTestName[] = "PlenaraTestMapping-SharedBlock";

bool AllZero(const void* p, size_t n) {
  const auto* bytes = static_cast<const uint8_t*>(p);
  for (size_t i = 0; i < n; ++i) {
    if (bytes[i]) return false;
  }
  return true;
}

TEST(OpenSharedMemory, FirstOpenIsNewAndZeroFilled) {
  void* view = nullptr;
  int32_t existed = 7;
  HANDLE mapping = OpenSharedMemory(kTestName, &view, kBlockSize, &existed);
  ASSERT_NE(mapping, nullptr);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(existed, 0);
  EXPECT_TRUE(AllZero(view, kBlockSize));
  EXPECT_TRUE(CloseSharedMemory(mapping, view));
}

TEST(OpenSharedMemory, SecondOpenSeesTheFirstBlocksContents) {
  void* first = nullptr;
  int32_t existed = 0;
  HANDLE a = OpenSharedMemory(kTestName, &first, kBlockSize, &existed);
  ASSERT_NE(a, nullptr);
  static_cast<SharedBlock*>(first)->propertyWindow = 0x1234;
  std::memcpy(static_cast<SharedBlock*>(first)->productName, "Plenara", 8);

  void* second = nullptr;
  HANDLE b = OpenSharedMemory(kTestName, &second, kBlockSize, &existed);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(existed, 1);
  EXPECT_EQ(static_cast<SharedBlock*>(second)->propertyWindow, 0x1234u);
  EXPECT_STREQ(static_cast<SharedBlock*>(second)->productName, "Plenara");

  // A null flag pointer is allowed and nothing is written through it.
  void* third = nullptr;
  HANDLE c = OpenSharedMemory(kTestName, &third, kBlockSize, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(static_cast<SharedBlock*>(third)->propertyWindow, 0x1234u);

  CloseSharedMemory(c, third);
  CloseSharedMemory(b, second);
  CloseSharedMemory(a, first);

  // Every holder gone: the next open makes a fresh, zero block.
  void* fresh = nullptr;
  HANDLE d = OpenSharedMemory(kTestName, &fresh, kBlockSize, &existed);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(existed, 0);
  EXPECT_TRUE(AllZero(fresh, kBlockSize));
  CloseSharedMemory(d, fresh);
}

TEST(OpenSharedMemory, FailureWritesNoFlag) {
  // A name with a backslash in a namespace that does not exist cannot be created.
  void* view = reinterpret_cast<void*>(1);
  int32_t existed = 7;
  HANDLE mapping = OpenSharedMemory("NoSuchNamespace\\PlenaraTest", &view, kBlockSize, &existed);
  EXPECT_EQ(mapping, nullptr);
  EXPECT_EQ(existed, 7);
}

TEST(OpenSharedMemory, ExportedUnderPlainNames) {
  // The settings module finds them on the running executable by these names;
  // a test executable has no exports, so look at Plenara.exe on disk.
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string exe(path);
  exe = exe.substr(0, exe.find_last_of('\\') + 1) + "Plenara.exe";
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(module, nullptr) << exe;
  EXPECT_NE(GetProcAddress(module, "OpenSharedMemory"), nullptr);
  EXPECT_NE(GetProcAddress(module, "CloseSharedMemory"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "OpenSharedMemory@16"), nullptr);
  FreeLibrary(module);
}

}  // namespace
