#pragma once

#include <string>
#include <string_view>

// The five fixed extension lists that sort found files by kind. Each list is
// one text of "*.ext" patterns joined by "|"; membership is a plain substring
// search of that text.
namespace brinvale {

extern const std::string_view kPhotoList;
extern const std::string_view kAudioList;
extern const std::string_view kVideoList;
extern const std::string_view kDocumentList;
extern const std::string_view kArchiveList;

// The text after the last "." of `name`, ASCII lower-cased; empty when the
// name has no ".".
std::string ExtensionOf(std::string_view name);

// True when `ext` occurs anywhere in `listText` (a fragment counts).
bool InList(std::string_view ext, std::string_view listText);

// The five lists joined with "|" in the order photo, audio, document, video,
// archive: what decides which files count as "other".
std::string_view KnownExtensionText();

}  // namespace brinvale
