#pragma once
// The windows the benchmarks scan, as bench-windows.exe makes them: a mix of
// ten kinds of small top-level window, chosen by the window's index, so that
// every run of any size has the same mix. One kind in ten has an MDI client
// with two MDI children, two in ten hold a few plain child controls.
#include <cstdint>

enum class BenchShape : uint8_t { kPlain, kControls, kMdiFrame };

struct BenchKind {
  const char* className;
  const wchar_t* titleFormat;  // one %d, the window's index
  BenchShape shape;
};

constexpr int kBenchKinds = 10;

constexpr BenchKind kBenchKindTable[kBenchKinds] = {
    {"PlenaraBenchEditor", L"文書%d - エディタ", BenchShape::kPlain},
    {"PlenaraBenchViewer", L"画像ビューア - photo%d.png", BenchShape::kPlain},
    {"PlenaraBenchTerminal", L"端末 %d", BenchShape::kPlain},
    {"PlenaraBenchMdiFrame", L"表計算 - ブック%d", BenchShape::kMdiFrame},
    {"PlenaraBenchDialog", L"設定 (%d)", BenchShape::kControls},
    {"PlenaraBenchBrowser", L"ページ %d - ブラウザ", BenchShape::kControls},
    {"PlenaraBenchMail", L"受信トレイ (%d)", BenchShape::kPlain},
    {"PlenaraBenchChat", L"チャット %d", BenchShape::kPlain},
    {"PlenaraBenchPlayer", L"再生中 - 曲%d", BenchShape::kPlain},
    {"PlenaraBenchTool", L"ツール%d", BenchShape::kPlain},
};

inline const BenchKind& KindOf(int index) { return kBenchKindTable[index % kBenchKinds]; }

// The kind a tenth of the windows have; the every-scan rules match it alone.
constexpr int kEveryScanKind = 0;

constexpr char kBenchMdiChildClass[] = "PlenaraBenchMdiDoc";
constexpr int kBenchMdiChildren = 2;
constexpr int kBenchControls = 3;

// The message-only window of each holding fixture process: WM_CLOSE ends it.
constexpr char kBenchHoldClass[] = "PlenaraBenchHold";

// The latency fixture's windows, and where the once-only rule puts them.
constexpr char kBenchLateClass[] = "PlenaraBenchLate";
constexpr int32_t kLateX = 300;
constexpr int32_t kLateY = 200;
constexpr int32_t kLateWidth = 120;
constexpr int32_t kLateHeight = 90;

// Windows per holding process: well inside one process's window resources.
constexpr int kWindowsPerProcess = 500;
