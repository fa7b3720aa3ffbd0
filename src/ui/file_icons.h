#pragma once

#include <QIcon>
#include <QString>

#include "results/scan_record.h"

namespace brinvale::ui {

// The skin's picture for a found item, under "FileIcon/": "folder.png" for
// a folder; for a file by its extension "exe.png" (exe), "image.png"
// (photo list), "music.png" (audio list), "doc.png" (document list),
// "video.png" (video list), "zip.png" (archive list), else "default.png".
// A file whose data does not look like its extension names, or whose
// structure was found broken (`damaged`), takes the "_error" form
// ("image_error.png").
QString FileIconName(const ScanRecord& record, bool damaged = false);

// The icon of FileIconName, loaded once per picture. Interface thread only.
QIcon FileIcon(const ScanRecord& record, bool damaged = false);

}  // namespace brinvale::ui
