#include "deepscan/file_type_table.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "common/error_codes.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

namespace {

// First match wins: rows are tried in this order, and the first row of a
// type code names the files of that code.
// clang-format off
constexpr FileTypeRow kFileTypes[] = {
    // ext     code                    detector                 sizer
    {"mpeg",  kTypeMpeg,              DetectMpeg,              SizeMpeg},
    {"mpg",   kTypeMpeg,              DetectMpeg,              SizeMpeg},
    {"vob",   kTypeMpeg,              DetectMpeg,              SizeMpeg},
    {"mp4",   kTypeMp4,               DetectMp4,               SizeMp4},
    {"rmvb",  kTypeRealMedia,         DetectRealMedia,         SizeRealMedia},
    {"rm",    kTypeRealMedia,         DetectRealMedia,         SizeRealMedia},
    {"wmv",   kTypeAsf,               DetectAsf,               SizeAsf},
    {"asf",   kTypeAsf,               DetectAsf,               SizeAsf},
    {"wma",   kTypeAsf,               DetectAsf,               SizeAsf},
    {"swf",   kTypeSwf,               DetectSwf,               SizeSwf},
    {"avi",   kTypeAvi,               DetectAvi,               SizeAvi},
    {"flv",   kTypeFlv,               DetectFlv,               SizeFlv},
    {"3gp",   kType3gp,               Detect3gp,               Size3gp},
    {"mkv",   kTypeMkv,               DetectMkv,               SizeMkv},
    {"ts",    kTypeTs,                DetectTransportStream,   SizeTransportStream},
    {"mts",   kTypeMts,               DetectMts,               SizeMts},
    {"mxf",   kTypeMxf,               DetectMxf,               SizeMxf},
    {"mp3",   kTypeMp3,               DetectMp3,               SizeMp3},
    {"mid",   kTypeMidi,              DetectMidi,              SizeMidi},
    {"ape",   kTypeApe,               DetectApe,               SizeApe},
    {"wav",   kTypeWav,               DetectWav,               SizeWav},
    {"mov",   kTypeMov,               DetectMov,               SizeMov},
    {"mp2",   kTypeMp2,               DetectMp2,               SizeMp2},
    {"mmf",   kTypeMmf,               DetectMmf,               SizeMmf},
    // Before the compound-document rows; it leaves Word, Excel and
    // PowerPoint files to them and takes the other compound files.
    {"fla",   kTypeFla,               DetectFla,               SizeFla},
    {"gif",   kTypeGif,               DetectGif,               SizeGif},
    {"bmp",   kTypeBmp,               DetectBmp,               SizeBmp},
    {"dib",   kTypeBmp,               DetectBmp,               SizeBmp},
    {"jpg",   kTypeJpeg,              DetectJpeg,              SizeJpeg},
    {"jpeg",  kTypeJpeg,              DetectJpeg,              SizeJpeg},
    {"jpe",   kTypeJpeg,              DetectJpeg,              SizeJpeg},
    {"jfif",  kTypeJpeg,              DetectJpeg,              SizeJpeg},
    {"png",   kTypePng,               DetectPng,               SizePng},
    {"psd",   kTypePsd,               DetectPsd,               SizePsd},
    {"tif",   kTypeTiff,              DetectTiff,              SizeTiff},
    {"tiff",  kTypeTiff,              DetectTiff,              SizeTiff},
    {"ico",   kTypeIco,               DetectIco,               SizeIco},
    {"doc",   kTypeWord,              DetectCompoundDocument,  SizeCompoundDocument},
    {"dot",   kTypeWord,              DetectCompoundDocument,  SizeCompoundDocument},
    {"wps",   kTypeWord,              DetectCompoundDocument,  SizeCompoundDocument},
    {"wpt",   kTypeWord,              DetectCompoundDocument,  SizeCompoundDocument},
    {"xls",   kTypeExcel,             DetectCompoundDocument,  SizeCompoundDocument},
    {"xlt",   kTypeExcel,             DetectCompoundDocument,  SizeCompoundDocument},
    {"xla",   kTypeExcel,             DetectCompoundDocument,  SizeCompoundDocument},
    {"et",    kTypeExcel,             DetectCompoundDocument,  SizeCompoundDocument},
    {"ett",   kTypeExcel,             DetectCompoundDocument,  SizeCompoundDocument},
    {"ppt",   kTypePowerPoint,        DetectCompoundDocument,  SizeCompoundDocument},
    {"pot",   kTypePowerPoint,        DetectCompoundDocument,  SizeCompoundDocument},
    {"pps",   kTypePowerPoint,        DetectCompoundDocument,  SizeCompoundDocument},
    {"dps",   kTypePowerPoint,        DetectCompoundDocument,  SizeCompoundDocument},
    {"dpt",   kTypePowerPoint,        DetectCompoundDocument,  SizeCompoundDocument},
    {"ole",   kTypeCompound,          DetectCompoundDocument,  SizeCompoundDocument},
    // Office Open XML packages before plain ZIP archives.
    {"docx",  kTypeWordPackage,       DetectOfficePackage,     SizeOfficePackage},
    {"docm",  kTypeWordPackage,       DetectOfficePackage,     SizeOfficePackage},
    {"dotm",  kTypeWordPackage,       DetectOfficePackage,     SizeOfficePackage},
    {"dotx",  kTypeWordPackage,       DetectOfficePackage,     SizeOfficePackage},
    {"xlsx",  kTypeExcelPackage,      DetectOfficePackage,     SizeOfficePackage},
    {"xlsb",  kTypeExcelPackage,      DetectOfficePackage,     SizeOfficePackage},
    {"xlsm",  kTypeExcelPackage,      DetectOfficePackage,     SizeOfficePackage},
    {"xlsx",  kTypeExcelPackage,      DetectOfficePackage,     SizeOfficePackage},
    {"xlam",  kTypeExcelPackage,      DetectOfficePackage,     SizeOfficePackage},
    {"xltx",  kTypeExcelPackage,      DetectOfficePackage,     SizeOfficePackage},
    {"xltm",  kTypeExcelPackage,      DetectOfficePackage,     SizeOfficePackage},
    {"pptx",  kTypePowerPointPackage, DetectOfficePackage,     SizeOfficePackage},
    {"pptm",  kTypePowerPointPackage, DetectOfficePackage,     SizeOfficePackage},
    {"potx",  kTypePowerPointPackage, DetectOfficePackage,     SizeOfficePackage},
    {"potm",  kTypePowerPointPackage, DetectOfficePackage,     SizeOfficePackage},
    {"ppsx",  kTypePowerPointPackage, DetectOfficePackage,     SizeOfficePackage},
    {"ppsm",  kTypePowerPointPackage, DetectOfficePackage,     SizeOfficePackage},
    {"mso07", kTypeOfficePackage,     nullptr,                 nullptr},  // never found
    {"pdf",   kTypePdf,               DetectPdf,               SizePdf},
    {"gz",    kTypeGzip,              DetectGzip,              SizeGzip},
    {"gzip",  kTypeGzip,              DetectGzip,              SizeGzip},
    {"7z",    kType7z,                Detect7z,                Size7z},
    {"zip",   kTypeZip,               DetectZip,               SizeZip},
    {"rar",   kTypeRar,               DetectRar,               SizeRar},
    {"cab",   kTypeCab,               DetectCab,               SizeCab},
    {"exe",   kTypeExe,               DetectPe,                nullptr},  // found, never reported
    {"dll",   kTypeDll,               DetectPe,                nullptr},
    {"sys",   kTypeSys,               DetectPe,                nullptr},
    {"gho",   kTypeGho,               DetectGho,               nullptr},
    {"db",    kTypeSqlite,            DetectSqlite,            SizeSqlite},
    {"dbx",   kTypeDbx,               DetectDbx,               SizeDbx},
    {"pst",   kTypePst,               DetectPst,               SizePst},
    {"fla",   kTypeFla,               DetectFla,               SizeFla},
    {"ttf",   kTypeTrueType,          DetectTrueType,          SizeTrueType},
    {"ico",   kTypeIco,               DetectIco,               SizeIco},
    {"",      kTypeUnknown,           nullptr,                 nullptr},  // end of table
};
// clang-format on
static_assert(std::size(kFileTypes) == kFileTypeRowCount + 1);

const FileTypeRow* FirstRowOfCode(int typeCode) {
  for (const FileTypeRow& row : FileTypeTable())
    if (row.typeCode == typeCode) return &row;
  return nullptr;
}

// The first row of every extension, sorted by extension.
struct ExtensionIndex {
  std::vector<std::pair<std::string_view, const FileTypeRow*>> rows;

  ExtensionIndex() {
    for (const FileTypeRow& row : FileTypeTable()) rows.emplace_back(row.extension, &row);
    // Stable: of rows with one extension the first stays first.
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    rows.erase(std::unique(rows.begin(), rows.end(),
                           [](const auto& a, const auto& b) { return a.first == b.first; }),
               rows.end());
  }
};

}  // namespace

std::span<const FileTypeRow> FileTypeTable() {
  return std::span<const FileTypeRow>(kFileTypes, kFileTypeRowCount);
}

const FileTypeRow* FirstRowOfExtension(std::string_view extension) {
  // Table extensions are short and lower case.
  char lower[16];
  if (extension.size() > sizeof lower) return nullptr;
  for (size_t i = 0; i < extension.size(); ++i) {
    const char c = extension[i];
    lower[i] = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
  }
  const std::string_view key(lower, extension.size());
  static const ExtensionIndex index;
  const auto it = std::lower_bound(
      index.rows.begin(), index.rows.end(), key,
      [](const auto& entry, std::string_view k) { return entry.first < k; });
  return it != index.rows.end() && it->first == key ? it->second : nullptr;
}

FirstMatch DetectFirstMatchEveryRow(SizingContext& ctx, std::span<const uint8_t> buffer) {
  for (const FileTypeRow& row : FileTypeTable()) {
    if (row.detect == nullptr) continue;
    if (int code = row.detect(ctx, buffer); code != kTypeUnknown) return {code, &row};
  }
  return {};
}

int IdentifyFile(SizingContext& ctx, std::span<const uint8_t> buffer, int64_t fileNumber,
                 std::string& name, int& typeCode, uint64_t& size) {
  try {
    const FirstMatch match = DetectFirstMatch(ctx, buffer);
    ctx.inStream = true;
    ctx.afterMts = false;
    typeCode = match.typeCode;
    // Nearly every sector matches nothing: no table walk for those.
    if (match.row == nullptr || match.row->size == nullptr) return kErrInvalidParameter;
    const FileTypeRow* row = FirstRowOfCode(match.typeCode);
    if (row == nullptr || row->size == nullptr) return kErrInvalidParameter;
    ctx.inStream = match.typeCode == kTypeTs;
    ctx.afterMts = match.typeCode == kTypeMts;
    name = std::to_string(fileNumber) + "." + row->extension;
    ctx.stopValue = 0;
    ctx.sectorsReadBySizing = 0;
    size = row->size(ctx, buffer);
    return ctx.stopValue == kCancelled ? kCancelled : kOk;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

bool MatchesExtension(SizingContext& ctx, std::span<const uint8_t> buffer,
                      std::string_view extension, SectorReader& reader, uint32_t bytesPerSector,
                      uint64_t startSector) {
  const FileTypeRow* row = FirstRowOfExtension(extension);
  if (row == nullptr) return true;
  ctx.SetCandidate(reader, bytesPerSector, startSector);
  ctx.inStream = false;
  if (row->detect == nullptr) return false;
  return row->detect(ctx, buffer) == row->typeCode;
}

bool MatchesExtension(std::span<const uint8_t> buffer, std::string_view extension,
                      SectorReader& reader, uint32_t bytesPerSector, uint64_t startSector) {
  try {
    SizingContext ctx;
    return MatchesExtension(ctx, buffer, extension, reader, bytesPerSector, startSector);
  } catch (const std::bad_alloc&) {
    return true;
  }
}

}  // namespace brinvale
