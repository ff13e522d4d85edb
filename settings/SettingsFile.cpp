#include "settings/SettingsFile.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

constexpr size_t kPathBufferSize = MAX_PATH + 64;  // a path and any suffix of ours

// path + suffix into out; false when it does not fit.
bool JoinPath(const char* path, const char* suffix, char (&out)[kPathBufferSize]) {
  const int length = std::snprintf(out, sizeof out, "%s%s", path, suffix);
  return length > 0 && static_cast<size_t>(length) < sizeof out;
}

// A name for the wide file functions: with "\\?\" before the full path
// when it is too long for the plain ones, as a damaged copy's name is for a
// settings path of 236 characters or more.
class WidePath {
 public:
  explicit WidePath(const char* path) {
    wchar_t given[kPathBufferSize];
    const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, given, kPathBufferSize);
    if (length <= 0) return;
    if (length <= MAX_PATH) {
      std::memcpy(path_, given, static_cast<size_t>(length) * sizeof(wchar_t));
      return;
    }
    wchar_t full[kPathBufferSize];
    const DWORD fullLength = GetFullPathNameW(given, kPathBufferSize, full, nullptr);
    if (fullLength == 0 || fullLength >= kPathBufferSize) return;
    const bool unc = full[0] == L'\\' && full[1] == L'\\';
    std::swprintf(path_, sizeof path_ / sizeof path_[0], unc ? L"\\\\?\\UNC%ls" : L"\\\\?\\%ls", unc ? full + 1 : full);
  }
  // Null when the name could not be formed.
  const wchar_t* Get() const { return path_[0] ? path_ : nullptr; }

 private:
  wchar_t path_[kPathBufferSize + 8] = {};
};

// Whether one character of the ANSI code page comes back unchanged from a
// conversion to UTF-16 and back, as the profile API and editors make it.
bool RoundTrips(const char* ch, size_t length) {
  wchar_t wide[4];
  char back[8];
  const int wideCount = MultiByteToWideChar(CP_ACP, 0, ch, static_cast<int>(length), wide, 4);
  if (wideCount <= 0) return false;
  const int backCount = WideCharToMultiByte(CP_ACP, 0, wide, wideCount, back, sizeof back, nullptr, nullptr);
  return backCount == static_cast<int>(length) && std::memcmp(back, ch, length) == 0;
}

bool KnownRoundTrip(const char* ch, size_t length, void* context) {
  auto* known = static_cast<uint8_t*>(context);
  if (!known) return RoundTrips(ch, length);
  const auto first = static_cast<uint8_t>(ch[0]);
  const size_t index = length == 2 ? (size_t{first} << 8 | static_cast<uint8_t>(ch[1])) : 0x10000 + first;
  if (!known[index]) known[index] = RoundTrips(ch, length) ? 1 : 2;
  return known[index] == 1;
}

FileRead ReadRawFile(const char* path, TextBuffer& bytes) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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
  } else if (!bytes.Resize(static_cast<size_t>(size.QuadPart))) {
    result = FileRead::kFailed;
  } else {
    size_t done = 0;
    while (done < bytes.Size()) {
      DWORD got = 0;
      if (!ReadFile(file, bytes.Data() + done, static_cast<DWORD>(bytes.Size() - done), &got, nullptr)) {
        result = FileRead::kFailed;
        break;
      }
      if (got == 0) break;  // the file shrank while being read
      done += got;
    }
    bytes.Resize(done);
  }
  CloseHandle(file);
  if (result != FileRead::kRead) bytes.Clear();
  return result;
}

// UTF-16 text into the ANSI code page, NUL characters dropped.
void WideToAnsi(const wchar_t* wide, size_t count, TextBuffer& text, ParseReport& report) {
  Array<wchar_t> kept;
  if (!kept.Reserve(count + 1)) {
    report.Note("file", "could not be converted in memory");
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    if (wide[i]) kept.Append(wchar_t(wide[i]));
  }
  if (kept.Size() < count) report.Note("file", "NUL characters");
  if (kept.Empty()) return;
  const int n = static_cast<int>(kept.Size());
  const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, kept.Data(), n, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0 || !text.Resize(static_cast<size_t>(bytes))) {
    report.Note("file", "could not be converted");
    return;
  }
  BOOL usedDefault = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, kept.Data(), n, text.Data(), bytes, nullptr, &usedDefault);
  if (usedDefault) report.Note("file", "characters that code page 932 cannot hold");
}

// Whether bytes without a mark are UTF-8: valid UTF-8 with bytes of 0x80 or
// more, and either every character of it exists in code page 932 or the
// bytes are not valid code page 932 text. Some pairs of half-width katakana
// in code page 932 are valid UTF-8 too, but of characters code page 932
// does not hold.
bool ReadsAsUtf8(TextView bytes) {
  bool high = false;
  for (size_t i = 0; i < bytes.size && !high; ++i) high = static_cast<uint8_t>(bytes[i]) >= 0x80;
  if (!high || bytes.size > INT_MAX) return false;
  const int n = static_cast<int>(bytes.size);
  const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data, n, nullptr, 0);
  if (count <= 0) return false;
  Array<wchar_t> wide;
  if (!wide.Reserve(static_cast<size_t>(count))) return false;
  MultiByteToWideChar(CP_UTF8, 0, bytes.data, n, wide.Data(), count);
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.Data(), count, nullptr, 0, nullptr, &lossy);
  return !lossy || MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data, n, nullptr, 0) <= 0;
}

// UTF-8 bytes into the ANSI code page.
void Utf8ToAnsi(TextView bytes, TextBuffer& text, ParseReport& report) {
  if (bytes.Empty()) return;
  const int length = static_cast<int>(bytes.size);
  int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data, length, nullptr, 0);
  if (count <= 0) {
    report.Note("file", "bytes that are not UTF-8");
    count = MultiByteToWideChar(CP_UTF8, 0, bytes.data, length, nullptr, 0);
  }
  Array<wchar_t> wide;
  if (count > 0 && wide.Reserve(static_cast<size_t>(count))) {
    MultiByteToWideChar(CP_UTF8, 0, bytes.data, length, wide.Data(), count);
    WideToAnsi(wide.Data(), static_cast<size_t>(count), text, report);
  } else {
    report.Note("file", "could not be converted");
  }
}

// The file's text in the ANSI code page: a UTF-16 file (told by its mark)
// or a UTF-8 one (told by its mark or by its bytes) is converted, NUL bytes
// are dropped. Returns false when the file's bytes can be read as they are.
bool ConvertToAnsi(TextView bytes, TextBuffer& text, ParseReport& report) {
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.data);
  const size_t n = bytes.size;
  if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    Utf8ToAnsi(bytes.Sub(3), text, report);
    CheckRawText(text.View(), report);
    return true;
  }
  if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
    const bool bigEndian = b[0] == 0xFE;
    if (n % 2) report.Note("file", "UTF-16 with an odd number of bytes");
    Array<wchar_t> wide;
    if (wide.Reserve(n / 2)) {
      for (size_t i = 2; i + 1 < n; i += 2) {
        wide.Append(static_cast<wchar_t>(bigEndian ? (b[i] << 8) | b[i + 1] : b[i] | (b[i + 1] << 8)));
      }
      WideToAnsi(wide.Data(), wide.Size(), text, report);
    } else {
      report.Note("file", "could not be converted");
    }
    CheckRawText(text.View(), report);
    return true;
  }
  CheckRawText(bytes, report);
  TextBuffer plain;
  const bool nuls = bytes.Find('\0') != kNoPos;
  if (nuls && plain.Reserve(n)) {
    for (size_t i = 0; i < n; ++i) {
      if (bytes[i]) plain.Append(bytes[i]);
    }
  }
  const TextView rest = nuls ? plain.View() : bytes;
  if (ReadsAsUtf8(rest)) {
    Utf8ToAnsi(rest, text, report);
    return true;
  }
  if (!nuls) return false;
  text = static_cast<TextBuffer&&>(plain);
  return true;
}

bool WriteAll(HANDLE file, TextView bytes, const FileSteps& steps) {
  constexpr size_t kChunk = 1 << 20;
  size_t done = 0;
  while (done < bytes.size) {
    const DWORD chunk = static_cast<DWORD>(bytes.size - done < kChunk ? bytes.size - done : kChunk);
    DWORD written = 0;
    if (!steps.write(file, bytes.data + done, chunk, &written, nullptr) || written != chunk) return false;
    done += chunk;
  }
  return true;
}

// Tries "<path>.<stamp>", then "-2", "-3", ... so that no copy is ever
// overwritten; make(full name) returns 1 on success, 0 when the name is
// taken, -1 on any other failure.
template <class Make>
bool KeepUnderFreshName(const char* path, char (&suffix)[kCopySuffixSize], Make make) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  for (int n = 1; n <= 100; ++n) {
    std::snprintf(suffix, sizeof suffix, "damaged-%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    if (n > 1) {
      const size_t length = std::strlen(suffix);
      std::snprintf(suffix + length, sizeof suffix - length, "-%d", n);
    }
    char name[kPathBufferSize];
    char dotted[kCopySuffixSize + 1];
    std::snprintf(dotted, sizeof dotted, ".%s", suffix);
    if (!JoinPath(path, dotted, name)) break;
    const int made = make(name);
    if (made > 0) return true;
    if (made < 0) break;
  }
  suffix[0] = '\0';
  return false;
}

// Whether the file at name holds exactly bytes.
bool HoldsExactly(const wchar_t* name, TextView bytes) {
  HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool same = true;
  char chunk[4096];
  for (size_t done = 0; same && done <= bytes.size;) {
    DWORD got = 0;
    if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) same = false;
    if (!same || got == 0) {
      same = same && done == bytes.size;
      break;
    }
    same = done + got <= bytes.size && std::memcmp(chunk, bytes.data + done, got) == 0;
    done += got;
  }
  CloseHandle(file);
  return same;
}

// Whether the files at a and b hold the same bytes.
bool SameFiles(const wchar_t* a, const wchar_t* b) {
  HANDLE first = CreateFileW(a, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE second = CreateFileW(b, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  constexpr DWORD kChunk = 1 << 16;
  char* chunks = static_cast<char*>(std::malloc(2 * kChunk));
  bool same = chunks && first != INVALID_HANDLE_VALUE && second != INVALID_HANDLE_VALUE;
  while (same) {
    DWORD got[2] = {};
    same = ReadFile(first, chunks, kChunk, &got[0], nullptr) && ReadFile(second, chunks + kChunk, kChunk, &got[1], nullptr) &&
           got[0] == got[1] && std::memcmp(chunks, chunks + kChunk, got[0]) == 0;
    if (got[0] == 0) break;
  }
  std::free(chunks);
  if (first != INVALID_HANDLE_VALUE) CloseHandle(first);
  if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
  return same;
}

// A damaged copy kept already of size bytes for which holds(its name) is
// true: a file that stays damaged (one that cannot be replaced, say, being
// read-only) gets one copy, not one at every start. Writes its suffix as
// KeepDamagedCopy does.
template <class Holds>
bool FindKeptCopy(const char* path, uint64_t size, char (&suffix)[kCopySuffixSize], Holds holds) {
  char pattern[kPathBufferSize];
  if (!JoinPath(path, ".damaged-*", pattern)) return false;
  const WidePath widePattern(pattern);
  const wchar_t* base = widePattern.Get();
  if (!base) return false;
  const wchar_t* slash = std::wcsrchr(base, L'\\');
  const size_t prefix = std::wcslen(slash ? slash + 1 : base) - std::wcslen(L"damaged-*");
  const size_t folder = slash ? static_cast<size_t>(slash + 1 - base) : 0;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(base, &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool kept = false;
  do {
    const size_t length = std::wcslen(found.cFileName);
    if ((uint64_t{found.nFileSizeHigh} << 32 | found.nFileSizeLow) != size || length <= prefix ||
        length - prefix >= kCopySuffixSize || folder + length >= kPathBufferSize) {
      continue;
    }
    wchar_t name[kPathBufferSize + 8];
    std::memcpy(name, base, folder * sizeof(wchar_t));
    std::memcpy(name + folder, found.cFileName, (length + 1) * sizeof(wchar_t));
    if (!holds(name)) continue;
    for (size_t i = prefix; i <= length; ++i) suffix[i - prefix] = static_cast<char>(found.cFileName[i]);
    kept = true;
  } while (!kept && FindNextFileW(find, &found));
  FindClose(find);
  return kept;
}

bool NameTaken(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

}  // namespace

LeadByteTable SystemLeads() {
  CPINFO info = {};
  if (!GetCPInfo(CP_ACP, &info)) return LeadBytesFromRanges(nullptr, 0, 1);
  return LeadBytesFromRanges(info.LeadByte, sizeof info.LeadByte, info.MaxCharSize);
}

SystemCharset::SystemCharset() : known_(static_cast<uint8_t*>(std::calloc(0x10000 + 0x100, 1))) {
  charset_.leads = SystemLeads();
  charset_.isKept = KnownRoundTrip;
  charset_.context = known_;
}

void LoadSettingsFile(const char* path, SettingsModel& model, LoadedFile& loaded) {
  model = SettingsModel{};
  loaded.read = ReadRawFile(path, loaded.bytes);
  if (loaded.read == FileRead::kTooLarge) loaded.report.Note("file", "too large for a settings file; defaults used");
  if (loaded.read != FileRead::kRead) return;

  TextBuffer text;
  const bool converted = ConvertToAnsi(loaded.bytes.View(), text, loaded.report);
  if (!text.Ok()) {
    loaded.report.Note("file", "could not be converted in memory; defaults used");
    return;
  }
  ParseSettingsText(converted ? text.View() : loaded.bytes.View(), SystemLeads(), model, loaded.report);
}

bool KeepDamagedCopy(const char* path, TextView bytes, char (&suffix)[kCopySuffixSize]) {
  const auto holdsBytes = [bytes](const wchar_t* name) { return HoldsExactly(name, bytes); };
  if (FindKeptCopy(path, bytes.size, suffix, holdsBytes)) return true;
  return KeepUnderFreshName(path, suffix, [bytes](const char* name) {
    const WidePath wide(name);
    HANDLE file = CreateFileW(wide.Get(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return NameTaken(GetLastError()) ? 0 : -1;
    const bool written = WriteAll(file, bytes, FileSteps{}) && FlushFileBuffers(file);
    CloseHandle(file);
    if (!written) DeleteFileW(wide.Get());
    return written ? 1 : -1;
  });
}

bool KeepDamagedCopyOfFile(const char* path, char (&suffix)[kCopySuffixSize]) {
  const WidePath wide(path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (wide.Get() && GetFileAttributesExW(wide.Get(), GetFileExInfoStandard, &data)) {
    const auto holdsFile = [&wide](const wchar_t* name) { return SameFiles(name, wide.Get()); };
    if (FindKeptCopy(path, uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow, suffix, holdsFile)) return true;
  }
  return KeepUnderFreshName(path, suffix, [path](const char* name) {
    if (CopyFileW(WidePath(path).Get(), WidePath(name).Get(), TRUE)) return 1;
    return NameTaken(GetLastError()) ? 0 : -1;
  });
}

void SaveMutexName(const char* path, char (&name)[kMutexNameSize]) {
  // FNV-1a over the path with ASCII letters folded: file names compare
  // without case.
  uint32_t hash = 2166136261u;
  for (const char* p = path; *p; ++p) {
    hash = (hash ^ static_cast<uint8_t>(*p >= 'a' && *p <= 'z' ? *p - 'a' + 'A' : *p)) * 16777619u;
  }
  std::snprintf(name, sizeof name, "PlenaraSettingsSave-%08X", static_cast<unsigned>(hash));
}

SaveLock::SaveLock(const char* path) {
  char name[kMutexNameSize];
  SaveMutexName(path, name);
  mutex_ = CreateMutexA(nullptr, FALSE, name);
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

bool ReplaceSettingsFile(const char* path, TextView text, bool keepCopyFirst, const FileSteps& steps) {
  char temp[kPathBufferSize];
  char backup[kPathBufferSize];
  if (!JoinPath(path, ".new", temp) || !JoinPath(path, ".bak", backup)) return false;
  const WidePath wideTemp(temp), wideBackup(backup), widePath(path);
  if (!wideTemp.Get() || !wideBackup.Get() || !widePath.Get()) return false;
  const bool exists = GetFileAttributesW(widePath.Get()) != INVALID_FILE_ATTRIBUTES;
  char suffix[kCopySuffixSize];
  if (keepCopyFirst && exists && !KeepDamagedCopyOfFile(path, suffix)) return false;

  HANDLE file = CreateFileW(wideTemp.Get(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(file, text, steps) && steps.flush(file);
  CloseHandle(file);
  if (!written) {
    DeleteFileW(wideTemp.Get());
    return false;
  }
  // The previous file stays at hand; a .bak that cannot be written does not
  // stop the save.
  if (exists) CopyFileW(widePath.Get(), wideBackup.Get(), FALSE);
  if (!steps.replace(wideTemp.Get(), widePath.Get(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(wideTemp.Get());
    return false;
  }
  return true;
}

bool SaveSettingsText(const char* path, TextView text, const FileSteps& steps) {
  SaveLock lock(path);
  return lock.Held() && ReplaceSettingsFile(path, text, false, steps);
}
