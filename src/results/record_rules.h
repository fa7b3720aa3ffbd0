#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "results/scan_record.h"

// The rules by which folder listings and searches show found records.
namespace brinvale {

// Any non-zero folder flag marks a folder.
inline bool IsFolderRecord(const ScanRecord& r) { return LoadLe32(r.Bytes(), rec::kIsFolder) != 0; }

// A picture whose first sector did not look like a picture is hidden from
// listings and searches: content check 0 and an extension found in the
// photo list. A name without an extension is never hidden.
bool IsHiddenPhoto(const ScanRecord& record);

// Listing order: files before folders, then names compared without ASCII
// case (lower-case folding, byte order otherwise), then record number so the
// order is always the same.
bool ListedBefore(const ScanRecord& a, const ScanRecord& b);

// Case-insensitive comparison of two names: <0, 0 or >0.
int CompareNamesNoCase(std::string_view a, std::string_view b);

// A search filter: "*.ext" patterns joined by "|", optionally with ".other",
// which also selects files whose extension is in none of the category lists.
class SearchFilter {
 public:
  explicit SearchFilter(std::string_view text);
  bool WantsOther() const { return m_other; }
  // Does the file record match? `allowOther` false ignores ".other".
  // Folders never match; neither do hidden photos.
  // Not const: remembers what it found out about each extension.
  bool Matches(const ScanRecord& record, bool allowOther);

 private:
  struct ExtensionFacts {
    bool inFilter;
    bool known;
  };
  ExtensionFacts FactsOf(std::string_view dotExt);

  std::string m_text;
  bool m_other;
  // Extension (with its ".") -> facts; bounded, since damaged names can
  // carry any number of different extensions.
  std::unordered_map<std::string, ExtensionFacts> m_facts;
};

}  // namespace brinvale
