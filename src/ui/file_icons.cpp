#include "ui/file_icons.h"

#include <QHash>

#include "results/file_categories.h"
#include "ui/skin_loader.h"

namespace brinvale::ui {

QString FileIconName(const ScanRecord& record, bool damaged) {
  if (record.IsFolder()) return QStringLiteral("FileIcon/folder.png");
  const std::string ext = ExtensionOf(record.Name());
  const char* base = "default";
  if (ext == "exe")
    base = "exe";
  else if (InList(ext, kPhotoList))
    base = "image";
  else if (InList(ext, kAudioList))
    base = "music";
  else if (InList(ext, kDocumentList))
    base = "doc";
  else if (InList(ext, kVideoList))
    base = "video";
  else if (InList(ext, kArchiveList))
    base = "zip";
  const bool error = record.ContentCheck() == 0 || damaged;
  return QStringLiteral("FileIcon/%1%2.png")
      .arg(QLatin1String(base), error ? QStringLiteral("_error") : QString());
}

QIcon FileIcon(const ScanRecord& record, bool damaged) {
  static QHash<QString, QIcon> cache;
  const QString name = FileIconName(record, damaged);
  auto it = cache.find(name);
  if (it == cache.end()) it = cache.insert(name, QIcon(SkinPath(name)));
  return *it;
}

}  // namespace brinvale::ui
