// The settings file's text: a sample holding every field, Japanese text and
// awkward patterns is written readably and read back byte for byte. Pure;
// runs on the host under the sanitizers.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "SampleSettings.h"
#include "settings/SettingsFormat.h"
#include "settings/SettingsParse.h"

namespace {

// The profile API's view of a file as it is written: "[name]" opens a
// section, every other line but a comment is one of its "key=value" lines.
class Profile {
 public:
  explicit Profile(const std::string& text) {
    for (size_t start = 0, end = 0; start < text.size(); start = end + 2) {
      end = text.find("\r\n", start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      if (!line.empty() && line[0] == '[') sections_.emplace_back(line.substr(1, line.size() - 2), std::string());
      if (!line.empty() && line[0] != '[' && line[0] != ';') sections_.back().second += line + '\0';
    }
    reader_.context = this;
    reader_.names = [](void* self, TextBuffer& out) {
      out.Clear();
      for (const auto& s : static_cast<Profile*>(self)->sections_) out.Append(TextView(s.first.c_str(), s.first.size() + 1));
      return out.Ok();
    };
    reader_.lines = [](void* self, const char* name, TextBuffer& out) {
      out.Clear();
      for (const auto& s : static_cast<Profile*>(self)->sections_) {
        if (s.first == name) {
          out.Append(TextView(s.second.data(), s.second.size()));
          break;
        }
      }
      return out.Ok();
    };
  }
  const SectionReader& Reader() const { return reader_; }

 private:
  std::vector<std::pair<std::string, std::string>> sections_;
  SectionReader reader_;
};

TEST(SettingsText, EverySampleFieldIsWrittenReadablyAndReadBackByteForByte) {
  const Charset shiftJis{ShiftJisLeadBytes()};
  const std::string text = FormatText(SampleModel(), shiftJis);
  // Japanese stays as it is, a second byte 0x5C is no escape, and only what
  // cannot stand in a one-line value is escaped ('%' only before two hex digits).
  for (const char* piece : {"Name=\"\x83\x81\x83\x82\x92\xA0\x82\xF0", "Title=ends \" - \x95\x5C\x8E\xA6 \"\r\n",
                            "Title=contains \"  \"quoted\" = ; [x] %2541 100% \"  \"\r\n",
                            "Title=equals \"%09tab%01bell%0D%0Aline\"\r\n", "Title=ends \"lone lead %81\"\r\n"}) {
    EXPECT_NE(text.find(piece), std::string::npos) << piece;
  }
  ParseReport report;
  CheckRawText(TextView(text.data(), text.size()), report);
  Profile profile(text);
  SettingsModel read;
  EXPECT_TRUE(ParseSettingsFile(profile.Reader(), ShiftJisLeadBytes(), read, report));
  EXPECT_FALSE(report.damaged) << (report.noteCount ? report.notes[0] : "");
  EXPECT_EQ(ModelDifference(SampleModel(), read), "");
  EXPECT_EQ(FormatText(read, shiftJis), text);
}

}  // namespace
