#pragma once

#include "preview/document_view.h"

// The text views of office documents: OOXML and ODF files are read
// directly, RTF by dropping its control words, and the legacy binary
// formats through LibreOffice's converter into their ODF counterpart. At
// most kDocumentTextChars characters are kept.
namespace brinvale::preview {

class COfficeView : public IDocumentView {
 public:
  // `legacyTarget` is the ODF kind the legacy formats of this view convert
  // to ("odt", "ods", "odp").
  COfficeView(DocumentViewSettings settings, QString legacyTarget)
      : m_settings(std::move(settings)), m_legacyTarget(std::move(legacyTarget)) {}
  int Convert(const std::filesystem::path& path, QString& text,
              std::filesystem::path& picture) override;

 private:
  DocumentViewSettings m_settings;
  QString m_legacyTarget;
};

// Word processing documents: doc, dot, docx, dotx, docm, dotm, rtf, odt.
class CWord : public COfficeView {
 public:
  explicit CWord(DocumentViewSettings settings)
      : COfficeView(std::move(settings), QStringLiteral("odt")) {}
};

// Presentations: ppt, pptx, pptm, pps, ppsx, ppsm, odp.
class CPPT : public COfficeView {
 public:
  explicit CPPT(DocumentViewSettings settings)
      : COfficeView(std::move(settings), QStringLiteral("odp")) {}
};

// Spreadsheets and the other office kinds: xls, xlsx, xlsm, csv, ...
class CExcel : public COfficeView {
 public:
  explicit CExcel(DocumentViewSettings settings)
      : COfficeView(std::move(settings), QStringLiteral("ods")) {}
};

}  // namespace brinvale::preview
