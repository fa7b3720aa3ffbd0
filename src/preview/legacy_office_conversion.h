#pragma once

#include <QString>
#include <filesystem>

#include "preview/document_view.h"

// Legacy binary Office files (doc, xls, ppt and their kin) are read by
// LibreOffice's headless converter, which writes their ODF counterpart
// (odt, ods, odp) into a private folder; the ODF text reader takes it from
// there. A watchdog kills the converter when it outlives its time.
namespace brinvale::preview {

// The ODF extension a legacy document converts to ("odt", "ods", "odp").
// Returns 0 with the first `maxChars` characters of the text; 2 when no
// converter is installed, 1460 (timeout) after the watchdog killed it, 87
// when it made nothing readable.
int LegacyOfficeText(const std::filesystem::path& path, const QString& odfExtension,
                     const DocumentViewSettings& settings, qsizetype maxChars, QString& text);

}  // namespace brinvale::preview
