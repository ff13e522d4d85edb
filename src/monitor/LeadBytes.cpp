#include "monitor/LeadBytes.h"

#include <cstring>

LeadByteTable LeadBytesFromRanges(const uint8_t* ranges, size_t rangeBytes, uint32_t maxCharSize) {
  LeadByteTable table;
  std::memset(&table, 0, sizeof table);
  if (maxCharSize <= 1) return table;
  for (size_t i = 0; i + 1 < rangeBytes; i += 2) {
    const uint8_t first = ranges[i];
    const uint8_t last = ranges[i + 1];
    if (first == 0 && last == 0) break;
    for (unsigned b = first; b <= last; ++b) table.isLead[b] = 1;
  }
  return table;
}

LeadByteTable ShiftJisLeadBytes() {
  const uint8_t ranges[] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0};
  return LeadBytesFromRanges(ranges, sizeof ranges, 2);
}

size_t WholeCharsLength(const char* text, size_t length, size_t limit, const LeadByteTable& leads) {
  if (length <= limit) return length;
  size_t i = 0;
  while (i < length) {
    const size_t width = IsLeadByte(leads, static_cast<uint8_t>(text[i])) && i + 1 < length ? 2 : 1;
    if (i + width > limit) break;
    i += width;
  }
  return i;
}

ptrdiff_t FindLastChar(const char* text, char ch, const LeadByteTable& leads) {
  ptrdiff_t found = -1;
  for (ptrdiff_t i = 0; text[i] != '\0';) {
    if (IsLeadByte(leads, static_cast<uint8_t>(text[i])) && text[i + 1] != '\0') {
      i += 2;
      continue;
    }
    if (text[i] == ch) found = i;
    ++i;
  }
  return found;
}
