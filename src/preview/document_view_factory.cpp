#include "preview/document_view_factory.h"

#include "preview/office_view.h"
#include "preview/pdf_view.h"
#include "preview/zip_view.h"

namespace brinvale::preview {

std::unique_ptr<IDocumentView> MakeDocumentView(DocumentViewKind kind,
                                                const DocumentViewSettings& settings) {
  switch (kind) {
    case DocumentViewKind::kWord:
      return std::make_unique<CWord>(settings);
    case DocumentViewKind::kPowerPoint:
      return std::make_unique<CPPT>(settings);
    case DocumentViewKind::kExcel:
      return std::make_unique<CExcel>(settings);
    case DocumentViewKind::kPdf:
      return std::make_unique<CPDF>(settings.scanLogFolder);
    case DocumentViewKind::kArchive:
      return std::make_unique<CZIP>();
    case DocumentViewKind::kNone:
      break;
  }
  return nullptr;
}

}  // namespace brinvale::preview
