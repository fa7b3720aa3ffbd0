#include "preview/pdf_view.h"

#include <poppler-qt6.h>

#include <QImage>
#include <cmath>
#include <memory>
#include <system_error>

#include "common/error_codes.h"
#include "platform/text.h"

namespace brinvale::preview {
namespace {

// A damaged PDF makes poppler complain line by line; the preview only wants
// to know whether the page could be drawn.
void QuietPoppler(const QString&, const QVariant&) {}

}  // namespace

int CPDF::Convert(const std::filesystem::path& path, QString& text,
                  std::filesystem::path& picture) {
  text.clear();
  picture.clear();
  const std::filesystem::path target = m_folder / "tmp.jpg";
  std::error_code ec;
  std::filesystem::remove(target, ec);

  Poppler::setDebugErrorFunction(QuietPoppler, QVariant());
  std::unique_ptr<Poppler::Document> document =
      Poppler::Document::load(QString::fromStdString(platform::PathToUtf8(path)));
  if (!document || document->isLocked() || document->numPages() < 1) return kErrInvalidParameter;
  std::unique_ptr<Poppler::Page> page = document->page(0);
  if (!page) return kErrInvalidParameter;
  // The page size in points decides the resolution, so that a hostile
  // page of a kilometre's width still makes a picture of kPageSide pixels.
  const QSizeF points = page->pageSizeF();
  const double longer = std::max(points.width(), points.height());
  if (!(longer > 1.0) || !std::isfinite(longer)) return kErrInvalidParameter;
  const double dpi = std::clamp(72.0 * kPageSide / longer, 1.0, 600.0);
  document->setRenderHint(Poppler::Document::Antialiasing);
  document->setRenderHint(Poppler::Document::TextAntialiasing);
  const QImage image = page->renderToImage(dpi, dpi);
  if (image.isNull()) return kErrInvalidParameter;
  std::filesystem::create_directories(m_folder, ec);
  if (!image.save(QString::fromStdString(platform::PathToUtf8(target)), "JPG", 90))
    return kErrWriteFault;
  picture = target;
  return kOk;
}

}  // namespace brinvale::preview
