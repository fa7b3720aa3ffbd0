#pragma once

#include <vector>

#include "preview/archive_reader.h"
#include "preview/document_view.h"

// An archive's listing: one line per entry with its name, size and date,
// read through libarchive (zip, rar, 7z, tar, cab, lzh, iso, gzip, bzip2,
// ...). At most ArchiveLimits::maxEntries entries are listed.
namespace brinvale::preview {

class CZIP : public IDocumentView {
 public:
  // Returns 0 with the listing, 87 when the file is no archive libarchive
  // reads.
  int Convert(const std::filesystem::path& path, QString& text,
              std::filesystem::path& picture) override;
};

// The listing text of `entries`: "name  size  yyyy-MM-dd hh:mm" lines,
// folders with a "/" and no size.
QString ArchiveListingText(const std::vector<ArchiveEntry>& entries);

}  // namespace brinvale::preview
