// soak-driver.exe DIR MINUTES CSV SUMMARY: the soak run. DIR holds
// Plenara.exe and PlenaraDLL.dll; the driver writes a settings file of 100
// rules beside them, starts Plenara and the window fixtures, edits the rule
// list through the main window's messages, switches monitoring off and on,
// announces a new taskbar and changes the work area, and checks Plenara from
// outside every few seconds (the block between two edits; the main window's
// answer and the process's figures from a thread of their own, so that a
// wedged main window shows even while an edit waits for it). At the end it closes Plenara and reads the
// settings file back. Samples go to CSV, the summary to SUMMARY and stdout;
// the exit code is 0 when every target was met.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "SoakRules.h"
#include "SoakShared.h"
#include "app/Commands.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"
#include "shared/SharedBlock.h"

namespace {

constexpr int kInitialRules = 100;
constexpr int kFewestRules = 90;
constexpr int kMostRules = 110;
constexpr int kMostChildren = 6;
constexpr DWORD kSendTimeoutMs = 30000;
constexpr DWORD kAnswerLimitMs = 2000;
constexpr DWORD kExitLimitMs = 5000;
constexpr DWORD kCheckEveryMs = 3000;
constexpr DWORD kMonitoringEveryMs = 30000;
constexpr DWORD kMonitoringOffMs = 4000;
constexpr DWORD kTaskbarEveryMs = 40000;
constexpr DWORD kWorkAreaEveryMs = 50000;
constexpr DWORD kWedgeEveryMs = 25000;
constexpr DWORD kWedgeLifeMs = 8000;
constexpr int kChurnProcesses = 3;
constexpr int kChurnRate = 8;  // windows a second in each
constexpr int kMdiProcesses = 2;
constexpr int kMdiRate = 4;
constexpr int kIntervals[] = {300, 500, 800};

unsigned g_seed = 20261207;
unsigned Random(unsigned n) {
  g_seed = g_seed * 1103515245u + 12345u;
  return (g_seed >> 16) % n;
}

struct Sample {
  double seconds;
  unsigned long long committed;
  long handles;
  int threads;
  double answerMs;
  bool monitoring;
};

struct Counts {
  long inserts = 0, sets = 0, deletes = 0, settings = 0, reads = 0;
  long switches = 0, taskbars = 0, workAreas = 0, wedgesKilled = 0;
  long checks = 0, badChecks = 0, slowAnswers = 0, failedSends = 0;
};

class Driver {
 public:
  Driver(std::string dir, double minutes) : dir_(std::move(dir)), minutes_(minutes) {
    InitializeCriticalSection(&lock_);
    stopProbe_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  }
  ~Driver() {
    DeleteCriticalSection(&lock_);
    if (stopProbe_) CloseHandle(stopProbe_);
  }
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;
  int Run(const char* csvPath, const char* summaryPath);

 private:
  bool WriteSettingsFile();
  bool StartPlenara();
  HANDLE StartFixture(const char* args);
  bool Send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void Edit();
  void EditTarget();
  void EditChild();
  void ApplyNewSettings();
  void ReadBack();
  bool CheckBlock(std::string& why);
  Sample TakeSample(double seconds);
  static DWORD WINAPI ProbeThread(void* self);
  void Probe();
  void CheckBlockNow(double seconds);
  void Fault(const char* format, ...);
  void ChangeWorkArea();
  bool CloseAndVerify(DWORD& exitCode, double& exitMs, std::string& savedWhy);
  bool SavedListMatches(std::string& why);
  void StopFixtures();

  std::string dir_;
  double minutes_;
  PROCESS_INFORMATION plenara_ = {};
  HWND main_ = nullptr;
  HANDLE mapping_ = nullptr;
  SharedBlock* block_ = nullptr;
  HANDLE tallyMapping_ = nullptr;
  SoakTally* tally_ = nullptr;
  std::vector<SoakRule> model_;
  int serial_ = 1000;
  int32_t interval_ = kDefaultInterval;
  uint8_t reapply_ = 1;
  std::atomic<bool> monitoring_{true};
  bool shrunk_ = false;
  RECT workArea_ = {};
  std::vector<HANDLE> fixtures_;
  Counts counts_;
  double slowestEditMs_ = 0;
  std::vector<std::string> faults_;
  // The probe thread's: its samples, the slowest answer, the stop flag.
  CRITICAL_SECTION lock_;
  std::vector<Sample> samples_;
  FILE* csv_ = nullptr;
  double start_ = 0;
  HANDLE stopProbe_ = nullptr;
};

void Driver::Fault(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  EnterCriticalSection(&lock_);
  if (faults_.size() < 50) faults_.push_back(text);
  std::fprintf(stderr, "soak: %s\n", text);
  LeaveCriticalSection(&lock_);
}

bool Driver::WriteSettingsFile() {
  SettingsModel model;
  model.general.monitorInterval = interval_;
  model.general.reapplyOnWorkAreaChange = reapply_;
  model.general.openSettingsAtStart = 0;
  model.general.monitoringEnabled = 1;
  for (int i = 0; i < kInitialRules; ++i) {
    model_.push_back(MakeSoakRule(i % kSoakRuleKinds, i + 1, L"規則"));
    const SoakRule& rule = model_.back();
    if (!AddTarget(model, rule.record)) return false;
    for (const TargetRecord& child : rule.children) {
      if (!AddChild(model.targets[model.targets.Size() - 1], child)) return false;
    }
  }
  SystemCharset charset;
  TextBuffer text;
  if (!FormatSettingsFile(model, charset.Get(), text)) return false;
  const std::string path = dir_ + "Plenara.ini";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, text.Data(), static_cast<DWORD>(text.Size()), &written, nullptr) &&
                  written == text.Size();
  CloseHandle(file);
  return ok;
}

bool Driver::StartPlenara() {
  const std::string exe = dir_ + "Plenara.exe";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  std::string line = "\"" + exe + "\"";
  if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir_.c_str(), &si, &plenara_)) {
    return false;
  }
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 60000 && WaitForSingleObject(plenara_.hProcess, 100) == WAIT_TIMEOUT) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, kMainClassName, nullptr))) {
      DWORD pid = 0;
      GetWindowThreadProcessId(window, &pid);
      if (pid == plenara_.dwProcessId) main_ = window;
    }
    if (!main_) continue;
    if (!mapping_) {
      mapping_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kBlockName);
      if (mapping_) block_ = static_cast<SharedBlock*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, kBlockSize));
    }
    // The rules are in once the settings module has filled the list.
    if (block_ && block_->NumOfTargets == kInitialRules && block_->monitoringEnabled) return true;
  }
  return false;
}

HANDLE Driver::StartFixture(const char* args) {
  const std::string exe = ExeDir() + "soak-windows.exe";
  std::string line = "\"" + exe + "\" " + args;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    Fault("could not start soak-windows %s", args);
    return nullptr;
  }
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

bool Driver::Send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  DWORD_PTR answer = 0;
  const double before = NowMicros();
  const BOOL answered = SendMessageTimeoutA(main_, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &answer);
  slowestEditMs_ = std::max(slowestEditMs_, (NowMicros() - before) / 1000.0);
  if (!answered) {
    ++counts_.failedSends;
    Fault("message %u (%lu, %ld) got no answer within %lu ms", message, static_cast<unsigned long>(wParam),
          static_cast<long>(lParam), kSendTimeoutMs);
    return false;
  }
  result = static_cast<LRESULT>(answer);
  return true;
}

void Driver::EditTarget() {
  const int count = static_cast<int>(model_.size());
  const unsigned roll = Random(10);
  LRESULT result = -1;
  if ((roll < 3 && count < kMostRules) || count < kFewestRules) {
    const int at = static_cast<int>(Random(static_cast<unsigned>(count + 1)));
    SoakRule rule = MakeSoakRule(static_cast<int>(Random(kSoakRuleKinds)), ++serial_, L"編集");
    rule.children.clear();  // children come one at a time, through their own messages
    block_->transferRecord = rule.record;
    if (!Send(kMsgInsertRecord, static_cast<WPARAM>(at), -1, result)) return;
    if (result != 0) return Fault("inserting target %d answered %ld", at, static_cast<long>(result));
    model_.insert(model_.begin() + at, rule);
    ++counts_.inserts;
  } else if ((roll < 6 && count > kFewestRules) || count > kMostRules) {
    const int at = static_cast<int>(Random(static_cast<unsigned>(count)));
    if (!Send(kMsgDeleteRecord, static_cast<WPARAM>(at), -1, result)) return;
    if (result != 0) return Fault("deleting target %d answered %ld", at, static_cast<long>(result));
    model_.erase(model_.begin() + at);
    ++counts_.deletes;
  } else {
    const int at = static_cast<int>(Random(static_cast<unsigned>(count)));
    const TargetRecord record = MakeSoakRule(static_cast<int>(Random(kSoakRuleKinds)), ++serial_, L"変更").record;
    block_->transferRecord = record;
    if (!Send(kMsgSetRecord, static_cast<WPARAM>(at), -1, result)) return;
    if (result != 0) return Fault("setting target %d answered %ld", at, static_cast<long>(result));
    model_[at].record = record;
    ++counts_.sets;
  }
}

void Driver::EditChild() {
  const int parent = static_cast<int>(Random(static_cast<unsigned>(model_.size())));
  std::vector<TargetRecord>& children = model_[parent].children;
  const int count = static_cast<int>(children.size());
  const unsigned roll = Random(3);
  LRESULT result = -1;
  if ((roll == 0 && count < kMostChildren) || count == 0) {
    const int at = static_cast<int>(Random(static_cast<unsigned>(count + 1)));
    const TargetRecord record = MakeSoakChild(static_cast<int>(Random(4)), ++serial_);
    block_->transferRecord = record;
    if (!Send(kMsgInsertRecord, static_cast<WPARAM>(at), parent, result)) return;
    if (result != 0) return Fault("inserting child %d of %d answered %ld", at, parent, static_cast<long>(result));
    children.insert(children.begin() + at, record);
    ++counts_.inserts;
  } else if (roll == 1) {
    const int at = static_cast<int>(Random(static_cast<unsigned>(count)));
    if (!Send(kMsgDeleteRecord, static_cast<WPARAM>(at), parent, result)) return;
    if (result != 0) return Fault("deleting child %d of %d answered %ld", at, parent, static_cast<long>(result));
    children.erase(children.begin() + at);
    ++counts_.deletes;
  } else {
    const int at = static_cast<int>(Random(static_cast<unsigned>(count)));
    const TargetRecord record = MakeSoakChild(static_cast<int>(Random(4)), ++serial_);
    block_->transferRecord = record;
    if (!Send(kMsgSetRecord, static_cast<WPARAM>(at), parent, result)) return;
    if (result != 0) return Fault("setting child %d of %d answered %ld", at, parent, static_cast<long>(result));
    children[at] = record;
    ++counts_.sets;
  }
}

void Driver::ApplyNewSettings() {
  interval_ = kIntervals[Random(sizeof kIntervals / sizeof kIntervals[0])];
  reapply_ = static_cast<uint8_t>(Random(2));
  // The settings module keeps records of its own in the reserved bytes: only
  // the two fields the program reads change.
  block_->pendingSettings = block_->activeSettings;
  block_->pendingSettings.monitorInterval = interval_;
  block_->pendingSettings.reapplyOnWorkAreaChange = reapply_;
  LRESULT result = -1;
  if (!Send(kMsgApplySettings, 0, 0, result)) return;
  if (block_->activeSettings.monitorInterval != interval_) Fault("the applied interval did not take");
  ++counts_.settings;
}

// Reads a record back through the protocol, as the settings window does.
void Driver::ReadBack() {
  const int at = static_cast<int>(Random(static_cast<unsigned>(model_.size())));
  LRESULT result = -1;
  if (!Send(kMsgGetRecord, static_cast<WPARAM>(at), -1, result)) return;
  if (result != 0 || std::memcmp(&block_->transferRecord, &model_[at].record, sizeof(TargetRecord)) != 0) {
    Fault("reading target %d gave another record", at);
  }
  if (!Send(kMsgGetChildCount, static_cast<WPARAM>(at), 0, result)) return;
  if (result != static_cast<LRESULT>(model_[at].children.size())) {
    Fault("target %d has %ld children, the driver made %u", at, static_cast<long>(result),
          static_cast<unsigned>(model_[at].children.size()));
  }
  ++counts_.reads;
}

void Driver::Edit() {
  const unsigned roll = Random(20);
  if (roll < 11) {
    EditTarget();
  } else if (roll < 16) {
    EditChild();
  } else if (roll < 19) {
    ReadBack();
  } else {
    ApplyNewSettings();
  }
}

bool ReadRemote(HANDLE process, uint32_t address, void* into, size_t bytes) {
  SIZE_T got = 0;
  return ReadProcessMemory(process, PointerOf<void>(address), into, bytes, &got) && got == bytes;
}

// The block seen from outside: the counts, the arrays they describe (read
// from Plenara's memory) and the records in them, against the driver's list.
bool Driver::CheckBlock(std::string& why) {
  char text[256];
  const int32_t count = block_->NumOfTargets;
  const uint32_t targets = block_->targets;
  if (count != static_cast<int32_t>(model_.size())) {
    std::snprintf(text, sizeof text, "NumOfTargets %d, the driver's list %u", count, static_cast<unsigned>(model_.size()));
    why = text;
    return false;
  }
  if (count > 0 && targets == 0) {
    why = "NumOfTargets without an array";
    return false;
  }
  std::vector<TargetEntry> entries(static_cast<size_t>(count));
  if (count > 0 && !ReadRemote(plenara_.hProcess, targets, entries.data(), entries.size() * sizeof(TargetEntry))) {
    why = "the target array cannot be read";
    return false;
  }
  for (int i = 0; i < count; ++i) {
    const SoakRule& want = model_[i];
    if (std::memcmp(&entries[i].record, &want.record, sizeof(TargetRecord)) != 0) {
      std::snprintf(text, sizeof text, "target %d differs from the driver's", i);
      why = text;
      return false;
    }
    const int32_t children = entries[i].NumOfChildren;
    if (children != static_cast<int32_t>(want.children.size()) || (children > 0 && entries[i].children == 0)) {
      std::snprintf(text, sizeof text, "target %d: NumOfChildren %d, the driver's %u", i, children,
                    static_cast<unsigned>(want.children.size()));
      why = text;
      return false;
    }
    if (children == 0) continue;
    std::vector<TargetRecord> records(static_cast<size_t>(children));
    if (!ReadRemote(plenara_.hProcess, entries[i].children, records.data(), records.size() * sizeof(TargetRecord)) ||
        std::memcmp(records.data(), want.children.data(), records.size() * sizeof(TargetRecord)) != 0) {
      std::snprintf(text, sizeof text, "the children of target %d differ from the driver's", i);
      why = text;
      return false;
    }
  }
  if (block_->monitoringEnabled != (monitoring_ ? 1 : 0)) {
    why = "monitoringEnabled is not what the driver switched";
    return false;
  }
  // Switched off, the tracked list is freed.
  if (!monitoring_ && (block_->trackedCount != 0 || block_->tracked != 0)) {
    why = "a tracked list with monitoring off";
    return false;
  }
  if (block_->trackedCount < 0) {
    why = "a negative trackedCount";
    return false;
  }
  return true;
}

int CountThreads(DWORD pid) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    count += entry.th32OwnerProcessID == pid;
  }
  CloseHandle(snapshot);
  return count;
}

Sample Driver::TakeSample(double seconds) {
  Sample s = {};
  s.seconds = seconds;
  s.monitoring = monitoring_.load();
  const double before = NowMicros();
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &answer)) {
    Fault("the main window did not answer WM_NULL within %lu ms", kSendTimeoutMs);
  }
  s.answerMs = (NowMicros() - before) / 1000.0;
  if (s.answerMs > kAnswerLimitMs) {
    ++counts_.slowAnswers;
    Fault("the main window took %.0f ms to answer WM_NULL at %.0f s", s.answerMs, seconds);
  }
  s.committed = CommittedPrivate(plenara_.hProcess);
  s.handles = CountHandles(plenara_.dwProcessId);
  s.threads = CountThreads(plenara_.dwProcessId);
  return s;
}

void Driver::CheckBlockNow(double seconds) {
  std::string why;
  ++counts_.checks;
  if (!CheckBlock(why)) {
    ++counts_.badChecks;
    Fault("block check at %.0f s: %s", seconds, why.c_str());
  }
}

DWORD WINAPI Driver::ProbeThread(void* self) {
  static_cast<Driver*>(self)->Probe();
  return 0;
}

void Driver::Probe() {
  DWORD spent = 0;
  do {
    const DWORD began = GetTickCount();
    const Sample s = TakeSample((NowMicros() - start_) / 1e6);
    EnterCriticalSection(&lock_);
    samples_.push_back(s);
    std::fprintf(csv_, "%.1f,%llu,%ld,%d,%.1f,%d\n", s.seconds, s.committed, s.handles, s.threads, s.answerMs,
                 s.monitoring ? 1 : 0);
    std::fflush(csv_);
    LeaveCriticalSection(&lock_);
    spent = GetTickCount() - began;
  } while (WaitForSingleObject(stopProbe_, spent < kCheckEveryMs ? kCheckEveryMs - spent : 0) == WAIT_TIMEOUT);
}

void Driver::ChangeWorkArea() {
  RECT area = workArea_;
  shrunk_ = !shrunk_;
  if (shrunk_) {
    area.top += 30;
    area.bottom -= 40;
  }
  SystemParametersInfoA(SPI_SETWORKAREA, 0, &area, SPIF_SENDCHANGE);
  ++counts_.workAreas;
}

void Driver::StopFixtures() {
  if (tally_) tally_->stop = 1;
  for (HANDLE process : fixtures_) {
    if (WaitForSingleObject(process, 20000) != WAIT_OBJECT_0) TerminateProcess(process, 1);
    CloseHandle(process);
  }
  fixtures_.clear();
}

std::string RuleText(const TargetRecord& record) {
  SystemCharset charset;
  TextBuffer out;
  AppendRuleKeys(out, record, charset.Get());
  std::string text(out.Data(), out.Size());
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

bool Driver::SavedListMatches(std::string& why) {
  SettingsModel saved;
  LoadedFile loaded;
  LoadSettingsFile((dir_ + "Plenara.ini").c_str(), saved, loaded);
  char text[512];
  if (loaded.read != FileRead::kRead) {
    why = "the settings file could not be read";
    return false;
  }
  if (loaded.report.damaged) {
    std::snprintf(text, sizeof text, "the settings file did not read as written: %s",
                  loaded.report.noteCount ? loaded.report.notes[0] : "");
    why = text;
    return false;
  }
  if (saved.general.monitorInterval != interval_ || saved.general.reapplyOnWorkAreaChange != reapply_ ||
      saved.general.monitoringEnabled != (monitoring_ ? 1 : 0)) {
    why = "the saved settings are not the driver's";
    return false;
  }
  if (saved.targets.Size() != model_.size()) {
    std::snprintf(text, sizeof text, "%u rules saved, the driver's list has %u",
                  static_cast<unsigned>(saved.targets.Size()), static_cast<unsigned>(model_.size()));
    why = text;
    return false;
  }
  for (size_t i = 0; i < model_.size(); ++i) {
    const TargetRules& got = saved.targets[i];
    const SoakRule& want = model_[i];
    bool same = std::memcmp(&got.record, &want.record, sizeof(TargetRecord)) == 0 &&
                got.children.Size() == want.children.size();
    for (size_t c = 0; same && c < want.children.size(); ++c) {
      same = std::memcmp(&got.children[c], &want.children[c], sizeof(TargetRecord)) == 0;
    }
    if (!same) {
      std::snprintf(text, sizeof text, "saved rule %u differs: [%s] (%u children), the driver's [%s] (%u children)",
                    static_cast<unsigned>(i + 1), RuleText(got.record).c_str(),
                    static_cast<unsigned>(got.children.Size()), RuleText(want.record).c_str(),
                    static_cast<unsigned>(want.children.size()));
      why = text;
      return false;
    }
  }
  return true;
}

bool Driver::CloseAndVerify(DWORD& exitCode, double& exitMs, std::string& savedWhy) {
  if (block_) UnmapViewOfFile(block_);
  if (mapping_) CloseHandle(mapping_);
  block_ = nullptr;
  mapping_ = nullptr;
  const double before = NowMicros();
  PostMessageA(main_, WM_CLOSE, 0, 0);
  const DWORD waited = WaitForSingleObject(plenara_.hProcess, kExitLimitMs);
  exitMs = (NowMicros() - before) / 1000.0;
  exitCode = STILL_ACTIVE;
  if (waited == WAIT_OBJECT_0) GetExitCodeProcess(plenara_.hProcess, &exitCode);
  if (waited != WAIT_OBJECT_0) {
    Fault("Plenara did not end within %lu ms of WM_CLOSE", kExitLimitMs);
    TerminateProcess(plenara_.hProcess, 1);
    WaitForSingleObject(plenara_.hProcess, 10000);
    return false;
  }
  if (exitCode != 0) Fault("Plenara ended with exit code %lu", exitCode);
  const bool same = SavedListMatches(savedWhy);
  if (!same) Fault("%s", savedWhy.c_str());
  return exitCode == 0 && same;
}

// Medians of the samples from..to seconds taken with monitoring on.
Sample MedianOf(const std::vector<Sample>& samples, double from, double to) {
  std::vector<double> committed, handles, threads;
  for (const Sample& s : samples) {
    if (s.seconds < from || s.seconds >= to || !s.monitoring) continue;
    committed.push_back(static_cast<double>(s.committed));
    handles.push_back(s.handles);
    threads.push_back(s.threads);
  }
  Sample m = {};
  m.seconds = from;
  m.monitoring = true;
  m.committed = static_cast<unsigned long long>(Median(committed));
  m.handles = static_cast<long>(Median(handles));
  m.threads = static_cast<int>(Median(threads));
  return m;
}

std::string Megabytes(unsigned long long bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

int Driver::Run(const char* csvPath, const char* summaryPath) {
  tally_ = OpenSoakTally(tallyMapping_);
  if (!tally_) {
    std::fprintf(stderr, "soak: no tally block\n");
    return 2;
  }
  std::memset(const_cast<SoakTally*>(tally_), 0, sizeof(SoakTally));
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea_, 0);
  if (!WriteSettingsFile()) {
    std::fprintf(stderr, "soak: could not write the settings file\n");
    return 2;
  }
  if (!StartPlenara()) {
    std::fprintf(stderr, "soak: Plenara did not start with its rules\n");
    if (plenara_.hProcess) TerminateProcess(plenara_.hProcess, 1);
    return 2;
  }
  csv_ = std::fopen(csvPath, "w");
  if (!csv_) return 2;
  std::fprintf(csv_, "seconds,committed_private_bytes,handles,threads,answer_ms,monitoring\n");

  char args[64];
  for (int i = 0; i < kChurnProcesses; ++i) {
    std::snprintf(args, sizeof args, "churn %d %d", 11 + i, kChurnRate);
    fixtures_.push_back(StartFixture(args));
  }
  for (int i = 0; i < kMdiProcesses; ++i) {
    std::snprintf(args, sizeof args, "mdi %d %d", 21 + i, kMdiRate);
    fixtures_.push_back(StartFixture(args));
  }
  fixtures_.push_back(StartFixture("hang 31"));
  fixtures_.erase(std::remove(fixtures_.begin(), fixtures_.end(), nullptr), fixtures_.end());

  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  const double start = NowMicros();
  start_ = start;
  HANDLE probe = CreateThread(nullptr, 0, ProbeThread, this, 0, nullptr);
  const double totalMs = minutes_ * 60000.0;
  auto elapsedMs = [&] { return (NowMicros() - start) / 1000.0; };
  double nextEdit = 0, nextCheck = 0, nextSwitch = kMonitoringEveryMs, switchBackAt = -1;
  double nextTaskbar = kTaskbarEveryMs / 2, nextWorkArea = kWorkAreaEveryMs, nextWedge = kWedgeEveryMs / 2;
  HANDLE wedge = nullptr;
  double wedgeKillAt = 0;
  bool crashed = false;
  // The last stretch runs with monitoring on and nothing switched, so that
  // the end's figures compare with the first minute's.
  const double quietFrom = totalMs - 5000;

  for (;;) {
    const double now = elapsedMs();
    if (now >= totalMs) break;
    if (WaitForSingleObject(plenara_.hProcess, 0) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(plenara_.hProcess, &code);
      Fault("Plenara ended by itself at %.0f s with code 0x%lx", now / 1000, code);
      crashed = true;
      break;
    }
    if (now >= nextCheck) {
      CheckBlockNow(now / 1000);
      nextCheck = now + kCheckEveryMs;
      continue;
    }
    LRESULT result = 0;
    if (switchBackAt >= 0 && now >= switchBackAt) {
      if (Send(WM_COMMAND, kCmdStart, 0, result)) monitoring_ = true;
      ++counts_.switches;
      switchBackAt = -1;
    } else if (now >= nextSwitch && now < quietFrom - kMonitoringOffMs) {
      if (Send(WM_COMMAND, kCmdStop, 0, result)) monitoring_ = false;
      ++counts_.switches;
      switchBackAt = now + kMonitoringOffMs;
      nextSwitch = now + kMonitoringEveryMs;
    } else if (now >= nextTaskbar && now < quietFrom) {
      PostMessageA(HWND_BROADCAST, taskbarCreated, 0, 0);
      ++counts_.taskbars;
      nextTaskbar = now + kTaskbarEveryMs;
    } else if (now >= nextWorkArea && now < quietFrom) {
      ChangeWorkArea();
      nextWorkArea = now + kWorkAreaEveryMs;
    } else if (wedge && now >= wedgeKillAt) {
      TerminateProcess(wedge, 1);
      WaitForSingleObject(wedge, 10000);
      CloseHandle(wedge);
      wedge = nullptr;
      ++counts_.wedgesKilled;
    } else if (!wedge && now >= nextWedge && now < quietFrom) {
      wedge = StartFixture("wedge");
      wedgeKillAt = now + kWedgeLifeMs;
      nextWedge = now + kWedgeEveryMs;
    } else if (now >= nextEdit && now < quietFrom) {
      Edit();
      nextEdit = now + 100 + Random(150);
    }
    const double wake = std::min({nextCheck, nextEdit, totalMs}) - elapsedMs();
    if (wake > 0) WaitForSingleObject(plenara_.hProcess, static_cast<DWORD>(wake) + 1);
  }
  if (shrunk_) ChangeWorkArea();
  if (!crashed) CheckBlockNow(elapsedMs() / 1000);
  SetEvent(stopProbe_);
  if (probe) {
    WaitForSingleObject(probe, INFINITE);
    CloseHandle(probe);
  }
  if (!crashed) {
    const Sample s = TakeSample(elapsedMs() / 1000);
    samples_.push_back(s);
    std::fprintf(csv_, "%.1f,%llu,%ld,%d,%.1f,%d\n", s.seconds, s.committed, s.handles, s.threads, s.answerMs,
                 s.monitoring ? 1 : 0);
  }
  std::fclose(csv_);
  const std::vector<Sample>& samples = samples_;
  const double ranMinutes = elapsedMs() / 60000.0;

  DWORD exitCode = STILL_ACTIVE;
  double exitMs = 0;
  std::string savedWhy = crashed ? "Plenara had ended" : "";
  const bool endOk = !crashed && CloseAndVerify(exitCode, exitMs, savedWhy);
  if (wedge) {
    TerminateProcess(wedge, 1);
    CloseHandle(wedge);
  }
  StopFixtures();

  // A single sample may catch a close or a hung send in flight, one handle
  // or thread more than a moment later: the second minute and the last one
  // are each told by the median of their samples taken with monitoring on.
  Sample first = samples.empty() ? Sample{} : samples.front();
  Sample last = samples.empty() ? Sample{} : samples.back();
  const double endSeconds = last.seconds;
  const Sample minute = MedianOf(samples, 60, 120);
  const Sample end = MedianOf(samples, std::max(60.0, endSeconds - 60), endSeconds + 1);
  Sample peak = first;
  double slowest = 0;
  for (const Sample& s : samples) {
    peak.committed = std::max(peak.committed, s.committed);
    peak.handles = std::max(peak.handles, s.handles);
    peak.threads = std::max(peak.threads, s.threads);
    slowest = std::max(slowest, s.answerMs);
  }
  const double memoryDrift =
      minute.committed ? (static_cast<double>(end.committed) - static_cast<double>(minute.committed)) * 100.0 /
                             static_cast<double>(minute.committed)
                       : 0;
  const bool flat = samples.size() > 1 && std::abs(memoryDrift) <= 2.0 && end.handles == minute.handles &&
                    end.threads == minute.threads;
  const long actions = tally_->moved + tally_->maximized + tally_->minimized + tally_->closeAsked + tally_->activated;
  const long edits = counts_.inserts + counts_.sets + counts_.deletes + counts_.settings;
  const bool ok = !crashed && endOk && counts_.slowAnswers == 0 && counts_.badChecks == 0 &&
                  counts_.failedSends == 0 && flat && faults_.empty();

  std::string out;
  auto line = [&](const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    out += text;
    out += "\n";
  };
  line("Plenara soak run: %s", ok ? "PASS" : "FAIL");
  line("minutes run:              %.1f", ranMinutes);
  line("windows opened / closed:  %ld / %ld (%.1f opened a second)", tally_->opened, tally_->closed,
       tally_->opened / (ranMinutes * 60));
  line("titles changed:           %ld", tally_->renamed);
  line("actions taken:            %ld (moved or sized %ld, maximized %ld, minimized %ld, closes sent %ld, "
       "activated %ld)",
       actions, tally_->moved, tally_->maximized, tally_->minimized, tally_->closeAsked, tally_->activated);
  line("rule edits:               %ld (inserted %ld, set %ld, deleted %ld, settings applied %ld; %ld read back)",
       edits, counts_.inserts, counts_.sets, counts_.deletes, counts_.settings, counts_.reads);
  line("monitoring switched:      %ld times; taskbar announced %ld times; work area changed %ld times",
       counts_.switches, counts_.taskbars, counts_.workAreas);
  line("hangs survived:           %ld (%ld recovered, %ld hung processes killed)",
       tally_->recovered + counts_.wedgesKilled, tally_->recovered, counts_.wedgesKilled);
  line("crashes:                  %d", crashed ? 1 : 0);
  line("checks:                   %ld of the block, failed %ld; %u of the main window, slowest answer %.0f ms "
       "(limit %lu)",
       counts_.checks, counts_.badChecks, static_cast<unsigned>(samples.size()), slowest, kAnswerLimitMs);
  line("slowest rule-list message: %.0f ms (it waits for the scan under way to end)", slowestEditMs_);
  line("private bytes:            start %s, after 1 min %s, peak %s, end %s (%+.2f %%)",
       Megabytes(first.committed).c_str(), Megabytes(minute.committed).c_str(), Megabytes(peak.committed).c_str(),
       Megabytes(end.committed).c_str(), memoryDrift);
  line("handles:                  start %ld, after 1 min %ld, peak %ld, end %ld", first.handles, minute.handles,
       peak.handles, end.handles);
  line("threads:                  start %d, after 1 min %d, peak %d, end %d", first.threads, minute.threads,
       peak.threads, end.threads);
  line("flat:                     %s (after 1 min: median of minute 2; end: median of the last minute; "
       "monitoring on)", flat ? "yes" : "no");
  if (exitCode == STILL_ACTIVE) {
    line("exit:                     did not end within %lu ms", kExitLimitMs);
  } else {
    line("exit:                     code %lu after %.0f ms", exitCode, exitMs);
  }
  line("saved rule list:          %s (%u rules)", savedWhy.empty() ? "the driver's, exactly" : savedWhy.c_str(),
       static_cast<unsigned>(model_.size()));
  for (const std::string& fault : faults_) line("fault: %s", fault.c_str());
  std::fputs(out.c_str(), stdout);
  if (FILE* summary = std::fopen(summaryPath, "w")) {
    std::fputs(out.c_str(), summary);
    std::fclose(summary);
  }
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: soak-driver DIR MINUTES CSV SUMMARY\n");
    return 2;
  }
  std::string dir = argv[1];
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  Driver driver(dir, std::atof(argv[2]));
  return driver.Run(argv[3], argv[4]);
}
