#pragma once

#include <string>
#include <string_view>

// The fixed extension lists that sort found files by kind. Each list is one
// text of "*.ext" patterns joined by "|", and membership is a plain
// substring search of that text: a fragment of a listed extension counts as
// listed ("jp" is in the photo list, "doc" is found inside "*.docx").
namespace brinvale {

inline constexpr std::string_view kPhotoList =
    "*.bmp|*.gif|*.jpg|*.jpeg|*.png|*.psd|*.tif|*.tiff|*.pcx|*.scr|*.ico|*.nef|*.nrw|*.crw|*.cr2|"
    "*.sr2|*.arw|*.srf|*.divu|*.pgm|*.k25|*.kdc|*.dcr|*.raf|*.iff|*.pbm|*.mef|*.jp2|*.mos|*.x3f|"
    "*.orf|*.erf|*.indd|*.pef|*.psp|*.mrw|*.dng|*.raw|*.pct|*.tga|*.thm";
inline constexpr std::string_view kAudioList =
    "*.mp3|*.wav|*.ape|*.aiff|*.rps|*.mid|*.midi|*.m4a|*.m4p|*.au|*.ogg|*.wma|*.rm|*.ra|*.acd|*."
    "amr|"
    "*.at3|*.caf|*.dss|*.m4r|*.nra|*.snd";
inline constexpr std::string_view kVideoList =
    "*.rmvb|*.rm|*.mpeg|*.mov|*.avi|*.wmv|*.asf|*.mp4|*.flv|*.fla|*.swf|*.m4v|*.3gp|*.dv|*.3g2|"
    "*.m4b|*.mkv|*.mts|*.divx|*.ogm|*.moi|*.vob|*.ajp|*.f4v|*.mqv|*.svi|*.vid|*.tod|*.hdmov|*.mod|"
    "*.mxf|*.lrv";
inline constexpr std::string_view kDocumentList =
    "*.doc|*.xls|*.ppt|*.odt|*.ods|*.pdf|*.docx|*.xlsx|*.pptx|*.ole|*.txt|*.xml|*.chm|*.htm|*.html|"
    "*.pst|*.dbx|*.wps|*.dps|*.et|*.one|*.mpp|*.mdb|*.accdb";
inline constexpr std::string_view kArchiveList =
    "*.zip|*.rar|*.gzip|*.tar|*.7z|*.cab|*.arj|*.lzh|*.ace|*.gz|*.uue|*.bz2|*.jar|*.iso";

// Files that a preview extracts under their own name (documents and
// archives) rather than into a temporary media file.
inline constexpr std::string_view kPreviewDocumentList =
    "*.pdf|*.doc|*.dot|*.docx|*.dotx|*.docm|*.dotm|*.rtf|*.odt|*.ppt|*.pptx|*.pptm|*.pps|*.ppsx|"
    "*.ppsm|*.odp|*.xls|*.xlsx|*.xlsm|*.csv|*.odc|*.vsd|*.vsdm|*.vsdx|*.pub|*.mpp|*.ics|*.vcf|"
    "*.msg|*.zip|*.rar|*.gzip|*.tar|*.7z|*.cab|*.arj|*.lzh|*.ace|*.gz|*.uue|*.bz2|*.jar|*.iso";

// The six kinds of the type view and of the recovery folders.
enum class FileCategory { kPhoto, kAudio, kVideo, kDocument, kArchive, kOther };

// The text after the last "." of `fileName`, ASCII letters lowered; empty
// when the name has no ".". Names are UTF-8; other bytes pass unchanged.
std::string ExtensionOf(std::string_view fileName);

// Whether `extension` occurs anywhere in `listText`. An empty extension is
// in no list, so a name without an extension never counts as listed.
bool InList(std::string_view extension, std::string_view listText);

// The five lists joined by "|" in the order photo, audio, document, video,
// archive: an extension that does not occur in it makes an "other" file.
const std::string& KnownExtensionText();

// The list text of a category; empty for kOther.
std::string_view CategoryListText(FileCategory category);

// The category a recovered file is filed under: the first of the photo,
// audio, video, document and archive lists that holds its extension (so
// "rm", in both audio and video, is audio); kOther when none does or the
// name has no extension.
FileCategory RecoveryCategoryOf(std::string_view fileName);

// The sub-folder of a recovery target for a category: "photo", "audio",
// "video", "document", "archive" or "others".
std::string_view CategoryFolderName(FileCategory category);

// The sub-folder of a recovery target for a file name.
std::string_view CategoryFolderName(std::string_view fileName);

}  // namespace brinvale
