// Placeholder until placement lands.
#include "monitor/Geometry.h"

int32_t PercentOf(int32_t, int32_t) { return 0; }
int32_t ComputeSize(int32_t, int32_t current, const SizeSpec&) { return current; }
int32_t ComputePosition(int32_t, int32_t, int32_t current, int32_t, const PositionSpec&) { return current; }
Box ComputePlacement(const Box&, const Box& box, const TargetRecord&) { return box; }
