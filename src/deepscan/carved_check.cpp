#include "deepscan/carved_check.h"

#include <algorithm>
#include <string>

#include "deepscan/carved_bytes.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/file_type_table.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {
namespace {

struct WalkerRow {
  int typeCode;
  CarvedWalker walk;
};

// clang-format off
constexpr WalkerRow kWalkers[] = {
    // code                   walker
    {kTypeJpeg,               CheckJpeg},
    {kTypePng,                CheckPng},
    {kTypeGif,                CheckGif},
    {kTypeBmp,                CheckBmp},
    {kTypeTiff,               CheckTiff},
    {kTypePsd,                CheckPsd},
    {kTypeIco,                CheckIco},
    {kTypePdf,                CheckPdf},
    {kTypeZip,                CheckZip},
    {kTypeWordPackage,        CheckZip},
    {kTypeExcelPackage,       CheckZip},
    {kTypePowerPointPackage,  CheckZip},
    {kTypeWord,               CheckCompoundDocument},
    {kTypeExcel,              CheckCompoundDocument},
    {kTypePowerPoint,         CheckCompoundDocument},
    {kTypeCompound,           CheckCompoundDocument},
    {kTypeFla,                CheckCompoundDocument},
    {kType7z,                 Check7z},
    {kTypeRar,                CheckRar},
    {kTypeGzip,               CheckGzip},
    {kTypeCab,                CheckCab},
    {kTypeExe,                CheckPe},
    {kTypeDll,                CheckPe},
    {kTypeSys,                CheckPe},
    {kTypeSqlite,             CheckSqlite},
    {kTypePst,                CheckPst},
    {kTypeTrueType,           CheckTrueType},
    {kTypeAvi,                CheckRiff},
    {kTypeWav,                CheckRiff},
    {kTypeMp4,                CheckIsoBmff},
    {kTypeMov,                CheckIsoBmff},
    {kType3gp,                CheckIsoBmff},
    {kTypeMkv,                CheckMatroska},
    {kTypeFlv,                CheckFlv},
    {kTypeSwf,                CheckSwf},
    {kTypeMpeg,               CheckMpegProgram},
    {kTypeTs,                 CheckTransportStream},
    {kTypeMts,                CheckMts},
    {kTypeMp3,                CheckMpegAudio},
    {kTypeMp2,                CheckMpegAudio},
    {kTypeAsf,                CheckAsf},
    {kTypeApe,                CheckApe},
    {kTypeMidi,               CheckMidi},
    {kTypeMmf,                CheckMmf},
    {kTypeRealMedia,          CheckRealMedia},
    {kTypeMxf,                CheckMxf},
    // No rule: GHO (its structure is not published) and DBX (no field
    // states the file's length).
};

// Formats without a row in the format table (never carved), checked when
// a file system names them.
struct ExtensionWalker {
  std::string_view extension;
  CarvedWalker walk;
};
constexpr ExtensionWalker kUncarvedWalkers[] = {
    {"bz2",  CheckBzip2},
    {"xz",   CheckXz},
    {"tar",  CheckTar},
    {"otf",  CheckTrueType},
    {"ttc",  CheckTrueType},
    {"ogg",  CheckOgg},
    {"oga",  CheckOgg},
    {"ogv",  CheckOgg},
    {"opus", CheckOgg},
    {"webm", CheckMatroska},
    {"m4a",  CheckIsoBmff},
    {"m4v",  CheckIsoBmff},
};
// clang-format on

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

CarvedWalker WalkerForExtension(std::string_view extension) {
  if (EqualsNoCase(extension, "rtf")) return CheckRtf;
  for (const ExtensionWalker& w : kUncarvedWalkers)
    if (EqualsNoCase(extension, w.extension)) return w.walk;
  const FileTypeRow* row = FirstRowOfExtension(extension);
  if (row == nullptr) return nullptr;
  for (const WalkerRow& w : kWalkers)
    if (w.typeCode == row->typeCode) return w.walk;
  return nullptr;
}

std::string_view CarvedExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

uint64_t CheckedExtent(uint64_t size, uint32_t bytesPerSector, uint64_t startSector,
                       uint64_t totalSectors) {
  if (bytesPerSector == 0 || startSector >= totalSectors) return 0;
  const uint64_t sectors = size / bytesPerSector + (size % bytesPerSector != 0);
  const uint64_t left = totalSectors - startSector;
  if (std::min(sectors, left) > UINT64_MAX / bytesPerSector) return size;
  return std::min(sectors, left) * bytesPerSector;
}

CarvedVerdict CheckCarvedRecord(const ScanRecord& record, SectorReader& reader,
                                uint32_t bytesPerSector) {
  const std::string name(record.Name());
  const CarvedWalker walk = WalkerForExtension(CarvedExtension(name));
  if (walk == nullptr) return {};
  const uint64_t start = record.MetadataSector();
  const uint64_t extent =
      CheckedExtent(record.FileSize(), bytesPerSector, start, reader.totalSectors);
  if (extent == 0) return DamagedVerdict(CarvedFault::kUnreadable);
  CarvedBytes file(reader, bytesPerSector, start, extent);
  CarvedVerdict verdict = walk(file);
  if (verdict.condition == CarvedCondition::kDamaged && file.ReadFailed())
    verdict.fault = CarvedFault::kUnreadable;
  if (verdict.condition == CarvedCondition::kComplete &&
      (verdict.exactLength == 0 || verdict.exactLength > extent))
    return DamagedVerdict(CarvedFault::kBadStructure);
  if (verdict.streamEnd > extent) verdict.streamEnd = 0;
  return verdict;
}

}  // namespace brinvale
