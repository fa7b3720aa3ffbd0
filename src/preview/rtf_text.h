#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The plain text of an RTF document: control words and the groups that
// hold no body text (font, colour and style tables, document information,
// pictures, "\*" destinations) are dropped; \par and \line end lines, \tab
// is a tab, \'hh is a byte of the Windows Western code page, \uN a UTF-16
// unit (its fallback character is skipped). Returns UTF-8, at most
// `maxChars` characters; empty when the bytes hold no text.
namespace brinvale::preview {

std::string RtfText(std::string_view rtf, size_t maxChars);

}  // namespace brinvale::preview
