#pragma once
// Reads the settings file section by section, as the profile API hands it
// over. Whatever cannot be taken as written is noted in the report, and the
// safe value stands in for it.
#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsModel.h"

struct ParseReport {
  bool damaged = false;
  std::vector<std::string> notes;  // the first reasons, in English, for tests and diagnosis

  void Note(std::string_view where, std::string_view what);
};

// The file's sections: the profile API in the module, a map in the tests.
class SectionReader {
 public:
  virtual ~SectionReader() = default;
  // Section names in file order, duplicates included.
  virtual std::vector<std::string> Names() = 0;
  // The section's "key=value" lines, each ended by a NUL; false when it
  // could not be read.
  virtual bool Lines(const std::string& section, std::string& lines) = 0;
};

// Fills model (defaults first). Returns false when nothing in the file was
// understood; the model then holds the defaults.
bool ParseSettingsFile(SectionReader& reader, const LeadTable& leads, SettingsModel& model, ParseReport& report);

// One rule section. Returns false when not a single key was understood.
bool ParseRuleLines(std::string_view lines, const LeadTable& leads, TargetRecord& record, ParseReport& report,
                    std::string_view where);

// What the profile API never shows: NUL bytes, text before the first
// section, lines that begin with '='.
void CheckRawText(std::string_view text, ParseReport& report);
