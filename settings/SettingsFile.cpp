#include "settings/SettingsFile.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kPathBufferSize = MAX_PATH + 64;  // a path and any suffix of ours

// path + suffix into out; false when it does not fit.
bool JoinPath(const char* path, const char* suffix, char (&out)[kPathBufferSize]) {
  const int length = std::snprintf(out, sizeof out, "%s%s", path, suffix);
  return length > 0 && static_cast<size_t>(length) < sizeof out;
}

// Whether one character of the ANSI code page comes back unchanged from a
// conversion to UTF-16 and back, as the profile API makes it.
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

// The text for the profile API in the ANSI code page: a UTF-8 or UTF-16
// file (told by its byte-order mark) is converted, NUL bytes are dropped.
// Returns false when the file's bytes can be read as they are.
bool ConvertForProfile(TextView bytes, TextBuffer& text, ParseReport& report) {
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.data);
  const size_t n = bytes.size;
  if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    const int length = static_cast<int>(n - 3);
    if (length > 0) {
      int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data + 3, length, nullptr, 0);
      if (count <= 0) {
        report.Note("file", "bytes that are not UTF-8");
        count = MultiByteToWideChar(CP_UTF8, 0, bytes.data + 3, length, nullptr, 0);
      }
      Array<wchar_t> wide;
      if (count > 0 && wide.Reserve(static_cast<size_t>(count))) {
        MultiByteToWideChar(CP_UTF8, 0, bytes.data + 3, length, wide.Data(), count);
        WideToAnsi(wide.Data(), static_cast<size_t>(count), text, report);
      } else {
        report.Note("file", "could not be converted");
      }
    }
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
  if (bytes.Find('\0') == kNoPos) return false;
  if (text.Reserve(n)) {
    for (size_t i = 0; i < n; ++i) {
      if (bytes[i]) text.Append(bytes[i]);
    }
  }
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

// A private temporary copy for the profile API, removed again on scope exit.
class TempTextFile {
 public:
  explicit TempTextFile(TextView text) {
    char folder[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH || !GetTempFileNameA(folder, "pls", 0, path_)) return;
    made_ = true;
    HANDLE file = CreateFileA(path_, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    ok_ = WriteAll(file, text, FileSteps{});
    CloseHandle(file);
  }
  ~TempTextFile() {
    if (made_) DeleteFileA(path_);
  }
  TempTextFile(const TempTextFile&) = delete;
  TempTextFile& operator=(const TempTextFile&) = delete;
  bool Ok() const { return ok_; }
  const char* Path() const { return path_; }

 private:
  char path_[MAX_PATH] = {};
  bool made_ = false;
  bool ok_ = false;
};

// The profile API, with buffers that grow until a section fits. No section
// or list of names can be longer than the text it came from.
struct ProfileFile {
  const char* path;
  size_t limit;
  // The API allocates twice the buffer for every call: a buffer of a
  // typical section's size keeps that cheap. It grows where needed and
  // stays grown for the sections after.
  TextBuffer lineBuffer;
};

// Both calls return the buffer's size less two when the text was cut.
template <class Call>
bool ReadGrowing(TextBuffer& buffer, size_t first, size_t limit, TextBuffer& out, Call call) {
  size_t size = buffer.Size() ? buffer.Size() : first;
  for (;;) {
    if (!buffer.Resize(size)) return false;
    const DWORD got = call(buffer.Data(), static_cast<DWORD>(size));
    if (got + 2 < size || size >= limit) {
      out.Clear();
      out.Append(TextView(buffer.Data(), got < size ? got : size));
      return out.Ok();
    }
    size = size * 2 < limit ? size * 2 : limit;
  }
}

bool ProfileNames(void* context, TextBuffer& names) {
  const auto& file = *static_cast<const ProfileFile*>(context);
  TextBuffer buffer;
  return ReadGrowing(buffer, 64 * 1024, file.limit, names, [&file](char* data, DWORD size) {
    return GetPrivateProfileSectionNamesA(data, size, file.path);
  });
}

bool ProfileLines(void* context, const char* section, TextBuffer& lines) {
  auto& file = *static_cast<ProfileFile*>(context);
  return ReadGrowing(file.lineBuffer, 2048, file.limit, lines, [&file, section](char* data, DWORD size) {
    return static_cast<DWORD>(GetPrivateProfileSectionA(section, data, size, file.path));
  });
}

void ParseProfileFile(const char* path, size_t textBytes, SettingsModel& model, ParseReport& report) {
  ProfileFile file{path, textBytes + 16, TextBuffer()};
  SectionReader reader;
  reader.context = &file;
  reader.names = ProfileNames;
  reader.lines = ProfileLines;
  ParseSettingsFile(reader, SystemLeads(), model, report);
  // The profile API keeps the parsed file in memory for the life of the
  // process; this asks it to let go (it writes nothing, since nothing of
  // the file was changed through it).
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
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
  if (!ConvertForProfile(loaded.bytes.View(), text, loaded.report)) {
    ParseProfileFile(path, loaded.bytes.Size(), model, loaded.report);
    return;
  }
  TempTextFile temp(text.View());
  if (!text.Ok() || !temp.Ok()) {
    loaded.report.Note("file", "no temporary copy for the conversion; defaults used");
    return;
  }
  ParseProfileFile(temp.Path(), text.Size(), model, loaded.report);
}

bool KeepDamagedCopy(const char* path, TextView bytes, char (&suffix)[kCopySuffixSize]) {
  return KeepUnderFreshName(path, suffix, [bytes](const char* name) {
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return NameTaken(GetLastError()) ? 0 : -1;
    const bool written = WriteAll(file, bytes, FileSteps{}) && FlushFileBuffers(file);
    CloseHandle(file);
    if (!written) DeleteFileA(name);
    return written ? 1 : -1;
  });
}

bool KeepDamagedCopyOfFile(const char* path, char (&suffix)[kCopySuffixSize]) {
  return KeepUnderFreshName(path, suffix, [path](const char* name) {
    if (CopyFileA(path, name, TRUE)) return 1;
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
  const bool exists = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
  char suffix[kCopySuffixSize];
  if (keepCopyFirst && exists && !KeepDamagedCopyOfFile(path, suffix)) return false;

  HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(file, text, steps) && steps.flush(file);
  CloseHandle(file);
  if (!written) {
    DeleteFileA(temp);
    return false;
  }
  // The previous file stays at hand; a .bak that cannot be written does not
  // stop the save.
  if (exists) CopyFileA(path, backup, FALSE);
  if (!steps.replace(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp);
    return false;
  }
  return true;
}

bool SaveSettingsText(const char* path, TextView text, const FileSteps& steps) {
  SaveLock lock(path);
  return lock.Held() && ReplaceSettingsFile(path, text, false, steps);
}
