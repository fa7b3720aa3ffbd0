#include "preview/preview_text.h"

#include <QStringDecoder>
#include <fstream>
#include <vector>

namespace brinvale::preview {

QString BytesAsText(std::span<const uint8_t> bytes) {
  const QByteArray raw(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(raw);
  if (utf8.hasError()) {
    QStringDecoder western("windows-1252");
    text = western.isValid() ? QString(western.decode(raw)) : QString::fromLatin1(raw);
  }
  for (QChar& c : text)
    if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') &&
        c != QLatin1Char('\r'))
      c = QLatin1Char('.');
  return text;
}

QString FileHeadText(const std::filesystem::path& path, size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::vector<uint8_t> bytes(limit);
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(limit));
  bytes.resize(size_t(in.gcount()));
  return BytesAsText(bytes);
}

}  // namespace brinvale::preview
