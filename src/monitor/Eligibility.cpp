#include "monitor/Eligibility.h"

namespace {

bool FollowsExtent(const SizeSpec& spec) { return spec.mode == kSizeExtentMinus || spec.mode == kSizePercent; }

}  // namespace

bool IsExtentDependent(const TargetRecord& record) {
  // Maximize and minimize follow the work area by themselves, and a position
  // from the near edge stays put when only the extent changes.
  const bool size = record.sizeAction == kSizeSet && (FollowsExtent(record.widthSpec) || FollowsExtent(record.heightSpec));
  const bool position =
      record.positionAction == kPositionSet && (record.xSpec.anchor == kAnchorFar || record.ySpec.anchor == kAnchorFar);
  return size || position;
}

bool IsEligible(uint8_t handled, const TargetRecord& record, bool workAreaChanged, uint8_t reapply) {
  if (record.enabled == 0) return false;
  if (record.applyOnce == 0 || handled == 0) return true;
  return workAreaChanged && reapply != 0 && IsExtentDependent(record);
}
