#include "results/record_rules.h"

#include "results/file_categories.h"

namespace brinvale {
namespace {

unsigned char FoldLower(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

// "." and the lower-cased extension of `name` in `buf` (which holds a whole
// name field); just "." when there is none. "name." has no extension either:
// the empty text would match any list.
std::string_view DotExtension(std::string_view name, char (&buf)[rec::kNameBytes + 1]) {
  buf[0] = '.';
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return std::string_view(buf, 1);
  std::string_view ext = name.substr(dot + 1);
  for (size_t i = 0; i < ext.size(); ++i) buf[i + 1] = char(FoldLower(ext[i]));
  return std::string_view(buf, ext.size() + 1);
}

bool IsHiddenPhotoName(uint32_t contentCheck, std::string_view dotExt) {
  return contentCheck == 0 && dotExt.size() > 1 && InList(dotExt.substr(1), kPhotoList);
}

}  // namespace

bool IsHiddenPhoto(const ScanRecord& record) {
  char buf[rec::kNameBytes + 1];
  return IsHiddenPhotoName(record.ContentCheck(), DotExtension(record.Name(), buf));
}

int CompareNamesNoCase(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = FoldLower(a[i]), y = FoldLower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool ListedBefore(const ScanRecord& a, const ScanRecord& b) {
  if (IsFolderRecord(a) != IsFolderRecord(b)) return !IsFolderRecord(a);
  int c = CompareNamesNoCase(a.Name(), b.Name());
  if (c != 0) return c < 0;
  return a.Number() < b.Number();
}

SearchFilter::SearchFilter(std::string_view text)
    : m_text(text), m_other(text.find(".other") != std::string_view::npos) {}

SearchFilter::ExtensionFacts SearchFilter::FactsOf(std::string_view dotExt) {
  constexpr size_t kMaxRemembered = 4096;
  std::string key(dotExt);
  if (auto it = m_facts.find(key); it != m_facts.end()) return it->second;
  // Both tests look for the extension with its dot, as the lists write it:
  // without it "ts" would be found inside "*.mts" and a .ts file would be in
  // no list's filter yet not "other" either, so no search would ever find it.
  ExtensionFacts facts{m_text.find(dotExt) != std::string::npos,
                       KnownExtensionText().find(dotExt) != std::string::npos};
  if (m_facts.size() < kMaxRemembered) m_facts.emplace(std::move(key), facts);
  return facts;
}

bool SearchFilter::Matches(const ScanRecord& record, bool allowOther) {
  if (IsFolderRecord(record)) return false;
  char buf[rec::kNameBytes + 1];
  const std::string_view dotExt = DotExtension(record.Name(), buf);
  if (IsHiddenPhotoName(record.ContentCheck(), dotExt)) return false;
  if (dotExt.size() == 1) return m_other && allowOther;  // no extension
  const ExtensionFacts facts = FactsOf(dotExt);
  if (facts.inFilter) return true;
  return m_other && allowOther && !facts.known;
}

}  // namespace brinvale
