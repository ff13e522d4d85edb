#pragma once
// The settings file on disk: reading it whole into memory, and replacing it
// whole so that it is never half-written.
#include <windows.h>

#include "settings/SettingsModel.h"
#include "settings/SettingsParse.h"
#include "settings/SettingsText.h"
#include "settings/Text.h"

// Lead bytes of the system's ANSI code page.
LeadByteTable SystemLeads();

// The system's ANSI code page as the format needs it. Remembers which
// characters come back from a conversion to UTF-16 and back, so that each is
// tried once per save, however many rules use it.
class SystemCharset {
 public:
  SystemCharset();
  ~SystemCharset() { std::free(known_); }
  SystemCharset(const SystemCharset&) = delete;
  SystemCharset& operator=(const SystemCharset&) = delete;
  const Charset& Get() const { return charset_; }

 private:
  uint8_t* known_;  // per character: 0 not tried, 1 kept, 2 lost; null: try every time
  Charset charset_;
};

enum class FileRead { kRead, kMissing, kFailed, kTooLarge };

// Files larger than this are not settings files (10,000 rules take 2.3 MB):
// such a file is not read, the defaults stand and it is kept as a damaged
// copy.
constexpr DWORD kMaxSettingsFileBytes = 16u << 20;

struct LoadedFile {
  FileRead read = FileRead::kMissing;
  TextBuffer bytes;  // the file as it was, for the copy of a damaged one
  ParseReport report;
};

// Fills model from the file at path; defaults when there is none or it is
// not understood. The report says whether anything was not taken as written.
void LoadSettingsFile(const char* path, SettingsModel& model, LoadedFile& loaded);

// Room for "damaged-YYYYMMDD-HHMMSS-nnn" and the NUL.
constexpr size_t kCopySuffixSize = 32;

// Keeps bytes under "<path>.damaged-YYYYMMDD-HHMMSS[-n]", a name no save ever
// reuses, unless such a copy holds these bytes already. Writes the part after
// "<path>." into suffix; false when no copy could be made. Names past
// MAX_PATH work.
bool KeepDamagedCopy(const char* path, TextView bytes, char (&suffix)[kCopySuffixSize]);

// The same for the file on disk as it is now (a file too large to read, or
// one that could not be read at start, kept before it is replaced).
bool KeepDamagedCopyOfFile(const char* path, char (&suffix)[kCopySuffixSize]);

// The steps of a save that can fail; tests put failing ones in their place,
// since running as root under Wine no attribute makes a real write fail.
struct FileSteps {
  BOOL(WINAPI* write)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = WriteFile;
  BOOL(WINAPI* flush)(HANDLE) = FlushFileBuffers;
  BOOL(WINAPI* replace)(LPCWSTR, LPCWSTR, DWORD) = MoveFileExW;
};

// Serialises the saves of one settings file: the settings window saves on
// its own thread while WriteSetting may run on the main thread. A named
// mutex per file (its name from the path, which may not hold a backslash),
// held for one save only; never send a message to the main window while
// holding it.
constexpr size_t kMutexNameSize = 40;
void SaveMutexName(const char* path, char (&name)[kMutexNameSize]);
constexpr DWORD kSaveWaitMs = 10000;

class SaveLock {
 public:
  explicit SaveLock(const char* path);
  ~SaveLock();
  SaveLock(const SaveLock&) = delete;
  SaveLock& operator=(const SaveLock&) = delete;
  bool Held() const { return held_; }

 private:
  HANDLE mutex_ = nullptr;
  bool held_ = false;
};

// With the lock held: writes text to "<path>.new", flushes it, keeps the old
// file as "<path>.bak" and moves the new one over it in one step. When
// keepCopyFirst, the old file is first kept as a damaged copy, and without
// that copy nothing is replaced. Returns false, with the old file whole,
// when any step fails.
bool ReplaceSettingsFile(const char* path, TextView text, bool keepCopyFirst, const FileSteps& steps = FileSteps{});

// Takes the lock and replaces the file; false when either fails.
bool SaveSettingsText(const char* path, TextView text, const FileSteps& steps = FileSteps{});
