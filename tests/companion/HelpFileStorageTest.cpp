// The compiled help file as the system's own help storage reads it: its
// context map, mended after compilation, must lead to topics that open.
#include <gtest/gtest.h>
#include <objbase.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "TestSupport.h"

// The system's storage of compiled help files (itss.dll), which the help
// control reads them through. Declared outside the anonymous namespace: an
// interface with internal linkage and no implementation here lets the
// compiler conclude that its methods are never called.
const CLSID kClsidItStorage = {0x5d02926a, 0x212e, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};
const IID kIidItStorage = {0x88cc31de, 0x27ab, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};

struct IITStorage : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE StgCreateDocfile(const WCHAR*, DWORD, DWORD, IStorage**) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD, IStorage**) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgIsStorageFile(const WCHAR*) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgIsStorageILockBytes(ILockBytes*) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgOpenStorage(const WCHAR* name, IStorage* priority, DWORD mode, SNB exclude,
                                                   DWORD reserved, IStorage** storage) = 0;
};

namespace {

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
  wide.resize(n > 0 ? n - 1 : 0);
  return wide;
}

// Reads one stream of the storage by its name; false when it does not open.
bool Read(IStorage* storage, const std::string& name, std::string* bytes) {
  IStream* stream = nullptr;
  if (FAILED(storage->OpenStream(Wide(name).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream))) {
    return false;
  }
  bytes->clear();
  char buffer[4096];
  ULONG got = 0;
  while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &got)) && got > 0) bytes->append(buffer, got);
  stream->Release();
  return true;
}

uint32_t U32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

TEST(HelpFileStorage, EveryContextNumberOpensItsTopic) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  IITStorage* factory = nullptr;
  IStorage* help = nullptr;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(kClsidItStorage, nullptr, CLSCTX_INPROC_SERVER, kIidItStorage,
                                         reinterpret_cast<void**>(&factory))));
  factory->StgOpenStorage(Wide(ExeDir() + "Plenara.chm").c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr,
                          0, &help);
  factory->Release();
  ASSERT_NE(help, nullptr);
  std::string ivb, strings, page;
  EXPECT_TRUE(Read(help, "#IVB", &ivb));
  EXPECT_TRUE(Read(help, "#STRINGS", &strings));
  EXPECT_GT(ivb.size(), 4u) << "the context map is empty";
  EXPECT_TRUE(ivb.size() >= 4 && U32(ivb, 0) == ivb.size() - 4 && ivb.size() % 8 == 4);
  for (size_t at = 4; at + 8 <= ivb.size(); at += 8) {
    const uint32_t number = U32(ivb, at), offset = U32(ivb, at + 4);
    SCOPED_TRACE(number);
    if (offset >= strings.size()) {
      ADD_FAILURE() << "offset " << offset << " lies outside #STRINGS";
      continue;
    }
    const std::string topic = strings.c_str() + offset;
    // A name inside the file, not a path of the machine that built it.
    EXPECT_TRUE(!topic.empty() && topic.front() != '/' && topic.find(':') == std::string::npos) << topic;
    EXPECT_TRUE(Read(help, topic, &page)) << topic;
    EXPECT_NE(page.find("charset=Shift_JIS"), std::string::npos) << topic;
  }
  EXPECT_FALSE(Read(help, "no-such-topic.htm", &page));
  help->Release();
  CoUninitialize();
}

}  // namespace
