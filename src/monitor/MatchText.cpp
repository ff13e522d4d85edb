// Placeholder until rule matching lands.
#include "monitor/MatchText.h"

bool MatchText(const char*, uint8_t, const char*, const LeadByteTable&) { return true; }
void ReverseMultibyte(char*, const LeadByteTable&) {}
bool MatchTarget(const char*, const char*, const TargetRecord&, const LeadByteTable&) { return false; }
