#include "preview/office_view.h"

#include <fstream>
#include <string>

#include "common/error_codes.h"
#include "preview/legacy_office_conversion.h"
#include "preview/office_text.h"
#include "preview/rtf_text.h"

namespace brinvale::preview {
namespace {

// An RTF file's text lies in its first few hundred KiB for any preview.
constexpr size_t kMaxRtfBytes = 4u << 20;

bool StartsWith(const std::string& bytes, std::string_view prefix) {
  return bytes.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

int COfficeView::Convert(const std::filesystem::path& path, QString& text,
                         std::filesystem::path& picture) {
  text.clear();
  picture.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return kErrFileNotFound;
  std::string head(8, '\0');
  in.read(head.data(), std::streamsize(head.size()));
  head.resize(size_t(in.gcount()));

  // The container decides, not the name: a found file's extension may lie.
  if (StartsWith(head, "PK\x03\x04")) return OfficeDocumentText(path, kDocumentTextChars, text);
  if (StartsWith(head, "{\\rtf")) {
    in.seekg(0);
    std::string rtf(kMaxRtfBytes, '\0');
    in.read(rtf.data(), std::streamsize(rtf.size()));
    rtf.resize(size_t(in.gcount()));
    text = QString::fromStdString(RtfText(rtf, size_t(kDocumentTextChars)));
    return text.trimmed().isEmpty() ? kErrInvalidParameter : kOk;
  }
  if (StartsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
    return LegacyOfficeText(path, m_legacyTarget, m_settings, kDocumentTextChars, text);
  return kErrInvalidParameter;
}

}  // namespace brinvale::preview
