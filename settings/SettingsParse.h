#pragma once
// Reads the settings file section by section, as the profile API hands it
// over. Whatever cannot be taken as written is noted in the report, and the
// safe value stands in for it.
#include <cstddef>

#include "settings/SettingsModel.h"
#include "settings/Text.h"

struct ParseReport {
  static constexpr size_t kMaxNotes = 40;
  static constexpr size_t kNoteSize = 112;

  bool damaged = false;
  size_t noteCount = 0;  // the first reasons, in English, for tests and diagnosis
  char notes[kMaxNotes][kNoteSize] = {};

  // Marks the file damaged and keeps "[where] what detail".
  void Note(TextView where, TextView what, TextView detail = TextView());
};

// The file's sections: the profile API in the module, a stand-in in tests.
struct SectionReader {
  void* context = nullptr;
  // Every section name, each ended by a NUL, in file order, duplicates included.
  bool (*names)(void* context, TextBuffer& names) = nullptr;
  // The section's "key=value" lines, each ended by a NUL; false when it
  // could not be read.
  bool (*lines)(void* context, const char* section, TextBuffer& lines) = nullptr;
};

// Fills model (defaults first). Returns false when nothing in the file was
// understood; the model then holds the defaults. Running out of memory is
// noted like any other fault, with the rules read so far kept.
bool ParseSettingsFile(const SectionReader& reader, const LeadByteTable& leads, SettingsModel& model,
                       ParseReport& report);

// One rule section. Returns false when not a single key was understood.
bool ParseRuleLines(TextView lines, const LeadByteTable& leads, TargetRecord& record, ParseReport& report,
                    TextView where);

// What the profile API never shows: NUL bytes, text before the first
// section, lines that begin with '='.
void CheckRawText(TextView text, ParseReport& report);
