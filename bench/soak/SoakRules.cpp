#include "SoakRules.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "BenchSupport.h"
#include "SoakShared.h"

namespace {

template <size_t N>
void SetText(char (&field)[N], const std::string& text) {
  std::snprintf(field, N, "%s", text.c_str());
}

TargetRecord Rule(uint8_t classMatch, const char* classPattern, uint8_t titleMatch, const wchar_t* titlePattern,
                  bool once) {
  TargetRecord r;
  std::memset(&r, 0, sizeof r);
  r.classMatch = classMatch;
  SetText(r.classPattern, classPattern);
  r.titleMatch = titleMatch;
  SetText(r.titlePattern, ToAnsi(titlePattern));
  r.enabled = 1;
  r.applyOnce = once ? 1 : 0;
  return r;
}

void Size(TargetRecord& r, SizeSpec width, SizeSpec height) {
  r.sizeAction = kSizeSet;
  r.widthSpec = width;
  r.heightSpec = height;
}

void Place(TargetRecord& r, PositionSpec x, PositionSpec y) {
  r.positionAction = kPositionSet;
  r.xSpec = x;
  r.ySpec = y;
}

}  // namespace

TargetRecord MakeSoakChild(int kind, int serial) {
  TargetRecord r;
  switch (kind % 4) {
    case 0:
      r = Rule(kMatchEquals, kSoakDoc, kMatchBegins, L"表", true);
      Size(r, {kSizeAbsolute, {}, 200}, {kSizeAbsolute, {}, 150});
      Place(r, {kAnchorNear, kOffsetPixels, {}, 5}, {kAnchorNear, kOffsetPixels, {}, 5});
      break;
    case 1:
      r = Rule(kMatchAny, "", kMatchEnds, L"(閉)", true);
      r.close = 1;
      break;
    case 2:
      r = Rule(kMatchContains, "Sheet", kMatchAny, L"", true);
      r.sizeAction = kSizeMaximize;
      break;
    default:
      r = Rule(kMatchBegins, "Soak", kMatchContains, L"集計", false);
      Place(r, {kAnchorFar, kOffsetPercent, {}, 10}, {kAnchorFar, kOffsetFlush, {}, 0});
      r.activate = 1;
      break;
  }
  wchar_t name[64];
  std::swprintf(name, 64, L"子 %d", serial);
  SetText(r.reserved260, ToAnsi(name));
  return r;
}

SoakRule MakeSoakRule(int kind, int serial, const wchar_t* namePrefix) {
  SoakRule rule;
  TargetRecord& r = rule.record;
  wchar_t text[64];
  char narrow[64];
  switch (kind % kSoakRuleKinds) {
    case 0:
      r = Rule(kMatchEquals, kSoakEditor, kMatchEnds, L" - エディタ", true);
      Size(r, {kSizePercent, {}, 50}, {kSizeExtentMinus, {}, 100});
      Place(r, {kAnchorFar, kOffsetFlush, {}, 0}, {kAnchorNear, kOffsetPixels, {}, 20});
      break;
    case 1:
      r = Rule(kMatchBegins, "SoakVi", kMatchContains, L"ビューア", true);
      Size(r, {kSizeAbsolute, {}, 400}, {kSizeAbsolute, {}, 300});
      Place(r, {kAnchorNear, kOffsetPixels, {}, 10}, {kAnchorNear, kOffsetPercent, {}, 10});
      break;
    case 2:
      r = Rule(kMatchContains, "Note", kMatchAny, L"", false);
      Place(r, {kAnchorNear, kOffsetFlush, {}, 0}, {kAnchorFar, kOffsetPixels, {}, 30});
      break;
    case 3:
      r = Rule(kMatchEquals, kSoakDoomed, kMatchBegins, L"閉じる", true);
      r.close = 1;
      break;
    case 4:
      r = Rule(kMatchEquals, kSoakTool, kMatchBegins, L"ツール", true);
      r.sizeAction = kSizeMaximize;
      break;
    case 5:
      r = Rule(kMatchAny, "", kMatchBegins, L"最小", true);
      r.sizeAction = kSizeMinimize;
      break;
    case 6:
      r = Rule(kMatchEquals, kSoakFrame, kMatchAny, L"", true);
      Size(r, {kSizePercent, {}, 80}, {kSizePercent, {}, 80});
      Place(r, {kAnchorNear, kOffsetFlush, {}, 0}, {kAnchorNear, kOffsetFlush, {}, 0});
      for (int c = 0; c < 4; ++c) rule.children.push_back(MakeSoakChild(c, serial * 10 + c));
      break;
    case 7:
      r = Rule(kMatchEquals, kSoakAsk, kMatchBegins, L"未保存", true);
      r.close = 1;
      break;
    case 8:
      r = Rule(kMatchAny, "", kMatchEquals, L"無題", true);
      r.activate = 1;
      break;
    case 9:
      r = Rule(kMatchEquals, kSoakHang, kMatchAny, L"", false);
      Size(r, {kSizeAbsolute, {}, 300}, {kSizeAbsolute, {}, 200});
      Place(r, {kAnchorNear, kOffsetPixels, {}, 100}, {kAnchorNear, kOffsetPixels, {}, 100});
      break;
    case 10:
      std::snprintf(narrow, sizeof narrow, "OtherApp%02d", serial % 100);
      r = Rule(kMatchEquals, narrow, kMatchAny, L"", true);
      Size(r, {kSizePercent, {}, 50}, {kSizeExtentMinus, {}, 100});
      break;
    case 11:
      std::swprintf(text, 64, L"存在しない%d", serial);
      r = Rule(kMatchBegins, "PlenaraNone", kMatchContains, text, true);
      Place(r, {kAnchorFar, kOffsetPercent, {}, -5}, {kAnchorKeep, kOffsetFlush, {}, 0});
      break;
    case 12:
      r = Rule(kMatchEnds, "Viewer", kMatchBegins, L"画像ビューア", true);
      r.sizeAction = kSizeMaximize;
      r.enabled = 0;
      break;
    case 13:
      r = Rule(kMatchContains, "Mail", kMatchEnds, L"トレイ (-1)", false);
      Place(r, {kAnchorFar, kOffsetPercent, {}, 25}, {kAnchorFar, kOffsetFlush, {}, 0});
      break;
    case 14:
      std::snprintf(narrow, sizeof narrow, "Afx:%08x:8", 0x400000 + serial);
      r = Rule(kMatchEquals, narrow, kMatchAny, L"", true);
      Size(r, {kSizeExtentMinus, {}, 10}, {kSizePercent, {}, 95});
      break;
    case 15:
      r = Rule(kMatchAny, "", kMatchContains, L"ブラウザ", true);
      r.activate = 1;
      break;
    case 16:
      r = Rule(kMatchEquals, kSoakEditor, kMatchEquals, L"文書 - エディタ (変更)", false);
      Size(r, {kSizePercent, {}, 40}, {kSizePercent, {}, 40});
      break;
    case 17:
      r = Rule(kMatchBegins, "Soak", kMatchEnds, L"後で", true);
      r.close = 1;
      break;
    case 18:
      r = Rule(kMatchEquals, kSoakTool, kMatchContains, L"ツール", true);
      r.sizeAction = kSizeMinimize;
      r.enabled = 0;
      break;
    default:
      r = Rule(kMatchAny, "", kMatchAny, L"", true);
      Size(r, {kSizeAbsolute, {}, 640}, {kSizeKeep, {}, 0});
      r.enabled = 0;
      break;
  }
  wchar_t name[64];
  std::swprintf(name, 64, L"%ls %d", namePrefix, serial);
  SetText(r.reserved260, ToAnsi(name));
  return rule;
}
