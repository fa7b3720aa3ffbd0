#pragma once

#include "preview/document_view.h"

// A PDF's first page, drawn by poppler into "tmp.jpg" in the scan-log
// folder (an older one is replaced).
namespace brinvale::preview {

class CPDF : public IDocumentView {
 public:
  // The longer side of the picture, in pixels.
  static constexpr int kPageSide = 1000;

  explicit CPDF(std::filesystem::path scanLogFolder) : m_folder(std::move(scanLogFolder)) {}
  // Returns 0 with `picture` set, 87 when poppler cannot open the file or
  // its first page, 29 when the picture cannot be written.
  int Convert(const std::filesystem::path& path, QString& text,
              std::filesystem::path& picture) override;

 private:
  std::filesystem::path m_folder;
};

}  // namespace brinvale::preview
