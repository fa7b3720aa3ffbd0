#include "app/message_table.h"

#include <system_error>
#include <utility>

#include "app/ini_file.h"
#include "common/error_codes.h"
#include "platform/file_contents.h"
#include "platform/folders.h"
#include "platform/program_folders.h"
#include "platform/text.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSettingsSection = "DefaultLanguage";
constexpr std::string_view kSettingsKey = "Default";
constexpr std::string_view kLanguagesSection = "Languages";
constexpr std::string_view kFallbackLanguage = "English";

// Settings and language files are a few kilobytes; anything far larger is
// not one of them and is not read.
constexpr size_t kMaxSettingsBytes = size_t(1) << 20;
constexpr size_t kMaxLanguageFileBytes = size_t(4) << 20;

// A file that is missing or cannot be read gives no contents.
IniContents ReadIni(const fs::path& path, size_t maxBytes) {
  if (path.empty()) return {};
  std::vector<uint8_t> bytes;
  if (platform::ReadFileBytes(path, maxBytes, bytes) != kOk) return {};
  return ParseIniBytes(bytes);
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The language a settings file names; empty when it names none.
std::string_view LanguageIn(const IniContents& settings) {
  const std::string* value = FindIniValue(settings, kSettingsSection, kSettingsKey);
  return value ? TrimBlanks(*value) : std::string_view();
}

bool IsLanguageName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '/' || c == '\\' || c == ':' || c == '\n' || c == '\r' || c == '\0') return false;
  return TrimBlanks(name).size() == name.size();
}

bool IsMissing(int rc) { return rc == kErrFileNotFound || rc == kErrPathNotFound; }

}  // namespace

MessageTable::MessageTable(MessageTableFiles files, WritableTest isWritable)
    : m_files(std::move(files)),
      m_isWritable(isWritable ? std::move(isWritable) : WritableTest(platform::IsFolderWritable)) {
  m_loaded = Load();
}

fs::path MessageTable::ProgramSettingsFile() const {
  if (m_files.dataFolder.empty()) return {};
  return m_files.dataFolder / "config.ini";
}

MessageTable::Loaded MessageTable::Load() const {
  const IniContents program = ReadIni(ProgramSettingsFile(), kMaxSettingsBytes);
  const IniContents user = ReadIni(m_files.userSettingsFile, kMaxSettingsBytes);

  Loaded loaded;
  std::string_view language = LanguageIn(user);
  if (language.empty()) language = LanguageIn(program);
  if (language.empty()) language = kFallbackLanguage;
  loaded.language = std::string(language);

  const IniSection* list = FindIniSection(user, kLanguagesSection);
  if (!list) list = FindIniSection(program, kLanguagesSection);
  if (list) {
    for (const auto& [name, value] : list->entries) loaded.languages.push_back({name, value});
  }

  if (m_files.dataFolder.empty()) return loaded;
  const fs::path languageFile =
      m_files.dataFolder / "Languages" / platform::PathFromUtf8(loaded.language + ".ini");
  const IniContents texts = ReadIni(languageFile, kMaxLanguageFileBytes);
  for (const IniSection& section : texts.sections) {
    SectionTexts& target = loaded.sections[section.name];
    // A key given twice keeps its last text.
    for (const auto& [key, value] : section.entries) target.insert_or_assign(key, value);
  }
  return loaded;
}

std::string MessageTable::Language() const {
  std::lock_guard lock(m_mutex);
  return m_loaded.language;
}

std::vector<LanguageEntry> MessageTable::Languages() const {
  std::lock_guard lock(m_mutex);
  return m_loaded.languages;
}

MessageTable::SectionTexts MessageTable::Section(std::string_view name) {
  std::lock_guard lock(m_mutex);
  auto it = m_loaded.sections.find(name);
  if (it == m_loaded.sections.end())
    it = m_loaded.sections.emplace(std::string(name), SectionTexts{}).first;
  return it->second;
}

std::string MessageTable::Text(std::string_view section, std::string_view key) {
  std::lock_guard lock(m_mutex);
  auto s = m_loaded.sections.find(section);
  if (s == m_loaded.sections.end())
    s = m_loaded.sections.emplace(std::string(section), SectionTexts{}).first;
  auto k = s->second.find(key);
  if (k == s->second.end()) k = s->second.emplace(std::string(key), std::string()).first;
  return k->second;
}

void MessageTable::ApplySection(std::string_view section, IControlTexts& window) {
  for (const auto& [control, text] : Section(section)) window.SetControlText(control, text);
}

int MessageTable::WriteLanguage(const fs::path& settingsFile, std::string_view name) const {
  std::vector<uint8_t> bytes;
  if (int rc = platform::ReadFileBytes(settingsFile, kMaxSettingsBytes, bytes);
      rc != kOk && !IsMissing(rc))
    return rc;  // rewriting an unreadable file would lose its other lines
  return platform::ReplaceFileContents(settingsFile,
                                       WithIniValue(bytes, kSettingsSection, kSettingsKey, name));
}

int MessageTable::WriteUserLanguage(std::string_view name) const {
  const fs::path& user = m_files.userSettingsFile;
  if (user.empty()) return kErrAccessDenied;  // no place to write at all
  if (int rc = platform::CreateFolders(user.parent_path()); rc != kOk) return rc;
  return WriteLanguage(user, name);
}

int MessageTable::ChangeLanguage(std::string_view name) {
  if (!IsLanguageName(name)) return kErrInvalidParameter;
  std::lock_guard change(m_changeMutex);

  const fs::path& user = m_files.userSettingsFile;
  const fs::path program = ProgramSettingsFile();
  std::error_code ec;
  int rc = kOk;
  if (!user.empty() && fs::exists(user, ec)) {
    // The user's file is read first, so it is where a change must go.
    rc = WriteLanguage(user, name);
  } else if (!program.empty() && m_isWritable(m_files.dataFolder)) {
    rc = WriteLanguage(program, name);
    if (rc != kOk && !user.empty()) rc = WriteUserLanguage(name);
  } else {
    rc = WriteUserLanguage(name);
  }
  if (rc != kOk) return rc;

  Loaded loaded = Load();
  std::lock_guard lock(m_mutex);
  m_loaded = std::move(loaded);
  return kOk;
}

}  // namespace brinvale
