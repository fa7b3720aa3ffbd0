#pragma once

#include <QString>
#include <cstdint>
#include <filesystem>
#include <span>

// The text of OOXML (docx, xlsx, pptx and their template and macro kinds)
// and ODF (odt, ods, odp) documents: both are zip archives of XML parts.
// The parts are read through the archive reader, each capped, and their
// text through QXmlStreamReader: OOXML keeps text in <t> elements (word's
// w:t, drawing's a:t, the shared strings of a workbook), ODF everything in
// the body of content.xml. Paragraphs end in a line break.
namespace brinvale::preview {

// The document's first `maxChars` characters. Returns 0 with some text, 87
// when the file is no such document or holds no text.
int OfficeDocumentText(const std::filesystem::path& path, qsizetype maxChars, QString& text);
int OfficeDocumentTextBytes(std::span<const uint8_t> bytes, qsizetype maxChars, QString& text);

// The text of one XML part, as above; `odf` selects the ODF rules.
QString XmlPartText(const QByteArray& xml, bool odf, qsizetype maxChars);

}  // namespace brinvale::preview
