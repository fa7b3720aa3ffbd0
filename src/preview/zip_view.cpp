#include "preview/zip_view.h"

#include <QDateTime>

#include "common/error_codes.h"
#include "common/size_text.h"

namespace brinvale::preview {

QString ArchiveListingText(const std::vector<ArchiveEntry>& entries) {
  QString text;
  for (const ArchiveEntry& entry : entries) {
    QString line = QString::fromStdString(entry.name);
    if (entry.isFolder && !line.endsWith(QLatin1Char('/'))) line += QLatin1Char('/');
    if (!entry.isFolder && entry.size >= 0)
      line += QStringLiteral("  ") + QString::fromStdString(SizeText(entry.size));
    if (entry.modified >= 0)
      line += QStringLiteral("  ") + QDateTime::fromSecsSinceEpoch(entry.modified)
                                         .toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    text += line + QLatin1Char('\n');
  }
  return text;
}

int CZIP::Convert(const std::filesystem::path& path, QString& text,
                  std::filesystem::path& picture) {
  text.clear();
  picture.clear();
  std::vector<ArchiveEntry> entries;
  const int rc = ListArchive(path, entries);
  if (rc != kOk) return rc;
  text = ArchiveListingText(entries);
  return kOk;
}

}  // namespace brinvale::preview
