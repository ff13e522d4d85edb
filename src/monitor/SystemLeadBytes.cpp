#include "monitor/SystemLeadBytes.h"

#include <windows.h>

namespace {
LeadByteTable g_leadBytes = {};
}

void LoadSystemLeadBytes() {
  CPINFO info = {};
  if (!GetCPInfo(GetACP(), &info)) return;
  g_leadBytes = LeadBytesFromRanges(info.LeadByte, sizeof info.LeadByte, info.MaxCharSize);
}

const LeadByteTable& SystemLeadBytes() { return g_leadBytes; }
