#include "results/file_categories.h"

namespace brinvale {

std::string ExtensionOf(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(fileName.substr(dot + 1));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return extension;
}

bool InList(std::string_view extension, std::string_view listText) {
  return !extension.empty() && listText.find(extension) != std::string_view::npos;
}

const std::string& KnownExtensionText() {
  static const std::string text = [] {
    std::string joined;
    for (std::string_view list :
         {kPhotoList, kAudioList, kDocumentList, kVideoList, kArchiveList}) {
      if (!joined.empty()) joined += '|';
      joined += list;
    }
    return joined;
  }();
  return text;
}

std::string_view CategoryListText(FileCategory category) {
  switch (category) {
    case FileCategory::kPhoto: return kPhotoList;
    case FileCategory::kAudio: return kAudioList;
    case FileCategory::kVideo: return kVideoList;
    case FileCategory::kDocument: return kDocumentList;
    case FileCategory::kArchive: return kArchiveList;
    case FileCategory::kOther: break;
  }
  return {};
}

FileCategory RecoveryCategoryOf(std::string_view fileName) {
  const std::string extension = ExtensionOf(fileName);
  // Order matters where lists overlap: "rm" is audio before it is video.
  for (FileCategory category : {FileCategory::kPhoto, FileCategory::kAudio, FileCategory::kVideo,
                                FileCategory::kDocument, FileCategory::kArchive}) {
    if (InList(extension, CategoryListText(category))) return category;
  }
  return FileCategory::kOther;
}

std::string_view CategoryFolderName(FileCategory category) {
  switch (category) {
    case FileCategory::kPhoto: return "photo";
    case FileCategory::kAudio: return "audio";
    case FileCategory::kVideo: return "video";
    case FileCategory::kDocument: return "document";
    case FileCategory::kArchive: return "archive";
    case FileCategory::kOther: break;
  }
  return "others";
}

std::string_view CategoryFolderName(std::string_view fileName) {
  return CategoryFolderName(RecoveryCategoryOf(fileName));
}

}  // namespace brinvale
