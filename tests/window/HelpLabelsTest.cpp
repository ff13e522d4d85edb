// The help names the windows' own words: every label it quotes in 「」 is a
// label of the program or of the settings module, as their resources (and
// the program's strings header) spell it, so the two cannot drift apart.
// And a Japanese question ends in a full-width question mark.
#include <gtest/gtest.h>
#include <iconv.h>

#include <dirent.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kSource = PLENARA_SOURCE_DIR;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> HelpPages() {
  std::vector<std::string> pages;
  if (DIR* dir = opendir((kSource + "/help").c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".htm") == 0) pages.push_back(name);
    }
    closedir(dir);
  }
  return pages;
}

// A control's text as the help quotes it: no mnemonic "(&S)" (the help writes "(S)") or "&", no "..."
// or ":" after it.
std::string Bare(std::string label) {
  label = std::regex_replace(label, std::regex(R"(\(&?[A-Z]\))"), "");
  label.erase(std::remove(label.begin(), label.end(), '&'), label.end());
  for (const std::string tail : {"...", ":", " "}) {
    while (label.size() >= tail.size() && label.compare(label.size() - tail.size(), tail.size(), tail) == 0) {
      label.erase(label.size() - tail.size());
    }
  }
  return label;
}

// Every string of a resource script (UTF-8).
std::vector<std::string> ResourceStrings(const std::string& path) {
  const std::string text = ReadAll(path);
  std::vector<std::string> strings;
  const std::regex literal(R"re("((?:[^"\\]|\\.)*)")re");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), literal); it != std::sregex_iterator(); ++it) {
    strings.push_back((*it)[1]);
  }
  return strings;
}

// The program's own texts: C literals of code page 932 bytes, made UTF-8.
std::vector<std::string> ProgramStrings(const std::string& path) {
  const std::string text = ReadAll(path);
  std::vector<std::string> strings;
  const std::regex declaration(R"re(constexpr char \w+\[\] = ((?:"(?:[^"\\]|\\.)*"\s*)+);)re");
  const std::regex piece(R"re("((?:[^"\\]|\\.)*)")re");
  for (auto d = std::sregex_iterator(text.begin(), text.end(), declaration); d != std::sregex_iterator(); ++d) {
    const std::string literals = (*d)[1];
    std::string bytes;
    for (auto p = std::sregex_iterator(literals.begin(), literals.end(), piece); p != std::sregex_iterator(); ++p) {
      const std::string body = (*p)[1];
      for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\\' && i + 3 < body.size() + 1 && body[i + 1] == 'x') {
          bytes += static_cast<char>(std::stoi(body.substr(i + 2, 2), nullptr, 16));
          i += 3;
        } else {
          bytes += body[i];
        }
      }
    }
    iconv_t convert = iconv_open("UTF-8", "CP932");
    std::string utf8(bytes.size() * 3 + 1, '\0');
    char* in = &bytes[0];
    char* out = &utf8[0];
    size_t inLeft = bytes.size(), outLeft = utf8.size();
    iconv(convert, &in, &inLeft, &out, &outLeft);
    iconv_close(convert);
    utf8.resize(utf8.size() - outLeft);
    strings.push_back(utf8);
  }
  return strings;
}

std::string WithoutTags(const std::string& html) { return std::regex_replace(html, std::regex("<[^>]*>"), ""); }

// A half-width "?" right after a character that is not ASCII ends a Japanese question.
bool HasHalfWidthQuestion(const std::string& text) {
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '?' && (static_cast<unsigned char>(text[i - 1]) & 0x80)) return true;
  }
  return false;
}

TEST(HelpLabels, EveryQuotedLabelIsOneOfTheWindowsAndQuestionsEndFullWidth) {
  std::set<std::string> labels;
  std::vector<std::string> texts;
  for (const char* script : {"/res/Plenara.rc", "/settings/PlenaraDLL.rc"}) {
    for (const std::string& s : ResourceStrings(kSource + script)) texts.push_back(s);
  }
  const std::vector<std::string> program = ProgramStrings(kSource + "/src/app/Strings.h");
  ASSERT_GE(program.size(), 6u) << "the tray menu's texts were not found";
  EXPECT_EQ(Bare(program[0]), "開始") << "code page 932 was not read";
  texts.insert(texts.end(), program.begin(), program.end());
  for (const std::string& text : texts) {
    labels.insert(Bare(text));
    EXPECT_FALSE(HasHalfWidthQuestion(text)) << text;
  }
  const std::vector<std::string> pages = HelpPages();
  ASSERT_GE(pages.size(), 30u);
  const std::string open = "「", close = "」";
  size_t checked = 0;
  for (const std::string& page : pages) {
    SCOPED_TRACE(page);
    const std::string text = WithoutTags(ReadAll(kSource + "/help/" + page));
    EXPECT_FALSE(HasHalfWidthQuestion(text));
    // Byte-wise: a regular expression's bracket would take the quote's three bytes one by one.
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
      const size_t end = text.find(close, at);
      ASSERT_NE(end, std::string::npos) << "an open 「 in " << page;
      const std::string label = text.substr(at + open.size(), end - at - open.size());
      ++checked;
      EXPECT_TRUE(labels.count(Bare(label))) << "「" << label << "」 is no label of the program or the module";
    }
  }
  EXPECT_GE(checked, 100u);
}

}  // namespace
