#pragma once
// Which bytes of the system's ANSI code page begin a double-byte character.
// Pure data, so the text tests build and run on any host.
#include <cstddef>
#include <cstdint>

struct LeadByteTable {
  uint8_t isLead[256];
};

// ranges: pairs of first and last lead byte, ended by a 0,0 pair (the form
// GetCPInfo gives); a code page whose characters are at most one byte long
// has no lead bytes whatever the ranges say.
LeadByteTable LeadBytesFromRanges(const uint8_t* ranges, size_t rangeBytes, uint32_t maxCharSize);

// Code page 932 (Shift JIS): 81-9F and E0-FC.
LeadByteTable ShiftJisLeadBytes();

inline bool IsLeadByte(const LeadByteTable& table, uint8_t byte) { return table.isLead[byte] != 0; }

// The longest prefix of text (length bytes) no longer than limit bytes that
// does not end inside a double-byte character.
size_t WholeCharsLength(const char* text, size_t length, size_t limit, const LeadByteTable& leads);

// Offset of the last occurrence of ch that stands on a character boundary,
// or -1. ch must be a single-byte character (below 0x40 it can never be the
// second byte of a double-byte character in any code page we meet, but the
// walk makes that irrelevant).
ptrdiff_t FindLastChar(const char* text, char ch, const LeadByteTable& leads);
