#pragma once
// The rule record shared with the companion module. Fixed 32-bit layout:
// every offset here is part of the settings module's contract.
#include <cstddef>
#include <cstdint>

enum MatchMode : uint8_t {
  kMatchAny = 0,
  kMatchBegins = 1,
  kMatchEnds = 2,
  kMatchContains = 3,
  kMatchEquals = 4,
};

enum SizeAction : uint8_t {
  kSizeNone = 0,
  kSizeSet = 1,
  kSizeMaximize = 2,
  kSizeMinimize = 3,
};

enum SizeMode : uint8_t {
  kSizeKeep = 0,
  kSizeAbsolute = 1,
  kSizeExtentMinus = 2,
  kSizePercent = 3,
};

enum PositionAction : uint8_t {
  kPositionNone = 0,
  kPositionSet = 1,
};

enum Anchor : uint8_t {
  kAnchorKeep = 0,
  kAnchorNear = 1,
  kAnchorFar = 2,
};

enum OffsetKind : uint8_t {
  kOffsetFlush = 0,
  kOffsetPixels = 1,
  kOffsetPercent = 2,
};

constexpr size_t kPatternSize = 129;  // 128 bytes of text and the NUL
constexpr size_t kRuleNameSize = 132; // the reserved area the settings module uses for a name

struct SizeSpec {
  uint8_t mode;
  uint8_t reserved[3];
  int32_t value;
};
static_assert(sizeof(SizeSpec) == 8);
static_assert(offsetof(SizeSpec, mode) == 0);
static_assert(offsetof(SizeSpec, value) == 4);

struct PositionSpec {
  uint8_t anchor;
  uint8_t offsetKind;
  uint8_t reserved[2];
  int32_t value;
};
static_assert(sizeof(PositionSpec) == 8);
static_assert(offsetof(PositionSpec, anchor) == 0);
static_assert(offsetof(PositionSpec, offsetKind) == 1);
static_assert(offsetof(PositionSpec, value) == 4);

struct TargetRecord {
  uint8_t titleMatch;
  char titlePattern[kPatternSize];
  uint8_t classMatch;
  char classPattern[kPatternSize];
  char reserved260[kRuleNameSize];
  uint8_t sizeAction;
  uint8_t reserved393[3];
  SizeSpec widthSpec;
  SizeSpec heightSpec;
  uint8_t positionAction;
  uint8_t reserved413[3];
  PositionSpec xSpec;
  PositionSpec ySpec;
  uint8_t activate;
  uint8_t close;
  uint8_t enabled;
  uint8_t applyOnce;
};
static_assert(sizeof(TargetRecord) == 436);
static_assert(offsetof(TargetRecord, titleMatch) == 0);
static_assert(offsetof(TargetRecord, titlePattern) == 1);
static_assert(offsetof(TargetRecord, classMatch) == 130);
static_assert(offsetof(TargetRecord, classPattern) == 131);
static_assert(offsetof(TargetRecord, reserved260) == 260);
static_assert(offsetof(TargetRecord, sizeAction) == 392);
static_assert(offsetof(TargetRecord, reserved393) == 393);
static_assert(offsetof(TargetRecord, widthSpec) == 396);
static_assert(offsetof(TargetRecord, heightSpec) == 404);
static_assert(offsetof(TargetRecord, positionAction) == 412);
static_assert(offsetof(TargetRecord, reserved413) == 413);
static_assert(offsetof(TargetRecord, xSpec) == 416);
static_assert(offsetof(TargetRecord, ySpec) == 424);
static_assert(offsetof(TargetRecord, activate) == 432);
static_assert(offsetof(TargetRecord, close) == 433);
static_assert(offsetof(TargetRecord, enabled) == 434);
static_assert(offsetof(TargetRecord, applyOnce) == 435);
