#include "BenchRules.h"

#include <cstdio>
#include <cwchar>

#include "BenchSupport.h"
#include "BenchWindows.h"

namespace {

void SetText(char (&field)[kPatternSize], const std::string& text) {
  std::snprintf(field, sizeof field, "%s", text.c_str());
}

TargetRecord Rule(uint8_t classMatch, const char* classPattern, uint8_t titleMatch, const wchar_t* titlePattern,
                  uint8_t applyOnce) {
  TargetRecord r = {};
  r.classMatch = classMatch;
  SetText(r.classPattern, classPattern);
  r.titleMatch = titleMatch;
  SetText(r.titlePattern, ToAnsi(titlePattern));
  r.enabled = 1;
  r.applyOnce = applyOnce;
  return r;
}

// A size and place that the rule would set, were it ever to match.
void AddPlacement(TargetRecord& r) {
  r.sizeAction = kSizeSet;
  r.widthSpec = SizeSpec{kSizePercent, {}, 50};
  r.heightSpec = SizeSpec{kSizeExtentMinus, {}, 100};
  r.positionAction = kPositionSet;
  r.xSpec = PositionSpec{kAnchorFar, kOffsetFlush, {}, 0};
  r.ySpec = PositionSpec{kAnchorNear, kOffsetPixels, {}, 20};
}

TargetRecord OnceOnly(int j) {
  char name[64];
  wchar_t text[64];
  switch (j % 8) {
    case 0: {
      std::snprintf(name, sizeof name, "OtherApp%02d", j);
      TargetRecord r = Rule(kMatchEquals, name, kMatchAny, L"", 1);
      AddPlacement(r);
      return r;
    }
    case 1: {
      std::swprintf(text, 64, L"存在しない%d", j);
      TargetRecord r = Rule(kMatchBegins, "PlenaraBench", kMatchContains, text, 1);
      AddPlacement(r);
      return r;
    }
    case 2:
      return Rule(kMatchEnds, "Viewer", kMatchBegins, L"画像ビューア", 1);
    case 3:
      std::swprintf(text, 64, L"端末 %d", j);
      return Rule(kMatchAny, "", kMatchEquals, text, 1);
    case 4: {
      TargetRecord r = Rule(kMatchContains, "Mail", kMatchEnds, L"トレイ (-1)", 1);
      AddPlacement(r);
      return r;
    }
    case 5:
      return Rule(kMatchEquals, "PlenaraBenchDialog", kMatchBegins, L"設定", 1);
    case 6: {
      std::snprintf(name, sizeof name, "Afx:%08x:8", 0x400000 + j);
      TargetRecord r = Rule(kMatchBegins, name, kMatchAny, L"", 1);
      AddPlacement(r);
      return r;
    }
    default:
      return Rule(kMatchAny, "", kMatchContains, L"ブラウザ", 1);
  }
}

TargetRecord EveryScan(int j) {
  switch (j % 4) {
    case 0:
      return Rule(kMatchEquals, KindOf(kEveryScanKind).className, kMatchAny, L"", 0);
    case 1:
      return Rule(kMatchBegins, "PlenaraBenchEd", kMatchEnds, L" - エディタ", 0);
    case 2:
      return Rule(kMatchAny, "", kMatchEnds, L"エディタ", 0);
    default:
      return Rule(kMatchContains, "Editor", kMatchContains, L"文書", 0);
  }
}

}  // namespace

std::vector<TargetRecord> BenchRules(int count, RuleVariant variant) {
  std::vector<TargetRecord> rules;
  const int every = variant == RuleVariant::kEveryScan ? (count >= 10 ? count / 10 : 1) : 0;
  for (int j = 0; j < every; ++j) rules.push_back(EveryScan(j));
  for (int j = every; j < count - 1; ++j) rules.push_back(OnceOnly(j));
  if (static_cast<int>(rules.size()) < count) rules.push_back(Rule(kMatchAny, "", kMatchAny, L"", 1));
  return rules;
}

std::vector<TargetRecord> UnmatchedRules(int count) {
  // The templates of OnceOnly that never match.
  static const int kUnmatched[] = {0, 1, 4, 6};
  std::vector<TargetRecord> rules;
  for (int j = 0; j < count; ++j) rules.push_back(OnceOnly(8 * (j / 4) + kUnmatched[j % 4]));
  return rules;
}

TargetRecord LateRule() {
  TargetRecord r = Rule(kMatchEquals, kBenchLateClass, kMatchAny, L"", 1);
  r.sizeAction = kSizeSet;
  r.widthSpec = SizeSpec{kSizeAbsolute, {}, kLateWidth};
  r.heightSpec = SizeSpec{kSizeAbsolute, {}, kLateHeight};
  r.positionAction = kPositionSet;
  r.xSpec = PositionSpec{kAnchorNear, kOffsetPixels, {}, kLateX};
  r.ySpec = PositionSpec{kAnchorNear, kOffsetPixels, {}, kLateY};
  return r;
}
