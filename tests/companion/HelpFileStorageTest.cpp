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

std::string HelpFile() { return ExeDir() + "Plenara.chm"; }

// The help file opened as a storage, released when this goes.
class HelpStorage {
 public:
  HelpStorage() {
    if (FAILED(CoInitialize(nullptr))) return;
    initialized_ = true;
    IITStorage* factory = nullptr;
    if (FAILED(CoCreateInstance(kClsidItStorage, nullptr, CLSCTX_INPROC_SERVER, kIidItStorage,
                                reinterpret_cast<void**>(&factory)))) {
      return;
    }
    const std::wstring path = Wide(HelpFile());
    factory->StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, &storage_);
    factory->Release();
  }
  ~HelpStorage() {
    if (storage_) storage_->Release();
    if (initialized_) CoUninitialize();
  }
  HelpStorage(const HelpStorage&) = delete;
  HelpStorage& operator=(const HelpStorage&) = delete;

  bool Open() const { return storage_ != nullptr; }

  // Reads one stream by its name inside the file; false when it does not open.
  bool Read(const std::string& name, std::string* bytes) const {
    IStream* stream = nullptr;
    if (!storage_ || FAILED(storage_->OpenStream(Wide(name).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                                 &stream))) {
      return false;
    }
    bytes->clear();
    char buffer[4096];
    ULONG got = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &got)) && got > 0) bytes->append(buffer, got);
    stream->Release();
    return true;
  }

 private:
  static std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n - 1 : 0);
    return wide;
  }

  bool initialized_ = false;
  IStorage* storage_ = nullptr;
};

uint32_t U32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

TEST(HelpFileStorage, EveryContextNumberOpensItsTopic) {
  HelpStorage help;
  ASSERT_TRUE(help.Open()) << HelpFile();
  std::string ivb;
  std::string strings;
  ASSERT_TRUE(help.Read("#IVB", &ivb));
  ASSERT_TRUE(help.Read("#STRINGS", &strings));
  ASSERT_GE(ivb.size(), 4u);
  ASSERT_EQ(U32(ivb, 0), ivb.size() - 4);
  ASSERT_EQ((ivb.size() - 4) % 8, 0u);
  ASSERT_GT(ivb.size(), 4u) << "the context map is empty";

  for (size_t at = 4; at + 8 <= ivb.size(); at += 8) {
    const uint32_t number = U32(ivb, at);
    const uint32_t offset = U32(ivb, at + 4);
    SCOPED_TRACE(number);
    ASSERT_LT(offset, strings.size());
    const std::string topic = strings.c_str() + offset;
    // A name inside the file, not a path of the machine that built it.
    EXPECT_NE(topic.front(), '/') << topic;
    EXPECT_EQ(topic.find(':'), std::string::npos) << topic;
    std::string page;
    EXPECT_TRUE(help.Read(topic, &page)) << topic;
    EXPECT_NE(page.find("charset=Shift_JIS"), std::string::npos) << topic;
  }
}

TEST(HelpFileStorage, ContentsIndexAndDefaultTopicOpen) {
  HelpStorage help;
  ASSERT_TRUE(help.Open()) << HelpFile();
  std::string bytes;
  for (const char* name : {"Plenara.hhc", "Plenara.hhk", "welcome.htm", "plenara.css"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(help.Read(name, &bytes));
    EXPECT_FALSE(bytes.empty());
  }
  EXPECT_FALSE(help.Read("no-such-topic.htm", &bytes));
}

}  // namespace
