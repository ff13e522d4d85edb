#pragma once
// Reads the settings file section by section, as the profile API would hand
// it over. Whatever cannot be taken as written is noted in the report, and
// the safe value stands in for it.
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

// The file's sections: a SectionIndex in the module; the profile API or a
// stand-in in tests.
struct SectionReader {
  void* context = nullptr;
  // Every section name, each ended by a NUL, in file order, duplicates included.
  bool (*names)(void* context, TextBuffer& names) = nullptr;
  // The "key=value" lines of the first section of that name, which stands
  // at index among the names, each ended by a NUL; false when it could not
  // be read.
  bool (*lines)(void* context, const char* section, size_t index, TextBuffer& lines) = nullptr;
};

// The sections of a file's text in memory, found in one pass, so that reading
// takes time in proportion to the file's size. Hands over what the profile
// API hands over for a file that it reads well: lines trimmed of ASCII
// spaces, so are the spaces around the first '=', comments dropped, a section
// named by the trimmed text up to its line's last ']', lines before the first
// section and in a section named "" dropped.
// Unlike the profile API it ends a line at every CR or LF, whatever byte
// stands before it.
class SectionIndex {
 public:
  // False when it could not be held in memory. A lead byte alone before a
  // line's end is kept as a byte of its own and noted.
  bool Build(TextView text, const LeadByteTable& leads, ParseReport& report);
  SectionReader Reader();

 private:
  struct Span {
    size_t start;
    size_t size;
  };
  static bool Names(void* context, TextBuffer& names);
  static bool Lines(void* context, const char* section, size_t index, TextBuffer& lines);

  TextBuffer names_;  // every section's name, each ended by a NUL
  TextBuffer lines_;  // every section's lines, each ended by a NUL
  Array<Span> sections_;  // per name: its lines in lines_
};

// The whole reading of a file's text in the ANSI code page: its sections
// indexed, then parsed. Returns false as ParseSettingsFile does.
bool ParseSettingsText(TextView text, const LeadByteTable& leads, SettingsModel& model, ParseReport& report);

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
