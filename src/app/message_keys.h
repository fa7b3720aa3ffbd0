#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

// Every key of the language files that the program asks for: the numbered
// messages and, per window, the controls that show a fixed caption. The
// shipped language files hold exactly these keys (data/Languages/keys.md
// describes each one; a test holds this table, that list and every shipped
// file to each other). Code names a key through MessageKeyOf, so a key that
// is not in the table does not compile.
namespace brinvale {

// How the program uses a message text.
enum class MessageKind {
  kText,    // shown as it stands; holds no "%"
  kPrefix,  // a value is put after it by a format of the program's own; no "%"
  kSuffix,  // put after a value; no "%"
  kFormat,  // used itself as a printf format with exactly `conversions`
};

struct MessageKey {
  std::string_view section;
  std::string_view key;
  MessageKind kind;
  // For kFormat, the conversions the text holds, in order, separated by one
  // blank ("%s %d"); empty for the other kinds.
  std::string_view conversions;
};

inline constexpr std::string_view kMessagesSection = "Messages";
inline constexpr std::string_view kMainWndSection = "MainWnd";
inline constexpr std::string_view kScanWndSection = "ScanWnd";
inline constexpr std::string_view kSearchProcessWndSection = "SearchProcessWnd";
inline constexpr std::string_view kRecoverProcessWndSection = "RecoverProcessWnd";
inline constexpr std::string_view kCreateImageWndSection = "CreateImageWnd";
inline constexpr std::string_view kPreviewProcessWndSection = "PreviewProcessWnd";
inline constexpr std::string_view kMessageBoxSection = "MessageBox";
inline constexpr std::string_view kMenuWndSection = "MenuWnd";

// clang-format off
inline constexpr MessageKey kMessageKeys[] = {
    // section                  key                     kind                  conversions
    // [Messages]
    {kMessagesSection,          "MSG0101",              MessageKind::kText,   ""           },  // main window: TxtMainInfo for the deleted-files mode
    {kMessagesSection,          "MSG0102",              MessageKind::kText,   ""           },  // main window: TxtMainInfo for the formatted mode
    {kMessagesSection,          "MSG0103",              MessageKind::kText,   ""           },  // main window: TxtMainInfo for the deep-recovery mode
    {kMessagesSection,          "MSG0104",              MessageKind::kText,   ""           },  // main window: TxtMainInfo for the image-creation mode
    {kMessagesSection,          "MSG0201",              MessageKind::kPrefix, ""           },  // main window: disk row caption of a fixed disk
    {kMessagesSection,          "MSG0202",              MessageKind::kPrefix, ""           },  // main window: disk row caption of a removable disk
    {kMessagesSection,          "MSG0203",              MessageKind::kPrefix, ""           },  // main window: Label1, drive letter
    {kMessagesSection,          "MSG0204",              MessageKind::kPrefix, ""           },  // main window: Label2, volume label
    {kMessagesSection,          "MSG0205",              MessageKind::kPrefix, ""           },  // main window: Label3, file system
    {kMessagesSection,          "MSG0206",              MessageKind::kPrefix, ""           },  // main window: Label4, total size
    {kMessagesSection,          "MSG0207",              MessageKind::kPrefix, ""           },  // main window: Label5, used space
    {kMessagesSection,          "MSG0208",              MessageKind::kPrefix, ""           },  // main window: Label6, free space
    {kMessagesSection,          "MSG0209",              MessageKind::kPrefix, ""           },  // main window: further disk information line, first sector
    {kMessagesSection,          "MSG0210",              MessageKind::kPrefix, ""           },  // main window: further disk information line, sector count
    {kMessagesSection,          "MSG0211",              MessageKind::kText,   ""           },  // main window: result page status label
    {kMessagesSection,          "MSG0212",              MessageKind::kText,   ""           },  // main window: result page status label
    {kMessagesSection,          "MSG0213",              MessageKind::kText,   ""           },  // main window: result page status label
    {kMessagesSection,          "MSG0214",              MessageKind::kText,   ""           },  // main window: question after image creation (kind 4)
    {kMessagesSection,          "MSG0216",              MessageKind::kText,   ""           },  // main window: no disk selected for image creation (kind 2)
    {kMessagesSection,          "MSG0217",              MessageKind::kText,   ""           },  // main window: image creation failed (kind 2)
    {kMessagesSection,          "MSG0218",              MessageKind::kText,   ""           },  // main window: image file on the drive being copied (kind 2)
    {kMessagesSection,          "MSG0219",              MessageKind::kText,   ""           },  // main window: image too large for a FAT target (kind 2)
    {kMessagesSection,          "MSG0220",              MessageKind::kText,   ""           },  // main window: image too large for a FAT32 target (kind 2)
    {kMessagesSection,          "MSG0221",              MessageKind::kText,   ""           },  // main window: not enough free space on the target (kind 2)
    {kMessagesSection,          "MSG0301",              MessageKind::kPrefix, ""           },  // image window: percent prefix
    {kMessagesSection,          "MSG0302",              MessageKind::kPrefix, ""           },  // image window: stage prefix
    {kMessagesSection,          "MSG0303",              MessageKind::kPrefix, ""           },  // image window: sector counter prefix
    {kMessagesSection,          "MSG0304",              MessageKind::kText,   ""           },  // image window: time left not yet estimated
    {kMessagesSection,          "MSG0305",              MessageKind::kPrefix, ""           },  // image window: time-left prefix
    {kMessagesSection,          "MSG0306",              MessageKind::kText,   ""           },  // image window: cancel question (kind 4)
    {kMessagesSection,          "MSG0401",              MessageKind::kText,   ""           },  // message box: title of kind 0 and out-of-range kinds (error)
    {kMessagesSection,          "MSG0402",              MessageKind::kText,   ""           },  // message box: title of kind 1 (confirm)
    {kMessagesSection,          "MSG0403",              MessageKind::kText,   ""           },  // message box: title of kind 2 (information)
    {kMessagesSection,          "MSG0404",              MessageKind::kText,   ""           },  // message box: title of kind 4 (question)
    {kMessagesSection,          "MSG0405",              MessageKind::kText,   ""           },  // message box: title of kind 3 (warning)
    {kMessagesSection,          "MSG0501",              MessageKind::kText,   ""           },  // main window: result page label
    {kMessagesSection,          "MSG0502",              MessageKind::kText,   ""           },  // main window: result page label
    {kMessagesSection,          "MSG0503",              MessageKind::kText,   ""           },  // main window: result page label
    {kMessagesSection,          "MSG0504",              MessageKind::kText,   ""           },  // main window: scan cannot start, no engine (kind 3)
    {kMessagesSection,          "MSG0505",              MessageKind::kText,   ""           },  // main window: no disk selected for scanning (kind 2)
    {kMessagesSection,          "MSG0601",              MessageKind::kText,   ""           },  // main window: file list label
    {kMessagesSection,          "MSG0602",              MessageKind::kText,   ""           },  // main window: file list label
    {kMessagesSection,          "MSG0701",              MessageKind::kFormat, "%c"         },  // scan window: stage for a partition with a drive letter
    {kMessagesSection,          "MSG0702",              MessageKind::kFormat, "%d"         },  // scan window: stage for a partition without a drive letter
    {kMessagesSection,          "MSG0703",              MessageKind::kPrefix, ""           },  // scan window: stage for an image
    {kMessagesSection,          "MSG0704",              MessageKind::kPrefix, ""           },  // scan window: percent prefix
    {kMessagesSection,          "MSG0705",              MessageKind::kText,   ""           },  // scan window: time left not yet estimated
    {kMessagesSection,          "MSG0706",              MessageKind::kPrefix, ""           },  // scan window: sector counter prefix
    {kMessagesSection,          "MSG0707",              MessageKind::kPrefix, ""           },  // scan window: file counter prefix
    {kMessagesSection,          "MSG0708",              MessageKind::kPrefix, ""           },  // scan window: time-left prefix
    {kMessagesSection,          "MSG0709",              MessageKind::kText,   ""           },  // scan window: cancel question (kind 4)
    {kMessagesSection,          "MSG0801",              MessageKind::kPrefix, ""           },  // main window: text before the count of marked files
    {kMessagesSection,          "MSG0802",              MessageKind::kSuffix, ""           },  // main window: text after the count of marked files
    {kMessagesSection,          "MSG0803",              MessageKind::kText,   ""           },  // main window: selection summary with nothing marked
    {kMessagesSection,          "MSG0804",              MessageKind::kFormat, "%s %d"      },  // main window: selection summary
    {kMessagesSection,          "MSG0805",              MessageKind::kText,   ""           },  // main window, preview window: recovery target on a scanned drive (kind 1)
    {kMessagesSection,          "MSG0807",              MessageKind::kText,   ""           },  // main window: type node, photo (shown as "%s (%d)")
    {kMessagesSection,          "MSG0808",              MessageKind::kText,   ""           },  // main window: type node, audio
    {kMessagesSection,          "MSG0809",              MessageKind::kText,   ""           },  // main window: type node, video
    {kMessagesSection,          "MSG0810",              MessageKind::kText,   ""           },  // main window: type node, document
    {kMessagesSection,          "MSG0811",              MessageKind::kText,   ""           },  // main window: type node, archive
    {kMessagesSection,          "MSG0812",              MessageKind::kText,   ""           },  // main window: type node, others
    {kMessagesSection,          "MSG0813",              MessageKind::kText,   ""           },  // main window: recovery folder chooser, before the layout choice
    {kMessagesSection,          "MSG0814",              MessageKind::kText,   ""           },  // main window: recovery folder chooser, the category folders
    {kMessagesSection,          "MSG0815",              MessageKind::kText,   ""           },  // main window: recovery folder chooser, the folders the files were found in
    {kMessagesSection,          "MSG0901",              MessageKind::kPrefix, ""           },  // preview progress window: percent prefix
    {kMessagesSection,          "MSG0902",              MessageKind::kPrefix, ""           },  // preview progress window: stage prefix
    {kMessagesSection,          "MSG0903",              MessageKind::kText,   ""           },  // preview progress window: cancel question (kind 4)
    {kMessagesSection,          "MSG0904",              MessageKind::kText,   ""           },  // main window: PreviewEdit when a folder is selected
    {kMessagesSection,          "MSG0905",              MessageKind::kText,   ""           },  // main window: PreviewEdit when the file cannot be shown
    {kMessagesSection,          "MSG1101",              MessageKind::kPrefix, ""           },  // recovery window: percent prefix
    {kMessagesSection,          "MSG1102",              MessageKind::kFormat, "%d %d %d %d"},  // recovery window: counters (processed, total, succeeded, failed)
    {kMessagesSection,          "MSG1103",              MessageKind::kText,   ""           },  // recovery window: cancel question (kind 4)
    {kMessagesSection,          "MSG1201",              MessageKind::kFormat, "%c"         },  // search window: stage for a partition with a drive letter
    {kMessagesSection,          "MSG1202",              MessageKind::kFormat, "%d"         },  // search window: stage for a partition without a drive letter
    {kMessagesSection,          "MSG1203",              MessageKind::kPrefix, ""           },  // search window: stage for an image
    {kMessagesSection,          "MSG1204",              MessageKind::kPrefix, ""           },  // search window: percent prefix
    {kMessagesSection,          "MSG1205",              MessageKind::kText,   ""           },  // search window: cancel question (kind 4)
    {kMessagesSection,          "MSG1206",              MessageKind::kText,   ""           },  // scan window: earlier scan of this source found (kind 4); yes reuses it
    {kMessagesSection,          "MSG1207",              MessageKind::kText,   ""           },  // main window: the player failed (kind 2)
    {kMessagesSection,          "MSG1209",              MessageKind::kText,   ""           },  // main window: status text
    {kMessagesSection,          "MSG1212",              MessageKind::kText,   ""           },  // main window: mode description line (AllDes), heading
    {kMessagesSection,          "MSG1213",              MessageKind::kText,   ""           },  // main window: mode description line, name of the deleted-files mode
    {kMessagesSection,          "MSG1214",              MessageKind::kText,   ""           },  // main window: mode description line
    {kMessagesSection,          "MSG1215",              MessageKind::kText,   ""           },  // main window: mode description line
    {kMessagesSection,          "MSG1216",              MessageKind::kText,   ""           },  // main window: mode description line, name of the formatted mode
    {kMessagesSection,          "MSG1217",              MessageKind::kText,   ""           },  // main window: mode description line
    {kMessagesSection,          "MSG1218",              MessageKind::kText,   ""           },  // main window: mode description line
    {kMessagesSection,          "MSG1219",              MessageKind::kText,   ""           },  // main window: mode description line, name of the deep mode
    {kMessagesSection,          "MSG1220",              MessageKind::kText,   ""           },  // main window: mode description line
    {kMessagesSection,          "MSG1221",              MessageKind::kText,   ""           },  // main window: mode description line
    {kMessagesSection,          "MSG1222",              MessageKind::kText,   ""           },  // main window: mode description line, name of the image mode
    {kMessagesSection,          "MSG1223",              MessageKind::kText,   ""           },  // main window: mode description line
    {kMessagesSection,          "MSG1224",              MessageKind::kText,   ""           },  // main window: mode description line
    {kMessagesSection,          "MSG1225",              MessageKind::kText,   ""           },  // main window: mode description line
    {kMessagesSection,          "MSG1226",              MessageKind::kText,   ""           },  // main window: mode description line

    // [MainWnd]
    {kMainWndSection,           "BtnStart",             MessageKind::kText,   ""           },  // button: start (formatted or deep mode)
    {kMainWndSection,           "BtnAssist",            MessageKind::kText,   ""           },  // button: opens the assist menu
    {kMainWndSection,           "BtnScan",              MessageKind::kText,   ""           },  // button: start a scan
    {kMainWndSection,           "BtnRecover",           MessageKind::kText,   ""           },  // button: recover the marked files
    {kMainWndSection,           "BtnPrev",              MessageKind::kText,   ""           },  // button: one step back
    {kMainWndSection,           "BtnNext",              MessageKind::kText,   ""           },  // button: one step forward
    {kMainWndSection,           "BtnLikeIt",            MessageKind::kText,   ""           },  // button: opens the like-it window
    {kMainWndSection,           "BtnLoadImage",         MessageKind::kText,   ""           },  // button: add an image file as a source
    {kMainWndSection,           "BtnAdvanceScan",       MessageKind::kText,   ""           },  // button (image page): create an image, then offer to scan it
    {kMainWndSection,           "BtnCreateImage",       MessageKind::kText,   ""           },  // button (image page): create an image
    {kMainWndSection,           "BtnDeletedRecovery",   MessageKind::kText,   ""           },  // mode button: deleted files
    {kMainWndSection,           "BtnFormattedRecovery", MessageKind::kText,   ""           },  // mode button: formatted drive
    {kMainWndSection,           "BtnDeepRecovery",      MessageKind::kText,   ""           },  // mode button: deep recovery
    {kMainWndSection,           "BtnCreateImageMode",   MessageKind::kText,   ""           },  // mode button: image creation
    {kMainWndSection,           "TabScan",              MessageKind::kText,   ""           },  // tab
    {kMainWndSection,           "TabFileType",          MessageKind::kText,   ""           },  // tab
    {kMainWndSection,           "TabRecover",           MessageKind::kText,   ""           },  // tab
    {kMainWndSection,           "ChkAllListSel",        MessageKind::kText,   ""           },  // select-all check box
    {kMainWndSection,           "ChkPhoto",             MessageKind::kText,   ""           },  // file-type check box: photos
    {kMainWndSection,           "ChkMusic",             MessageKind::kText,   ""           },  // file-type check box: music
    {kMainWndSection,           "ChkVideo",             MessageKind::kText,   ""           },  // file-type check box: videos
    {kMainWndSection,           "FileName",             MessageKind::kText,   ""           },  // file list column header
    {kMainWndSection,           "Size",                 MessageKind::kText,   ""           },  // file list column header
    {kMainWndSection,           "Type",                 MessageKind::kText,   ""           },  // file list column header
    {kMainWndSection,           "ModifiedTime",         MessageKind::kText,   ""           },  // file list column header
    {kMainWndSection,           "CreatedTime",          MessageKind::kText,   ""           },  // file list column header
    {kMainWndSection,           "Path",                 MessageKind::kText,   ""           },  // file list column header
    {kMainWndSection,           "FileTypePhoto",        MessageKind::kText,   ""           },  // file-type node: photo
    {kMainWndSection,           "FileTypeAudio",        MessageKind::kText,   ""           },  // file-type node: audio
    {kMainWndSection,           "FileTypeVideo",        MessageKind::kText,   ""           },  // file-type node: video
    {kMainWndSection,           "FileTypeOffice",       MessageKind::kText,   ""           },  // file-type node: document
    {kMainWndSection,           "FileTypeZip",          MessageKind::kText,   ""           },  // file-type node: archive
    {kMainWndSection,           "FileTypeOther",        MessageKind::kText,   ""           },  // file-type node: others
    {kMainWndSection,           "AllTitle",             MessageKind::kText,   ""           },  // title: all files
    {kMainWndSection,           "PhotoTitle",           MessageKind::kText,   ""           },  // title: photos
    {kMainWndSection,           "PhotoDes",             MessageKind::kText,   ""           },  // description: photos
    {kMainWndSection,           "MusicTitle",           MessageKind::kText,   ""           },  // title: music
    {kMainWndSection,           "MusicDes",             MessageKind::kText,   ""           },  // description: music
    {kMainWndSection,           "DocumentTitle",        MessageKind::kText,   ""           },  // title: documents
    {kMainWndSection,           "DocumentDes",          MessageKind::kText,   ""           },  // description: documents
    {kMainWndSection,           "VideoTitle",           MessageKind::kText,   ""           },  // title: videos
    {kMainWndSection,           "VideoDes",             MessageKind::kText,   ""           },  // description: videos
    {kMainWndSection,           "ArchiveTitle",         MessageKind::kText,   ""           },  // title: archives
    {kMainWndSection,           "ArchiveDes",           MessageKind::kText,   ""           },  // description: archives
    {kMainWndSection,           "OthersTitle",          MessageKind::kText,   ""           },  // title: other files
    {kMainWndSection,           "OthersDes",            MessageKind::kText,   ""           },  // description: other files

    // [ScanWnd]
    {kScanWndSection,           "cancelbtn",            MessageKind::kText,   ""           },  // button: cancel question, then stop

    // [SearchProcessWnd]
    {kSearchProcessWndSection,  "cancelbtn",            MessageKind::kText,   ""           },  // button: cancel question, then stop

    // [RecoverProcessWnd]
    {kRecoverProcessWndSection, "OpenBtn",              MessageKind::kText,   ""           },  // button: open the target folder
    {kRecoverProcessWndSection, "FinishBtn",            MessageKind::kText,   ""           },  // button: close when done
    {kRecoverProcessWndSection, "CancelBtn",            MessageKind::kText,   ""           },  // button: cancel question, then stop
    {kRecoverProcessWndSection, "DetailBtn",            MessageKind::kText,   ""           },  // button: show or hide the detail list

    // [CreateImageWnd]
    {kCreateImageWndSection,    "cancelbtn",            MessageKind::kText,   ""           },  // button: cancel question, then stop

    // [PreviewProcessWnd]
    {kPreviewProcessWndSection, "CancelBtn",            MessageKind::kText,   ""           },  // button: cancel question, then stop

    // [MessageBox]
    {kMessageBoxSection,        "okbtn",                MessageKind::kText,   ""           },  // button: close code 1 (yes, go on)
    {kMessageBoxSection,        "cancelbtn",            MessageKind::kText,   ""           },  // button: close code 2 (no)

    // [MenuWnd]
    {kMenuWndSection,           "item_help",            MessageKind::kText,   ""           },  // menu entry: online guide
    {kMenuWndSection,           "item_faq",             MessageKind::kText,   ""           },  // menu entry: online guide (questions)
    {kMenuWndSection,           "item_about",           MessageKind::kText,   ""           },  // menu entry: about page
    {kMenuWndSection,           "item_support",         MessageKind::kText,   ""           },  // menu entry: support page
    {kMenuWndSection,           "item_language",        MessageKind::kText,   ""           },  // menu entry: holds the language list
    {kMenuWndSection,           "item_exit",            MessageKind::kText,   ""           },  // menu entry: end the program
};
// clang-format on

inline constexpr size_t kMessageKeyCount = 158;
static_assert(std::size(kMessageKeys) == kMessageKeyCount);

// The row of `key` in `section`. Evaluated while compiling: a key that is
// not in kMessageKeys is a compile error ("throw" in a constant expression).
consteval const MessageKey& MessageKeyOf(std::string_view section, std::string_view key) {
  for (const MessageKey& row : kMessageKeys)
    if (row.section == section && row.key == key) return row;
  throw "the program asks for a key that kMessageKeys does not list";
}

// The row of a numbered message ("MSG0701").
consteval const MessageKey& MessageOf(std::string_view key) {
  return MessageKeyOf(kMessagesSection, key);
}

}  // namespace brinvale
