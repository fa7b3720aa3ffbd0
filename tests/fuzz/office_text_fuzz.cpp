// The office text reader over any bytes: a zip of XML parts, or a damaged
// one. The bytes are also read as a single XML part of either kind.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <span>

#include "preview/office_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brinvale::preview;
  QString text;
  OfficeDocumentTextBytes(std::span<const uint8_t>(data, size), 2048, text);
  const QByteArray xml(reinterpret_cast<const char*>(data), qsizetype(size));
  XmlPartText(xml, false, 2048);
  XmlPartText(xml, true, 2048);
  return 0;
}
