#pragma once

#include <memory>

#include "app/preview_job.h"
#include "preview/document_view.h"

namespace brinvale::preview {

// The view of a document kind; null for kNone.
std::unique_ptr<IDocumentView> MakeDocumentView(DocumentViewKind kind,
                                                const DocumentViewSettings& settings);

}  // namespace brinvale::preview
