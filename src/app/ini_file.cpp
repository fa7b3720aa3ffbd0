#include "app/ini_file.h"

#include <algorithm>
#include <optional>

namespace brinvale {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldAscii(x) == FoldAscii(y);
         });
}

// One line of the text: its content [begin, end) without the line end and
// without carriage returns before it, and where the next line starts.
struct Line {
  size_t begin = 0;
  size_t end = 0;
  size_t next = 0;
  bool terminated = false;  // ends in "\n" (only the file's last line may not)
};

// Splits `text` into lines one at a time, starting after a byte-order mark.
class LineReader {
 public:
  explicit LineReader(std::string_view text)
      : m_text(text), m_at(text.starts_with(kBom) ? kBom.size() : 0) {}

  std::optional<Line> Next() {
    if (m_at >= m_text.size()) return std::nullopt;
    Line line;
    line.begin = m_at;
    const size_t newline = m_text.find('\n', m_at);
    line.end = newline == std::string_view::npos ? m_text.size() : newline;
    line.next = newline == std::string_view::npos ? m_text.size() : newline + 1;
    line.terminated = newline != std::string_view::npos;
    while (line.end > line.begin && m_text[line.end - 1] == '\r') --line.end;
    m_at = line.next;
    return line;
  }

 private:
  std::string_view m_text;
  size_t m_at;
};

enum class LineKind { kSkip, kSection, kEntry };

struct LineMeaning {
  LineKind kind = LineKind::kSkip;
  std::string_view name;  // the section name or the entry's key
  std::string_view value;
  size_t valueBegin = 0;  // offset of the value in the whole text
};

LineMeaning Classify(std::string_view text, const Line& line) {
  LineMeaning meaning;
  std::string_view content = text.substr(line.begin, line.end - line.begin);
  const std::string_view stripped = TrimBlanks(content);
  if (stripped.empty() || stripped.front() == ';') return meaning;
  if (stripped.front() == '[') {
    std::string_view name = stripped.substr(1);
    if (const size_t close = name.find(']'); close != std::string_view::npos)
      name = name.substr(0, close);
    meaning.kind = LineKind::kSection;
    meaning.name = TrimBlanks(name);
    return meaning;
  }
  const size_t equals = content.find('=');
  if (equals == std::string_view::npos) return meaning;
  const std::string_view key = TrimBlanks(content.substr(0, equals));
  if (key.empty()) return meaning;
  meaning.kind = LineKind::kEntry;
  meaning.name = key;
  meaning.value = content.substr(equals + 1);
  meaning.valueBegin = line.begin + equals + 1;
  return meaning;
}

std::string_view AsText(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

IniContents ParseIniBytes(std::span<const uint8_t> bytes) {
  const std::string_view text = AsText(bytes);
  IniContents contents;
  LineReader lines(text);
  while (const std::optional<Line> line = lines.Next()) {
    const LineMeaning meaning = Classify(text, *line);
    if (meaning.kind == LineKind::kSection) {
      contents.sections.push_back(IniSection{std::string(meaning.name), {}});
    } else if (meaning.kind == LineKind::kEntry && !contents.sections.empty()) {
      contents.sections.back().entries.emplace_back(std::string(meaning.name),
                                                    std::string(meaning.value));
    }
  }
  return contents;
}

const IniSection* FindIniSection(const IniContents& contents, std::string_view section) {
  for (const IniSection& s : contents.sections)
    if (SameName(s.name, section)) return &s;
  return nullptr;
}

const std::string* FindIniValue(const IniContents& contents, std::string_view section,
                                std::string_view key) {
  const IniSection* s = FindIniSection(contents, section);
  if (!s) return nullptr;
  for (const auto& [k, v] : s->entries)
    if (SameName(k, key)) return &v;
  return nullptr;
}

std::vector<uint8_t> WithIniValue(std::span<const uint8_t> bytes, std::string_view section,
                                  std::string_view key, std::string_view value) {
  const std::string_view text = AsText(bytes);
  const std::string_view eol = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  std::string out;

  // The first header of the section, once seen; the section's body runs to
  // the next header.
  std::optional<Line> header;
  bool inSection = false;
  LineReader lines(text);
  std::optional<Line> line;
  while ((line = lines.Next())) {
    const LineMeaning meaning = Classify(text, *line);
    if (inSection && meaning.kind == LineKind::kSection) break;
    if (!header && meaning.kind == LineKind::kSection && SameName(meaning.name, section)) {
      header = line;
      inSection = true;
    } else if (inSection && meaning.kind == LineKind::kEntry && SameName(meaning.name, key)) {
      out.append(text.substr(0, meaning.valueBegin));
      out.append(value);
      out.append(text.substr(line->end));
      return {out.begin(), out.end()};
    }
  }

  if (header) {
    // A header on the last line may have no line end of its own.
    out.append(text.substr(0, header->next));
    if (!header->terminated) out.append(eol);
    out.append(key).append("=").append(value).append(eol);
    out.append(text.substr(header->next));
  } else {
    out.append(text);
    const bool hasText = text.size() > (text.starts_with(kBom) ? kBom.size() : 0);
    if (hasText) {
      if (!text.ends_with('\n')) out.append(eol);
      out.append(eol);  // a blank line before the new section
    }
    out.append("[").append(section).append("]").append(eol);
    out.append(key).append("=").append(value).append(eol);
  }
  return {out.begin(), out.end()};
}

}  // namespace brinvale
