// Placeholder until rule matching lands.
#include "monitor/Eligibility.h"

bool IsExtentDependent(const TargetRecord&) { return false; }
bool IsEligible(uint8_t, const TargetRecord&, bool, uint8_t) { return false; }
