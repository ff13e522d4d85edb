// The help names the windows' own words: every label it quotes in 「」 is a
// label of the program or of the settings module, as their resources (and
// the program's strings header) spell it, so the two cannot drift apart.
// And a Japanese question ends in a full-width question mark.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <filesystem>
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

// The bodies of the C string literals in text, escapes as written.
std::vector<std::string> Literals(const std::string& text) {
  const std::regex literal(R"re("((?:[^"\\]|\\.)*)")re");
  std::vector<std::string> bodies;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), literal); it != std::sregex_iterator(); ++it) {
    bodies.push_back((*it)[1]);
  }
  return bodies;
}

// A control's text as the help quotes it: no mnemonic "(&S)" (the help writes "(S)") or "&", no "..."
// or ":" after it.
std::string Bare(const std::string& label) {
  const std::string plain = std::regex_replace(label, std::regex(R"(\(&?[A-Z]\)|&)"), "");
  return std::regex_replace(plain, std::regex(R"((\.\.\.|:| )+$)"), "");
}

// The program's own texts: each declaration's literals, code page 932 bytes in \x escapes, made UTF-8.
std::vector<std::string> ProgramStrings(const std::string& path) {
  const std::string text = ReadAll(path);
  const std::regex declaration(R"re(constexpr char \w+\[\] = ((?:"(?:[^"\\]|\\.)*"\s*)+);)re");
  std::vector<std::string> strings;
  for (auto d = std::sregex_iterator(text.begin(), text.end(), declaration); d != std::sregex_iterator(); ++d) {
    std::string bytes;
    for (const std::string& body : Literals((*d)[1])) {
      for (size_t i = 0; i < body.size(); ++i) {
        const bool escaped = body.compare(i, 2, "\\x") == 0;
        bytes += escaped ? static_cast<char>(std::stoi(body.substr(i + 2, 2), nullptr, 16)) : body[i];
        i += escaped ? 3 : 0;
      }
    }
    iconv_t convert = iconv_open("UTF-8", "CP932");
    std::string utf8(bytes.size() * 3 + 1, '\0');
    char* in = &bytes[0];
    char* out = &utf8[0];
    size_t inLeft = bytes.size(), outLeft = utf8.size();
    iconv(convert, &in, &inLeft, &out, &outLeft);
    iconv_close(convert);
    strings.push_back(utf8.substr(0, utf8.size() - outLeft));
  }
  return strings;
}

// A half-width "?" right after a character that is not ASCII ends a Japanese question.
bool HasHalfWidthQuestion(const std::string& text) {
  const auto question = [](char before, char c) { return (static_cast<unsigned char>(before) & 0x80) && c == '?'; };
  return std::adjacent_find(text.begin(), text.end(), question) != text.end();
}

TEST(HelpLabels, EveryQuotedLabelIsOneOfTheWindowsAndQuestionsEndFullWidth) {
  std::vector<std::string> texts = ProgramStrings(kSource + "/src/app/Strings.h");
  ASSERT_GE(texts.size(), 6u) << "the tray menu's texts were not found";
  EXPECT_EQ(Bare(texts[0]), "開始") << "code page 932 was not read";
  for (const char* script : {"/res/Plenara.rc", "/settings/PlenaraDLL.rc"}) {
    for (const std::string& s : Literals(ReadAll(kSource + script))) texts.push_back(s);
  }
  std::set<std::string> labels;
  for (const std::string& text : texts) {
    labels.insert(Bare(text));
    EXPECT_FALSE(HasHalfWidthQuestion(text)) << text;
  }
  const std::string open = "「", close = "」";
  size_t pages = 0, checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kSource + "/help")) {
    if (entry.path().extension() != ".htm") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++pages;
    const std::string text = std::regex_replace(ReadAll(entry.path().string()), std::regex("<[^>]*>"), "");
    EXPECT_FALSE(HasHalfWidthQuestion(text));
    // Byte-wise: a regular expression's bracket would take the quote's three bytes one by one.
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
      const size_t end = text.find(close, at);
      ASSERT_NE(end, std::string::npos) << "an open 「";
      const std::string label = text.substr(at + open.size(), end - at - open.size());
      ++checked;
      EXPECT_TRUE(labels.count(Bare(label))) << "「" << label << "」 is no label of the program or the module";
    }
  }
  EXPECT_GE(pages, 30u);
  EXPECT_GE(checked, 100u);
}

}  // namespace
