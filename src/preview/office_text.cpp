#include "preview/office_text.h"

#include <QXmlStreamReader>
#include <algorithm>
#include <map>
#include <string>

#include "common/error_codes.h"
#include "preview/archive_reader.h"

namespace brinvale::preview {
namespace {

// XML parts are small; a part beyond this is cut (a bomb stops here).
constexpr size_t kMaxPartBytes = 8u << 20;
constexpr size_t kMaxParts = 4000;

// The parts whose text is the document's, by kind. Slides and sheets come
// in their number order, not the archive's.
int PartOrder(const std::string& name) {
  if (name == "word/document.xml" || name == "content.xml" || name == "xl/sharedStrings.xml")
    return 0;
  auto numbered = [&](const std::string& prefix) {
    if (name.rfind(prefix, 0) != 0 || name.size() < prefix.size() + 5) return -1;
    if (name.compare(name.size() - 4, 4, ".xml") != 0) return -1;
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    if (digits.empty() || digits.size() > 6 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return -1;
    return 1 + std::stoi(digits);
  };
  return numbered("ppt/slides/slide");
}

template <typename Read>
int DocumentText(Read&& read, qsizetype maxChars, QString& text) {
  text.clear();
  std::map<int, std::pair<bool, QByteArray>> parts;  // order -> (odf, bytes)
  ArchiveLimits limits;
  limits.maxEntries = kMaxParts;
  limits.maxMemberBytes = kMaxPartBytes;
  const int rc = read(
      [](const std::string& name) { return PartOrder(name) >= 0; },
      [&](const std::string& name, const std::string& bytes) {
        parts[PartOrder(name)] = {name == "content.xml",
                                  QByteArray(bytes.data(), qsizetype(bytes.size()))};
        return true;
      },
      limits);
  if (rc != kOk) return kErrInvalidParameter;
  for (const auto& [order, part] : parts) {
    if (text.size() >= maxChars) break;
    text += XmlPartText(part.second, part.first, maxChars - text.size());
  }
  text.truncate(maxChars);
  return text.trimmed().isEmpty() ? kErrInvalidParameter : kOk;
}

}  // namespace

QString XmlPartText(const QByteArray& xml, bool odf, qsizetype maxChars) {
  static const QString kOdfText = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
  static const QString kOdfOffice =
      QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
  QString out;
  QXmlStreamReader reader(xml);
  int textDepth = 0;  // inside an OOXML <t>, or inside an ODF body
  while (!reader.atEnd() && out.size() < maxChars) {
    switch (reader.readNext()) {
      case QXmlStreamReader::StartElement: {
        const auto name = reader.name();
        if (odf) {
          if (reader.namespaceUri() == kOdfOffice && name == QLatin1String("body")) ++textDepth;
          if (textDepth > 0 && reader.namespaceUri() == kOdfText) {
            if (name == QLatin1String("s"))
              out += QLatin1Char(' ');
            else if (name == QLatin1String("tab"))
              out += QLatin1Char('\t');
            else if (name == QLatin1String("line-break"))
              out += QLatin1Char('\n');
          }
        } else if (name == QLatin1String("t")) {
          ++textDepth;
        } else if (name == QLatin1String("tab")) {
          out += QLatin1Char('\t');
        } else if (name == QLatin1String("br")) {
          out += QLatin1Char('\n');
        }
        break;
      }
      case QXmlStreamReader::EndElement: {
        const auto name = reader.name();
        if (odf) {
          if (reader.namespaceUri() == kOdfOffice && name == QLatin1String("body") && textDepth > 0)
            --textDepth;
          if (textDepth > 0 && reader.namespaceUri() == kOdfText &&
              (name == QLatin1String("p") || name == QLatin1String("h")))
            out += QLatin1Char('\n');
        } else {
          if (name == QLatin1String("t") && textDepth > 0) --textDepth;
          if (name == QLatin1String("p") || name == QLatin1String("si"))
            out += QLatin1Char('\n');
        }
        break;
      }
      case QXmlStreamReader::Characters:
        if (textDepth > 0 && !(odf && reader.isWhitespace())) out += reader.text();
        break;
      default:
        break;
    }
  }
  out.truncate(maxChars);
  return out;
}

int OfficeDocumentText(const std::filesystem::path& path, qsizetype maxChars, QString& text) {
  return DocumentText(
      [&](const MemberFilter& wanted, const MemberSink& take, const ArchiveLimits& limits) {
        return ReadArchiveMembers(path, wanted, take, limits);
      },
      maxChars, text);
}

int OfficeDocumentTextBytes(std::span<const uint8_t> bytes, qsizetype maxChars, QString& text) {
  return DocumentText(
      [&](const MemberFilter& wanted, const MemberSink& take, const ArchiveLimits& limits) {
        return ReadArchiveMembersBytes(bytes, wanted, take, limits);
      },
      maxChars, text);
}

}  // namespace brinvale::preview
