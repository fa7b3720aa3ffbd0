#include "preview/legacy_office_conversion.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include "common/error_codes.h"
#include "platform/text.h"
#include "preview/office_text.h"

namespace brinvale::preview {
namespace {

constexpr int kErrTimeout = 1460;  // ERROR_TIMEOUT

QString ToQString(const std::filesystem::path& path) {
  return QString::fromStdString(platform::PathToUtf8(path));
}

}  // namespace

int LegacyOfficeText(const std::filesystem::path& path, const QString& odfExtension,
                     const DocumentViewSettings& settings, qsizetype maxChars, QString& text) {
  text.clear();
  const QString program = settings.soffice.isEmpty()
                              ? QStandardPaths::findExecutable(QStringLiteral("soffice"))
                              : settings.soffice;
  if (program.isEmpty() || !QFileInfo(program).isExecutable()) return kErrFileNotFound;
  QTemporaryDir work;
  if (!work.isValid()) return kErrFileNotFound;
  // A profile of its own, so that a LibreOffice the user has open neither
  // takes the job nor is disturbed by it.
  const QString profile = QUrl::fromLocalFile(work.filePath(QStringLiteral("profile"))).toString();
  QProcess converter;
  converter.setProcessChannelMode(QProcess::MergedChannels);
  converter.start(program, {QStringLiteral("-env:UserInstallation=") + profile,
                            QStringLiteral("--headless"), QStringLiteral("--norestore"),
                            QStringLiteral("--convert-to"), odfExtension,
                            QStringLiteral("--outdir"), work.path(), ToQString(path)});
  if (!converter.waitForStarted(settings.conversionTimeoutMs)) return kErrFileNotFound;
  if (!converter.waitForFinished(settings.conversionTimeoutMs)) {
    converter.kill();
    converter.waitForFinished(1000);
    return kErrTimeout;
  }
  const QString output = QDir(work.path()).filePath(
      QFileInfo(ToQString(path)).completeBaseName() + QLatin1Char('.') + odfExtension);
  if (!QFileInfo::exists(output)) return kErrInvalidParameter;
  return OfficeDocumentText(platform::PathFromUtf8(output.toStdString()), maxChars, text);
}

}  // namespace brinvale::preview
