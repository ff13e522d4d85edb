#pragma once
// Whether a matching rule may act on a window in this scan.
#include <cstdint>

#include "shared/TargetRecord.h"

// The rule's size or position follows the reference's extent.
bool IsExtentDependent(const TargetRecord& record);

// handled: the window's tracked flag; workAreaChanged: this scan saw the work
// area change; reapply: the re-apply-on-work-area-change setting.
bool IsEligible(uint8_t handled, const TargetRecord& record, bool workAreaChanged, uint8_t reapply);
