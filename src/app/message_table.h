#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/control_texts.h"
#include "app/message_keys.h"
#include "app/message_table_files.h"

namespace brinvale {

// One offered language: the base name of its file and the text that the
// language menu shows ("German", "Deutsch").
struct LanguageEntry {
  std::string name;
  std::string value;

  bool operator==(const LanguageEntry&) const = default;
};

// The texts of the user interface, from the language file that the settings
// choose. The settings file "config.ini" names the language in
// [DefaultLanguage] Default= ("English" when missing or empty) and lists the
// offered languages in [Languages], one "name=value" line each. The language
// file "Languages/<name>.ini" in the data folder holds sections of
// "key=value" lines (see ini_file.h); section names and keys are
// case-sensitive, and the value is kept exactly as it stands after the first
// "=", trailing blanks included. Settings names are matched without regard
// to ASCII case, as the system's profile functions do.
//
// Each setting is read from the user's settings file when that file holds
// it, else from the data folder's. A language change is written to the
// user's file when it exists; else next to the program when that folder is
// writable (falling back to the user's file when the write fails); else to
// the user's file, which then holds only [DefaultLanguage], so the offered
// languages still come from the program's own list.
//
// Missing files, sections and keys give empty texts; nothing here fails
// visibly. Safe to use from several threads: every call takes the table's
// lock, and texts are returned as copies. Not copyable.
class MessageTable {
 public:
  // Whether new files can be made in a folder.
  using WritableTest = std::function<bool(const std::filesystem::path& folder)>;
  using SectionTexts = std::map<std::string, std::string, std::less<>>;

  // Loads the table from `files`. `isWritable` answers for the data folder
  // when a language change is written; empty means asking the system.
  explicit MessageTable(MessageTableFiles files, WritableTest isWritable = {});
  MessageTable(const MessageTable&) = delete;
  MessageTable& operator=(const MessageTable&) = delete;

  // The current language's name ("English").
  std::string Language() const;
  // The offered languages in the order of the settings file.
  std::vector<LanguageEntry> Languages() const;

  // The texts of section `name`, by key. A section that does not exist is
  // created empty.
  SectionTexts Section(std::string_view name);

  // The text of `key` in `section`. A key that does not exist is added to
  // the section with an empty text, and the empty text is returned.
  std::string Text(std::string_view section, std::string_view key);
  std::string Text(const MessageKey& key) { return Text(key.section, key.key); }

  // Sets, for every key of `section` in key order, the text of the window's
  // control of that name. The texts are copied before the window is called,
  // so the window may look texts up itself.
  void ApplySection(std::string_view section, IControlTexts& window);

  // Writes `name` as the current language into the settings file (its other
  // lines kept), reads the settings back and reloads every section from the
  // new language file. Returns 0; 87 for a name that cannot be a file's base
  // name (empty, ".", "..", holding a path separator, ":", a line break or
  // NUL, or with blanks at its ends); 5 when there is no settings file to
  // write; or the error of writing it. On failure the table stays as it was.
  int ChangeLanguage(std::string_view name);

 private:
  struct Loaded {
    std::string language;
    std::vector<LanguageEntry> languages;
    std::map<std::string, SectionTexts, std::less<>> sections;
  };

  Loaded Load() const;
  int WriteLanguage(const std::filesystem::path& settingsFile, std::string_view name) const;
  int WriteUserLanguage(std::string_view name) const;
  std::filesystem::path ProgramSettingsFile() const;

  const MessageTableFiles m_files;
  const WritableTest m_isWritable;
  std::mutex m_changeMutex;  // one language change at a time
  mutable std::mutex m_mutex;
  Loaded m_loaded;  // guarded by m_mutex
};

}  // namespace brinvale
