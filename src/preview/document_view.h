#pragma once

#include <QString>
#include <filesystem>

// A document view turns an extracted document into something the preview
// shows: text, or a picture file it names.
namespace brinvale::preview {

class IDocumentView {
 public:
  // Converts the document at `path`: `text` gets the text to show, or stays
  // empty when the view wrote a picture (its path in `picture`). Returns 0,
  // or an error code when the document cannot be converted.
  virtual int Convert(const std::filesystem::path& path, QString& text,
                      std::filesystem::path& picture) = 0;
  virtual ~IDocumentView() = default;
};

// What the views need of the running system.
struct DocumentViewSettings {
  // Where the PDF view writes "tmp.jpg" (the scan-log folder).
  std::filesystem::path scanLogFolder;
  // LibreOffice's program for legacy Office files; empty: "soffice" on the
  // search path, when there is one.
  QString soffice;
  // How long a conversion may run before it is killed: 61 rounds of 100 ms.
  int conversionTimeoutMs = 6100;
};

// Office views keep at most this many characters of a document's text.
inline constexpr qsizetype kDocumentTextChars = 2048;

}  // namespace brinvale::preview
