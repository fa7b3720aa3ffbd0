// The analysis of one FILE record the full scan met: the MFTs it knows,
// which of them owns the record, the cluster size, and the file record.
#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "deepscan/file_type_table.h"
#include "engines/ntfs/attribute.h"
#include "engines/ntfs/attribute_runs.h"
#include "engines/ntfs/attribute_walk.h"
#include "engines/ntfs/file_record.h"
#include "engines/ntfs/fixups.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/professional_ntfs_state.h"
#include "engines/ntfs/record_names.h"
#include "engines/ntfs/record_to_sector.h"
#include "platform/text.h"
#include "results/file_categories.h"

namespace brinvale {
namespace {

using namespace ntfs;

constexpr uint32_t kLastSystemRecord = 11;  // records 0..11 are never listed
constexpr uint32_t kExtendRecord = 11;      // the $Extend folder
constexpr uint64_t kMaxClusterBytes = 2u << 20;
// Every format leaves an $MFT record and its mirror copy; a medium with more
// than this many is damage or a trap, and each one costs every later record
// an ownership test.
constexpr size_t kMaxMfts = 256;

// The first $DATA of a repaired record, walked up to the record size; an
// $ATTRIBUTE_LIST before it means its runs may be split, so nothing.
std::optional<std::span<const uint8_t>> FirstData(std::span<const uint8_t> record,
                                                  uint32_t recordSize, bool unnamedOnly) {
  AttributeWalk walk(record, recordSize, WalkKind::kResidentData);
  while (walk.Next()) {
    const uint32_t type = walk.Type();
    if (type == 0 || type == kTypeAttributeList) return std::nullopt;
    if (type == kTypeData && (!unnamedOnly || IsUnnamed(walk.Attribute()))) return walk.Attribute();
  }
  return std::nullopt;
}

// Sectors per cluster from a non-resident attribute: allocated size over
// the clusters its runs cover. 0 unless that is a whole power of two and a
// cluster of at most 2 MiB.
uint32_t SectorsPerClusterOf(std::span<const uint8_t> attribute, const RunList& runs,
                             uint32_t bytesPerSector) {
  const auto allocated = AllocatedSize(attribute);
  const uint64_t clusters = TotalClusters(runs);
  if (!allocated || clusters == 0 || bytesPerSector == 0) return 0;
  if (*allocated % clusters != 0) return 0;
  const uint64_t clusterBytes = *allocated / clusters;
  if (clusterBytes == 0 || clusterBytes > kMaxClusterBytes || clusterBytes % bytesPerSector != 0)
    return 0;
  const uint64_t spc = clusterBytes / bytesPerSector;
  return (spc & (spc - 1)) == 0 ? uint32_t(spc) : 0;
}

// The estimate a record gives: its first $DATA, when non-resident.
uint32_t EstimateSectorsPerCluster(std::span<const uint8_t> record, uint32_t recordSize,
                                   uint32_t bytesPerSector) {
  const auto data = FirstData(record, recordSize, false);
  if (!data || !IsNonResident(*data)) return 0;
  RunList runs;
  DecodeRunList(*data, runs);
  return SectorsPerClusterOf(*data, runs, bytesPerSector);
}

bool NameIsMft(const std::u16string& name) {
  static constexpr char16_t kMft[] = u"$MFT";
  if (name.size() != 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    char16_t c = name[i];
    if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    if (c != kMft[i]) return false;
  }
  return true;
}

}  // namespace

size_t CProfessionalNtfsRecovery::AddView(const RunList& runs, uint64_t fsStart,
                                          uint32_t sectorsPerCluster) {
  ProNtfsView view;
  view.locator = m_volume;
  view.locator.startSector = fsStart;
  view.locator.sectorsPerCluster = sectorsPerCluster;
  view.locator.mftRuns = runs;
  view.fsStart = fsStart;
  m_state->views.push_back(std::move(view));
  return m_state->views.size() - 1;
}

void CProfessionalNtfsRecovery::RegisterBootMft(std::span<const uint8_t> boot,
                                                uint32_t mediumBytesPerSector) {
  uint32_t bootBytesPerSector = LoadLe16(boot, boot::kBytesPerSector);
  if (bootBytesPerSector == 0) bootBytesPerSector = 512;
  NtfsVolume parsed;
  parsed.startSector = 0;
  if (ParseNtfsBootSector(boot, parsed) != kOk) return;
  // An image of a disk with larger sectors is still read in 512-byte
  // sectors, but its records are as large as its own sectors.
  if (bootBytesPerSector > mediumBytesPerSector && bootBytesPerSector % mediumBytesPerSector == 0) {
    m_volume.recordSize = bootBytesPerSector;
    m_volume.sectorsPerRecord = bootBytesPerSector / mediumBytesPerSector;
  }
  const uint64_t clusterBytes = uint64_t(parsed.sectorsPerCluster) * parsed.bytesPerSector;
  if (clusterBytes % mediumBytesPerSector != 0) return;
  const uint32_t spc = uint32_t(clusterBytes / mediumBytesPerSector);
  uint64_t mftCluster = LoadLe64(boot, boot::kMftCluster), mftStart = 0;
  if (__builtin_mul_overflow(mftCluster, uint64_t(spc), &mftStart) ||
      __builtin_add_overflow(mftStart, m_volume.startSector, &mftStart))
    return;
  NtfsVolume locator = m_volume;
  locator.sectorsPerCluster = spc;
  locator.mftStartSector = mftStart;
  if (ReadMftRunList(locator, m_reader) != kOk) return;
  m_mfts[mftStart] = locator.mftRuns;
  m_state->mftViews[mftStart] = AddView(locator.mftRuns, m_volume.startSector, spc);
}

void CProfessionalNtfsRecovery::RegisterMft(std::span<const uint8_t> record, uint64_t sector) {
  // The first piece of the unnamed $DATA, which starts at cluster 0 and so
  // tells where record 0 lies; a large MFT continues in extension records
  // its $ATTRIBUTE_LIST names.
  std::optional<std::span<const uint8_t>> data;
  bool listed = false;
  AttributeWalk walk(record, m_volume.recordSize, WalkKind::kResidentData);
  while (walk.Next()) {
    const auto a = walk.Attribute();
    if (walk.Type() == 0) break;
    if (walk.Type() == kTypeAttributeList) listed = true;
    if (!data && walk.Type() == kTypeData && IsUnnamed(a) && IsNonResident(a) &&
        LowestVcn(a) == uint64_t(0))
      data = a;
  }
  if (!data) return;
  RunList runs;
  DecodeRunList(*data, runs);
  if (runs.empty() || runs[0].sparse || runs[0].clusterDelta < 0) return;
  if (m_mfts.size() >= kMaxMfts && m_mfts.count(sector) == 0) return;
  uint32_t spc = SectorsPerClusterOf(*data, runs, m_volume.bytesPerSector);
  if (spc == 0) spc = m_sectorsPerCluster;
  // Record 0 lies at the start of the MFT's first run.
  auto place = [&](uint32_t sectorsPerCluster, uint64_t& fsStart) {
    uint64_t firstSector = 0;
    if (__builtin_mul_overflow(uint64_t(runs[0].clusterDelta), uint64_t(sectorsPerCluster),
                               &firstSector) ||
        firstSector > sector)
      return false;
    fsStart = sector - firstSector;
    return true;
  };
  uint64_t fsStart = 0;
  if (!place(spc, fsStart)) return;
  if (listed) {
    // Read the whole list through the runs known so far; the allocated size
    // over all clusters then gives the cluster size when the first piece
    // alone could not.
    NtfsVolume locator = m_volume;
    locator.startSector = fsStart;
    locator.sectorsPerCluster = spc;
    locator.mftRuns = runs;
    RunList full;
    if (FindAttributeRuns(locator, m_reader, sector, kTypeData, full) == kOk &&
        TotalClusters(full) > TotalClusters(runs) && !full.empty() &&
        full[0].clusterDelta == runs[0].clusterDelta) {
      const uint32_t exact = SectorsPerClusterOf(*data, full, m_volume.bytesPerSector);
      uint64_t start = fsStart;
      if (exact == 0 || place(exact, start)) {
        if (exact != 0) spc = exact;
        fsStart = start;
        runs = std::move(full);
      }
    }
  }
  m_mfts[sector] = runs;
  m_state->mftViews[sector] = AddView(runs, fsStart, spc);
}

size_t CProfessionalNtfsRecovery::ViewFor(uint32_t number, uint64_t sector, bool& owned) {
  owned = false;
  for (const auto& [key, index] : m_state->mftViews) {
    uint64_t at = 0;
    if (RecordToSector(m_state->views[index].locator, number, at) == kOk && at == sector) {
      owned = true;
      return index;
    }
  }
  // No known MFT places the record here: take its MFT as contiguous, with
  // record 0 where this record's number puts it.
  const uint64_t offset = uint64_t(number) * m_volume.sectorsPerRecord;
  const uint64_t base = offset <= sector ? sector - offset : 0;
  auto found = m_state->contiguousViews.find(base);
  if (found != m_state->contiguousViews.end()) return found->second;
  ProNtfsView view;
  view.locator = m_volume;
  view.locator.startSector = base;
  view.locator.sectorsPerCluster = 1;
  // One run long enough for any 32-bit record number.
  view.locator.mftRuns = {{uint64_t(UINT32_MAX) * m_volume.sectorsPerRecord + 16, 0, false}};
  view.fsStart = m_volume.startSector;
  view.contiguous = true;
  m_state->views.push_back(std::move(view));
  const size_t index = m_state->views.size() - 1;
  m_state->contiguousViews[base] = index;
  return index;
}

int CProfessionalNtfsRecovery::AnalyseRecord(std::span<const uint8_t> record, uint64_t sector) {
  try {
    const uint32_t size = m_volume.recordSize;
    if (!m_open || size == 0) return kErrInvalidParameter;
    if (record.size() < size) return kErrInvalidParameter;
    // On a formatted volume the old in-use flag means nothing: every record
    // but a folder's is a file.
    if (record.size() >= record::kHeaderBytes &&
        (LoadLe16(record, record::kFlags) & record::kFlagDirectory) != 0)
      return kOk;
    if (!HasFileSignature(record)) return kNotFileRecord;
    std::vector<uint8_t>& buffer = m_state->record;
    buffer.assign(record.begin(), record.begin() + size);
    ApplyFixups(buffer, size);
    const uint32_t first = FirstAttributeOffset(buffer);
    const uint32_t inUse = BytesInUse(buffer);
    if (first >= size || inUse > size || first > inUse) return kErrInvalidParameter;
    return AnalyseFile(buffer, sector);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CProfessionalNtfsRecovery::AnalyseFile(std::span<const uint8_t> record, uint64_t sector) {
  const uint32_t number = RecordNumberOf(record);
  if (BaseRecordNumberOf(record) != 0) return kOk;  // an extension record is no file of its own
  const RecordNames names = ReadRecordNames(record, m_volume.recordSize, WalkKind::kParentChain);
  if (!names.found) return kOk;
  if (number == 0) {
    if (NameIsMft(names.name) || NameIsMft(names.first.name)) RegisterMft(record, sector);
    return kOk;
  }
  if (number <= kLastSystemRecord) return kOk;
  // $ObjId, $Quota, $Reparse, $UsnJrnl and the like live in $Extend: file
  // system metadata, not anybody's files.
  if (names.first.parentRecord == kExtendRecord) return kOk;

  const uint32_t estimate =
      EstimateSectorsPerCluster(record, m_volume.recordSize, m_volume.bytesPerSector);
  if (estimate != 0) m_sectorsPerCluster = estimate;
  bool owned = false;
  const size_t view = ViewFor(number, sector, owned);
  // The record's own estimate first, then its MFT's cluster size.
  uint32_t spc = estimate;
  if (spc == 0) spc = owned ? m_state->views[view].locator.sectorsPerCluster : m_sectorsPerCluster;
  const uint64_t fsStart = m_state->views[view].fsStart;

  const uint32_t parent = uint32_t(names.first.parentRecord);
  uint32_t level = 0;
  bool onCycle = false;  // a file is never its own folder's parent
  (void)ParentChain(parent, view, number, level, onCycle);
  if (!m_store || !m_store->IsOpen()) return kOk;

  ScanRecord r;
  r.SetSourceKey(m_volume.driveLetter);
  r.SetEngine(kEngineCode);
  r.SetIsFolder(false);
  r.SetEntryKey(number);
  r.SetClusterBytes(spc * m_volume.bytesPerSector);
  r.SetCreated(names.first.created);
  r.SetAccessed(names.first.accessed);
  r.SetWritten(names.first.modified);
  r.SetFileSize(names.size);
  r.SetMetadataSector(sector);
  r.SetPartitionStart(fsStart);
  r.SetName(platform::Utf16ToUtf8(names.name));
  r.SetContentCheck(ContentCheck(record, fsStart, spc, r.Name()));
  const uint32_t logged = m_store->AppendRecord(r);
  m_store->AddRelation(uint64_t(parent == kRootRecord ? 0 : level) << 32 | parent, logged);
  return kOk;
}

uint32_t CProfessionalNtfsRecovery::ContentCheck(std::span<const uint8_t> record, uint64_t fsStart,
                                                 uint32_t sectorsPerCluster,
                                                 std::string_view name) {
  const auto data = FirstData(record, m_volume.recordSize, true);
  if (!data) return 1;
  const std::string extension = ExtensionOf(name);
  const uint32_t bps = m_volume.bytesPerSector;
  if (!m_state->sizing && !extension.empty()) m_state->sizing = std::make_unique<SizingContext>();
  if (!IsNonResident(*data)) {
    const auto value = ResidentValue(*data);
    if (!value) return 1;
    if (value->empty()) return 0;
    if (extension.empty()) return 1;
    return uint32_t(MatchesExtension(*m_state->sizing, *value, extension, m_reader, bps, 0));
  }
  if (extension.empty()) return 1;
  RunList runs;
  DecodeRunList(*data, runs);
  if (runs.empty() || runs[0].sparse || runs[0].clusterDelta < 0) return 1;
  uint64_t at = 0;
  if (__builtin_mul_overflow(uint64_t(runs[0].clusterDelta), uint64_t(sectorsPerCluster), &at) ||
      __builtin_add_overflow(at, fsStart, &at) || at == 0)
    return 1;
  std::vector<uint8_t> first(bps);
  uint32_t got = 0;
  if (ReadSectors(1, m_reader, first.data(), at, bps, got) != kOk) return 1;
  return uint32_t(MatchesExtension(*m_state->sizing, first, extension, m_reader, bps, at));
}

}  // namespace brinvale
