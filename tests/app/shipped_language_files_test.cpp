// The shipped settings and language files against the list of keys the
// program asks for: the code's table (app/message_keys.h), the documented
// list (data/Languages/keys.md) and every language file must agree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/ini_file.h"
#include "app/message_keys.h"
#include "app/message_table.h"
#include "app/printf_conversions.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

const fs::path kDataFolder = BRINVALE_SOURCE_DATA_DIR;
const std::vector<std::string> kShippedLanguages = {"English", "German", "Chinese"};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

IniContents ParseFile(const fs::path& path) {
  const std::string text = ReadFile(path);
  return ParseIniBytes(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string Trim(std::string s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string StripBackticks(std::string s) {
  if (s.size() >= 2 && s.front() == '`' && s.back() == '`') return s.substr(1, s.size() - 2);
  return s;
}

// The cells of a Markdown table row "| a | b |".
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  size_t at = 1;
  while (at < line.size()) {
    const size_t bar = line.find('|', at);
    if (bar == std::string::npos) break;
    cells.push_back(Trim(line.substr(at, bar - at)));
    at = bar + 1;
  }
  return cells;
}

struct DocumentedKey {
  std::string section;
  std::string key;
  MessageKind kind;
  std::string conversions;
};

struct KeyList {
  std::vector<DocumentedKey> keys;
  std::map<std::string, size_t> countPerSection;  // the document's own count table
};

MessageKind KindNamed(const std::string& name) {
  if (name == "text") return MessageKind::kText;
  if (name == "prefix") return MessageKind::kPrefix;
  if (name == "suffix") return MessageKind::kSuffix;
  if (name == "format") return MessageKind::kFormat;
  ADD_FAILURE() << "unknown kind " << name;
  return MessageKind::kText;
}

// "## [Section]" starts a section's table; "## Key count per section" the
// count table. Header and rule rows of a table are skipped.
KeyList ParseKeysDocument(const fs::path& path) {
  KeyList list;
  std::istringstream in(ReadFile(path));
  std::string line, section;
  bool counts = false;
  while (std::getline(in, line)) {
    if (line.starts_with("## ")) {
      counts = line == "## Key count per section";
      section = line.starts_with("## [") ? line.substr(4, line.find(']') - 4) : "";
      continue;
    }
    if (!line.starts_with("| ") || line.starts_with("|---")) continue;
    const std::vector<std::string> cells = Cells(line);
    if (counts) {
      if (cells.size() == 2 && cells[0] != "section")
        list.countPerSection[cells[0]] = std::stoul(cells[1]);
      continue;
    }
    if (section.empty() || cells.empty() || cells[0].starts_with("key")) continue;
    DocumentedKey key{section, StripBackticks(cells[0]), MessageKind::kText, ""};
    if (section == "Messages") {
      EXPECT_EQ(cells.size(), 4u) << line;
      if (cells.size() != 4) continue;
      key.kind = KindNamed(cells[2]);
      if (key.kind == MessageKind::kFormat) key.conversions = StripBackticks(cells[3]);
    } else {
      EXPECT_EQ(cells.size(), 2u) << line;
    }
    list.keys.push_back(key);
  }
  return list;
}

class ShippedLanguageFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_list = new KeyList(ParseKeysDocument(kDataFolder / "Languages" / "keys.md"));
  }
  static void TearDownTestSuite() {
    delete s_list;
    s_list = nullptr;
  }
  static const KeyList& List() { return *s_list; }

 private:
  static KeyList* s_list;
};
KeyList* ShippedLanguageFiles::s_list = nullptr;

TEST_F(ShippedLanguageFiles, DocumentListsAsManyKeysAsItsCountTableSays) {
  std::map<std::string, size_t> counted;
  for (const DocumentedKey& k : List().keys) ++counted[k.section];
  std::map<std::string, size_t> stated = List().countPerSection;
  ASSERT_EQ(stated.count("all"), 1u);
  EXPECT_EQ(List().keys.size(), stated["all"]);
  stated.erase("all");
  EXPECT_EQ(counted, stated);
}

TEST_F(ShippedLanguageFiles, CodeTableIsTheDocumentedList) {
  ASSERT_EQ(std::size(kMessageKeys), List().keys.size());
  for (size_t i = 0; i < List().keys.size(); ++i) {
    const DocumentedKey& doc = List().keys[i];
    const MessageKey& code = kMessageKeys[i];
    EXPECT_EQ(code.section, doc.section) << i;
    EXPECT_EQ(code.key, doc.key) << i;
    EXPECT_EQ(int(code.kind), int(doc.kind)) << doc.key;
    EXPECT_EQ(code.conversions, doc.conversions) << doc.key;
  }
}

TEST_F(ShippedLanguageFiles, CodeTableNamesEveryKeyOnce) {
  std::set<std::pair<std::string_view, std::string_view>> seen;
  for (const MessageKey& k : kMessageKeys)
    EXPECT_TRUE(seen.insert({k.section, k.key}).second) << k.section << " " << k.key;
}

TEST_F(ShippedLanguageFiles, EveryFileHoldsEveryKeyWithATextAndNoOther) {
  for (const std::string& language : kShippedLanguages) {
    SCOPED_TRACE(language);
    const IniContents file = ParseFile(kDataFolder / "Languages" / (language + ".ini"));
    std::map<std::string, std::map<std::string, std::string>> texts;
    for (const IniSection& s : file.sections) {
      EXPECT_FALSE(texts.contains(s.name)) << "section twice: " << s.name;
      for (const auto& [key, value] : s.entries) {
        EXPECT_FALSE(texts[s.name].contains(key)) << "key twice: " << key;
        texts[s.name][key] = value;
      }
    }
    std::map<std::string, std::set<std::string>> expected;
    for (const MessageKey& k : kMessageKeys) {
      expected[std::string(k.section)].insert(std::string(k.key));
      auto section = texts.find(std::string(k.section));
      ASSERT_NE(section, texts.end()) << k.section;
      auto text = section->second.find(std::string(k.key));
      ASSERT_NE(text, section->second.end()) << k.section << " " << k.key;
      EXPECT_FALSE(text->second.empty()) << k.key;
    }
    for (const auto& [section, keys] : texts) {
      ASSERT_TRUE(expected.contains(section)) << "section not asked for: " << section;
      for (const auto& [key, value] : keys)
        EXPECT_TRUE(expected[section].contains(key)) << "key not asked for: " << key;
    }
  }
}

TEST_F(ShippedLanguageFiles, FormatTextsTakeExactlyTheirConversionsAndNoOtherTextHasPercent) {
  for (const std::string& language : kShippedLanguages) {
    SCOPED_TRACE(language);
    const IniContents file = ParseFile(kDataFolder / "Languages" / (language + ".ini"));
    for (const MessageKey& k : kMessageKeys) {
      const std::string* text = FindIniValue(file, k.section, k.key);
      ASSERT_NE(text, nullptr) << k.key;
      if (k.kind == MessageKind::kFormat) {
        EXPECT_EQ(PrintfConversions(*text), std::string(k.conversions)) << k.key << ": " << *text;
      } else {
        EXPECT_EQ(text->find('%'), std::string::npos) << k.key << ": " << *text;
      }
    }
  }
}

TEST_F(ShippedLanguageFiles, FilesAreUtf8WithoutByteOrderMarkAndWithLfLineEnds) {
  for (const std::string& language : kShippedLanguages) {
    const std::string bytes = ReadFile(kDataFolder / "Languages" / (language + ".ini"));
    ASSERT_FALSE(bytes.empty()) << language;
    EXPECT_FALSE(bytes.starts_with("\xEF\xBB\xBF")) << language;
    EXPECT_EQ(bytes.find('\r'), std::string::npos) << language;
    EXPECT_TRUE(bytes.ends_with('\n')) << language;
  }
}

// The duration text follows the time-left text with no separator.
TEST_F(ShippedLanguageFiles, TimeLeftTextEndsInItsSeparator) {
  const std::map<std::string, std::string> endings = {
      {"English", " "}, {"German", " "}, {"Chinese", "\xEF\xBC\x9A"}};  // full-width colon
  for (const auto& [language, ending] : endings) {
    const IniContents file = ParseFile(kDataFolder / "Languages" / (language + ".ini"));
    const std::string* text = FindIniValue(file, "Messages", "MSG0708");
    ASSERT_NE(text, nullptr) << language;
    EXPECT_TRUE(text->ends_with(ending)) << language << ": '" << *text << "'";
  }
}

TEST_F(ShippedLanguageFiles, SettingsOfferEveryShippedLanguageAndStartInEnglish) {
  MessageTable table({kDataFolder, {}});
  EXPECT_EQ(table.Language(), "English");
  std::vector<std::string> names;
  for (const LanguageEntry& entry : table.Languages()) {
    names.push_back(entry.name);
    EXPECT_FALSE(entry.value.empty()) << entry.name;
  }
  EXPECT_EQ(names, kShippedLanguages);
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(kDataFolder / "Languages"))
    if (entry.path().extension() == ".ini") files.insert(entry.path().stem().string());
  EXPECT_EQ(files, std::set<std::string>(kShippedLanguages.begin(), kShippedLanguages.end()));
}

// Each language through the table itself, from a copy whose settings name it.
TEST_F(ShippedLanguageFiles, TableGivesEveryAskedKeyATextInEveryLanguage) {
  const fs::path root =
      fs::temp_directory_path() /
      ("brinvale_shipped_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(root);
  fs::create_directories(root);
  fs::copy(kDataFolder / "Languages", root / "Languages");
  for (const std::string& language : kShippedLanguages) {
    SCOPED_TRACE(language);
    std::ofstream(root / "config.ini") << "[DefaultLanguage]\nDefault=" << language << "\n";
    MessageTable table({root, {}});
    ASSERT_EQ(table.Language(), language);
    for (const MessageKey& k : kMessageKeys) EXPECT_FALSE(table.Text(k).empty()) << k.key;
  }
  fs::remove_all(root);
}

TEST_F(ShippedLanguageFiles, BuildPutsTheFilesNextToThePrograms) {
  const fs::path programFolder = BRINVALE_PROGRAM_DATA_DIR;
  std::vector<fs::path> shipped = {"config.ini"};
  for (const std::string& language : kShippedLanguages)
    shipped.push_back(fs::path("Languages") / (language + ".ini"));
  for (const fs::path& file : shipped) {
    ASSERT_TRUE(fs::is_regular_file(programFolder / file)) << file;
    EXPECT_TRUE(ReadFile(programFolder / file) == ReadFile(kDataFolder / file)) << file;
  }
  MessageTable table({FindDataFolder(programFolder), {}});
  EXPECT_EQ(table.Language(), "English");
  EXPECT_EQ(table.Text(MessageOf("MSG0404")), "Question");
}

}  // namespace
}  // namespace brinvale
