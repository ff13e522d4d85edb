#pragma once
#include "monitor/LeadBytes.h"

// Reads the lead-byte ranges of the system's ANSI code page; called once at
// start-up, before anything looks at text.
void LoadSystemLeadBytes();

// The table read by LoadSystemLeadBytes (no lead bytes before it ran).
const LeadByteTable& SystemLeadBytes();
