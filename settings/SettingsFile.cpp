#include "settings/SettingsFile.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Most values are short; longer ones take the heap.
bool RoundTrips(const char* text, size_t length) {
  if (length == 0) return true;
  if (length > 0x100000) return false;
  const int bytes = static_cast<int>(length);
  wchar_t smallWide[300];
  char smallBack[600];
  std::vector<wchar_t> bigWide;
  std::vector<char> bigBack;
  wchar_t* wide = smallWide;
  char* back = smallBack;
  if (length > 290) {
    bigWide.resize(length + 1);
    bigBack.resize(length * 2 + 2);
    wide = bigWide.data();
    back = bigBack.data();
  }
  const int wideCount = MultiByteToWideChar(CP_ACP, 0, text, bytes, wide, static_cast<int>(length) + 1);
  if (wideCount <= 0) return false;
  const int backCount =
      WideCharToMultiByte(CP_ACP, 0, wide, wideCount, back, static_cast<int>(length) * 2 + 2, nullptr, nullptr);
  return backCount == bytes && std::memcmp(back, text, length) == 0;
}

FileRead ReadRawFile(const std::string& path, std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::kMissing : FileRead::kFailed;
  }
  LARGE_INTEGER size = {};
  FileRead result = FileRead::kRead;
  if (!GetFileSizeEx(file, &size)) {
    result = FileRead::kFailed;
  } else if (size.QuadPart > kMaxSettingsFileBytes) {
    result = FileRead::kTooLarge;
  } else {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
      DWORD got = 0;
      if (!ReadFile(file, &bytes[done], static_cast<DWORD>(bytes.size() - done), &got, nullptr)) {
        result = FileRead::kFailed;
        break;
      }
      if (got == 0) break;  // the file shrank while being read
      done += got;
    }
    bytes.resize(done);
  }
  CloseHandle(file);
  if (result != FileRead::kRead) bytes.clear();
  return result;
}

std::string WideToAnsi(const std::wstring& wide, ParseReport& report) {
  if (wide.empty()) return std::string();
  BOOL usedDefault = FALSE;
  const int count = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), count, nullptr, 0, nullptr, nullptr);
  std::string text(bytes > 0 ? bytes : 0, '\0');
  if (bytes > 0) {
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), count, &text[0], bytes, nullptr, &usedDefault);
  }
  if (usedDefault) report.Note("file", "characters that code page 932 cannot hold");
  return text;
}

// The text for the profile API in the ANSI code page: a UTF-8 or UTF-16
// file (told by its byte-order mark) is converted, NUL bytes are dropped.
// Sets converted when the text differs from the file's bytes.
std::string TextForProfile(const std::string& bytes, ParseReport& report, bool& converted) {
  converted = false;
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
  const size_t n = bytes.size();
  std::wstring wide;
  if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    converted = true;
    const char* utf8 = bytes.data() + 3;
    const int length = static_cast<int>(n - 3);
    if (length > 0) {
      int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, length, nullptr, 0);
      if (count <= 0) {
        report.Note("file", "bytes that are not UTF-8");
        count = MultiByteToWideChar(CP_UTF8, 0, utf8, length, nullptr, 0);
      }
      wide.resize(count > 0 ? count : 0);
      if (count > 0) MultiByteToWideChar(CP_UTF8, 0, utf8, length, &wide[0], count);
    }
  } else if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
    converted = true;
    const bool bigEndian = b[0] == 0xFE;
    if (n % 2) report.Note("file", "UTF-16 with an odd number of bytes");
    for (size_t i = 2; i + 1 < n; i += 2) {
      wide += static_cast<wchar_t>(bigEndian ? (b[i] << 8) | b[i + 1] : b[i] | (b[i + 1] << 8));
    }
  } else {
    CheckRawText(bytes, report);
    if (bytes.find('\0') == std::string::npos) return bytes;
    converted = true;
    std::string text;
    text.reserve(n);
    for (char c : bytes) {
      if (c) text += c;
    }
    return text;
  }
  if (wide.find(L'\0') != std::wstring::npos) {
    report.Note("file", "NUL characters");
    std::wstring kept;
    for (wchar_t c : wide) {
      if (c) kept += c;
    }
    wide.swap(kept);
  }
  std::string text = WideToAnsi(wide, report);
  CheckRawText(text, report);
  return text;
}

bool WriteAll(HANDLE file, const std::string& bytes, const FileSteps& steps) {
  constexpr size_t kChunk = 1 << 20;
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(bytes.size() - done < kChunk ? bytes.size() - done : kChunk);
    DWORD written = 0;
    if (!steps.write(file, bytes.data() + done, chunk, &written, nullptr) || written != chunk) return false;
    done += chunk;
  }
  return true;
}

// A private temporary copy for the profile API, removed again on scope exit.
class TempTextFile {
 public:
  explicit TempTextFile(const std::string& text) {
    char folder[MAX_PATH];
    char name[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH || !GetTempFileNameA(folder, "pls", 0, name)) return;
    path_ = name;
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    const bool written = file != INVALID_HANDLE_VALUE && WriteAll(file, text, FileSteps{});
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    ok_ = written;
  }
  ~TempTextFile() {
    if (!path_.empty()) DeleteFileA(path_.c_str());
  }
  TempTextFile(const TempTextFile&) = delete;
  TempTextFile& operator=(const TempTextFile&) = delete;
  bool Ok() const { return ok_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool ok_ = false;
};

// The profile API, with buffers that grow until a section fits. No section
// or list of names can be longer than the text it came from.
class ProfileReader final : public SectionReader {
 public:
  ProfileReader(const std::string& path, size_t textBytes) : path_(path), limit_(textBytes + 16) {}

  std::vector<std::string> Names() override {
    std::vector<std::string> names;
    std::vector<char> buffer(64 * 1024);
    const std::string all = ReadGrowing(buffer, [this](char* buffer, DWORD size) {
      return GetPrivateProfileSectionNamesA(buffer, size, path_.c_str());
    });
    for (size_t start = 0; start < all.size();) {
      const size_t end = all.find('\0', start);
      const size_t stop = end == std::string::npos ? all.size() : end;
      if (stop > start) names.emplace_back(all, start, stop - start);
      start = stop + 1;
    }
    return names;
  }

  bool Lines(const std::string& section, std::string& lines) override {
    lines = ReadGrowing(lineBuffer_, [this, &section](char* buffer, DWORD size) {
      return GetPrivateProfileSectionA(section.c_str(), buffer, size, path_.c_str());
    });
    return true;
  }

 private:
  // Both calls return the buffer's size less two when the text was cut.
  template <class Call>
  std::string ReadGrowing(std::vector<char>& buffer, Call call) {
    DWORD size = static_cast<DWORD>(buffer.size());
    for (;;) {
      const DWORD got = call(buffer.data(), size);
      if (got + 2 < size || size >= limit_) return std::string(buffer.data(), got < size ? got : size);
      const size_t bigger = size * 2 < limit_ ? size * 2 : limit_;
      buffer.resize(bigger);
      size = static_cast<DWORD>(bigger);
    }
  }

  std::string path_;
  size_t limit_;
  // The profile API allocates twice the buffer for every call: a section
  // buffer of a typical section's size keeps that cheap.
  std::vector<char> lineBuffer_ = std::vector<char>(2048);
};

std::string Stamp() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "damaged-%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond);
  return stamp;
}

// Tries "<path>.<stamp>", then "-2", "-3", ... so that no copy is ever
// overwritten; make(full name) returns 1 on success, 0 when the name is
// taken, -1 on any other failure.
template <class Make>
std::string KeepUnderFreshName(const std::string& path, Make make) {
  const std::string stamp = Stamp();
  for (int n = 1; n <= 100; ++n) {
    const std::string suffix = n == 1 ? stamp : stamp + "-" + std::to_string(n);
    const int made = make(path + "." + suffix);
    if (made > 0) return suffix;
    if (made < 0) return std::string();
  }
  return std::string();
}

bool NameTaken(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

}  // namespace

Charset SystemCharset() {
  Charset charset;
  CPINFO info = {};
  if (GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1) {
    for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2) {
      for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) charset.leads.lead[b] = true;
    }
  }
  charset.isKept = RoundTrips;
  charset.isTextKept = RoundTrips;
  return charset;
}

LoadedFile LoadSettingsFile(const std::string& path, SettingsModel& model) {
  LoadedFile loaded;
  model = SettingsModel{};
  loaded.read = ReadRawFile(path, loaded.bytes);
  if (loaded.read == FileRead::kTooLarge) loaded.report.Note("file", "too large for a settings file; defaults used");
  if (loaded.read != FileRead::kRead) return loaded;

  bool converted = false;
  const std::string text = TextForProfile(loaded.bytes, loaded.report, converted);
  const LeadTable leads = SystemCharset().leads;
  if (!converted) {
    ProfileReader reader(path, text.size());
    ParseSettingsFile(reader, leads, model, loaded.report);
    return loaded;
  }
  TempTextFile temp(text);
  if (!temp.Ok()) {
    loaded.report.Note("file", "no temporary copy for the conversion; defaults used");
    return loaded;
  }
  ProfileReader reader(temp.Path(), text.size());
  ParseSettingsFile(reader, leads, model, loaded.report);
  return loaded;
}

std::string KeepDamagedCopy(const std::string& path, const std::string& bytes) {
  return KeepUnderFreshName(path, [&bytes](const std::string& name) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return NameTaken(GetLastError()) ? 0 : -1;
    const bool written = WriteAll(file, bytes, FileSteps{}) && FlushFileBuffers(file);
    CloseHandle(file);
    if (!written) DeleteFileA(name.c_str());
    return written ? 1 : -1;
  });
}

std::string KeepDamagedCopyOfFile(const std::string& path) {
  return KeepUnderFreshName(path, [&path](const std::string& name) {
    if (CopyFileA(path.c_str(), name.c_str(), TRUE)) return 1;
    return NameTaken(GetLastError()) ? 0 : -1;
  });
}

SaveLock::SaveLock() {
  mutex_ = CreateMutexA(nullptr, FALSE, kSaveMutexName);
  if (!mutex_) return;
  // An abandoned lock (a saver that died) is ours now; the file it left is
  // whole, since it is only ever replaced in one step.
  const DWORD wait = WaitForSingleObject(mutex_, kSaveWaitMs);
  held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

SaveLock::~SaveLock() {
  if (held_) ReleaseMutex(mutex_);
  if (mutex_) CloseHandle(mutex_);
}

bool ReplaceSettingsFile(const std::string& path, const std::string& text, bool keepCopyFirst,
                         const FileSteps& steps) {
  const bool exists = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (keepCopyFirst && exists && KeepDamagedCopyOfFile(path).empty()) return false;

  const std::string temp = path + ".new";
  HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(file, text, steps) && steps.flush(file);
  CloseHandle(file);
  if (!written) {
    DeleteFileA(temp.c_str());
    return false;
  }
  // The previous file stays at hand; a .bak that cannot be written does not
  // stop the save.
  if (exists) CopyFileA(path.c_str(), (path + ".bak").c_str(), FALSE);
  if (!steps.replace(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}

bool SaveSettingsText(const std::string& path, const std::string& text, const FileSteps& steps) {
  SaveLock lock;
  return lock.Held() && ReplaceSettingsFile(path, text, false, steps);
}
