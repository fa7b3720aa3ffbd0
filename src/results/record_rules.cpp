#include "results/record_rules.h"

#include "results/file_categories.h"

namespace brinvale {
namespace {

unsigned char FoldLower(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

}  // namespace

bool IsHiddenPhoto(const ScanRecord& record) {
  if (record.ContentCheck() != 0) return false;
  // "name." has no extension either: the empty text would match any list.
  std::string ext = ExtensionOf(record.Name());
  return !ext.empty() && InList(ext, kPhotoList);
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

bool SearchFilter::Matches(const ScanRecord& record, bool allowOther) const {
  if (IsFolderRecord(record) || IsHiddenPhoto(record)) return false;
  const std::string ext = ExtensionOf(record.Name());
  if (!ext.empty() && m_text.find("." + ext) != std::string::npos) return true;
  if (!m_other || !allowOther) return false;
  return ext.empty() || !InList(ext, KnownExtensionText());
}

}  // namespace brinvale
