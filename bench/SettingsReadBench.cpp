// How long the settings module takes to read its file, by the number of
// rules: files of realistic rules (Japanese names and titles, every tenth
// target with a child) of growing size, each read through LoadSettingsFile
// several times, the median printed; the last one lies past the size limit.
//
// Output (CSV): rules,bytes,read_ms,us_per_kb
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"

namespace {

TargetRecord BenchRule(int n) {
  TargetRecord record = DefaultRule();
  std::snprintf(RuleName(record), kRuleNameSize, "\x83\x8B\x81\x5B\x83\x8B %d \x89\x45\x94\xBC\x95\xAA", n);  // ルール n 右半分
  record.classMatch = kMatchEquals;
  std::snprintf(record.classPattern, kPatternSize, "BenchClass%d", n % 97);
  record.titleMatch = kMatchContains;
  std::snprintf(record.titlePattern, kPatternSize, " - \x83\x81\x83\x82\x92\xA0 %d", n);  // メモ帳
  record.sizeAction = kSizeSet;
  record.widthSpec = {kSizePercent, {}, 50};
  record.heightSpec = {kSizeExtentMinus, {}, 40};
  record.positionAction = kPositionSet;
  record.xSpec = {kAnchorFar, kOffsetFlush, {}, 0};
  record.ySpec = {kAnchorNear, kOffsetPixels, {}, 10};
  return record;
}

std::string FileOfRules(int rules) {
  SettingsModel model;
  for (int n = 0; n < rules;) {
    AddTarget(model, BenchRule(n++));
    if (n % 10 == 0 && n < rules) AddChild(model.targets[model.targets.Size() - 1], BenchRule(n++));
  }
  SystemCharset charset;
  TextBuffer text;
  FormatSettingsFile(model, charset.Get(), text);
  return std::string(text.Data(), text.Size());
}

bool Write(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(file);
  return ok;
}

double ReadMs(const std::string& path, size_t& targets, bool& damaged) {
  const double start = NowMicros();
  SettingsModel model;
  LoadedFile loaded;
  LoadSettingsFile(path.c_str(), model, loaded);
  const double ms = (NowMicros() - start) / 1000;
  targets = model.targets.Size();
  damaged = loaded.report.damaged;
  return ms;
}

}  // namespace

int main() {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "plenara-settings-bench.ini";
  std::printf("rules,bytes,read_ms,us_per_kb\n");
  for (int rules : {1000, 2500, 5000, 10000, 20000, 40000, 80000}) {
    const std::string bytes = FileOfRules(rules);
    if (!Write(path, bytes)) return 1;
    std::vector<double> times;
    size_t targets = 0;
    bool damaged = false;
    for (int run = 0; run < 7; ++run) times.push_back(ReadMs(path, targets, damaged));
    const double ms = Median(times);
    const bool tooLarge = bytes.size() > kMaxSettingsFileBytes;
    if (!tooLarge && (damaged || targets == 0)) std::fprintf(stderr, "%d rules: not read back whole\n", rules);
    std::printf("%d%s,%zu,%.1f,%.2f\n", rules, tooLarge ? " (too large)" : "", bytes.size(), ms,
                ms * 1000 / (bytes.size() / 1024.0));
    std::fflush(stdout);
  }
  DeleteFileA(path.c_str());
  return 0;
}
