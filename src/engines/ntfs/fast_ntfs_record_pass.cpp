// The record pass and the folder pass of the quick NTFS scan.
#include <algorithm>
#include <cstring>
#include <new>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "deepscan/file_type_table.h"
#include "engines/ntfs/attribute_runs.h"
#include "engines/ntfs/attribute_walk.h"
#include "engines/ntfs/fast_ntfs_recovery.h"
#include "engines/ntfs/file_record.h"
#include "engines/ntfs/fixups.h"
#include "engines/ntfs/mft_step_reader.h"
#include "engines/ntfs/mft_steps.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/record_names.h"
#include "engines/ntfs/record_to_sector.h"
#include "engines/ntfs/resident_data.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "results/file_categories.h"

namespace brinvale {
namespace {

constexpr uint32_t kEstimateEveryMs = 5000;

using FoundName = RecordNames;

FoundName ReadNames(std::span<const uint8_t> record, uint32_t recordSize) {
  return ReadRecordNames(record, recordSize, WalkKind::kRecordAnalysis);
}

void FillCommon(ScanRecord& r, const NtfsVolume& volume, const FoundName& names,
                uint32_t recordNumber, uint64_t sector) {
  r.SetSourceKey(volume.driveLetter);
  r.SetEngine(EngineCode::kQuickNtfs);
  r.SetEntryKey(recordNumber);
  r.SetClusterBytes(volume.ClusterBytes());
  r.SetCreated(names.first.created);
  r.SetAccessed(names.first.accessed);
  r.SetWritten(names.first.modified);
  r.SetFileSize(names.size);
  r.SetMetadataSector(sector);
  r.SetPartitionStart(volume.startSector);
  r.SetName(platform::Utf16ToUtf8(names.name));
}

}  // namespace

int CFastNtfsRecovery::RecordPass() {
  const uint32_t bps = m_volume.bytesPerSector;
  const uint32_t rs = m_volume.recordSize;
  const size_t batchBytes = size_t(rs) * m_stepRecords;
  if (bps == 0 || rs == 0 || m_volume.sectorsPerCluster == 0) return kOk;
  std::vector<PlacedRun> placed;
  PlaceRuns(m_volume.mftRuns, placed);
  const std::vector<MftStep> steps = PlanMftSteps(m_volume, placed, batchBytes);
  MftStepReader reader(m_reader, bps, steps, batchBytes);

  std::vector<uint8_t> carried(rs);  // the front of a record split over two steps
  for (const MftStep& step : steps) {
    if (step.sparse) {
      m_processed += step.sectors;
      continue;
    }
    MftStepReader::Batch& batch = reader.Next();
    uint8_t* const front = batch.bytes.data();
    std::memcpy(front, carried.data(), step.carry);
    const size_t available = step.carry + size_t(step.sectors) * bps;
    const size_t whole = available / rs;
    for (size_t i = 0; i < whole; ++i) {
      const size_t offset = i * rs;
      // A record that began in the run before has no single sector: skip it.
      if (offset < step.carry) continue;
      const uint64_t sector = step.first + (offset - step.carry) / bps;
      try {
        AnalyseFileRecord(std::span<uint8_t>(front + offset, rs), step.firstRecord + i, sector,
                          batch.whole);
      } catch (const std::bad_alloc&) {
        throw;
      } catch (...) {
        // One damaged record never stops the pass.
      }
    }
    std::memcpy(carried.data(), front + whole * rs, available - whole * rs);

    m_processed += step.sectors;
    const uint32_t now = platform::TickCountMs();
    if (m_scale == 100 && now - m_lastEstimateTick >= kEstimateEveryMs) {
      m_lastEstimateTick = now;
      const uint64_t elapsed = std::max<uint64_t>((now - m_startTick) / 1000, 1);
      uint64_t rate = m_processed * bps / elapsed;
      if (rate == 0) rate = 1;
      const uint64_t left =
          m_totalSectors > m_processed ? (m_totalSectors - m_processed) * bps / rate : 0;
      m_secondsLeft = int(std::min<uint64_t>(left, INT32_MAX));
    }
    const int percent =
        m_totalSectors == 0
            ? 100
            : int(std::min<double>(100.0, double(m_processed) * 100.0 / double(m_totalSectors)));
    if (int rc = ReportProgress(percent); rc != 0) return rc;
  }
  return kOk;
}

void CFastNtfsRecovery::AnalyseFileRecord(std::span<uint8_t> record, uint64_t recordNumber,
                                          uint64_t sector, bool readWhole) {
  if (LoadLe16(record, ntfs::record::kFlags) != 0) return;  // in use, or a folder
  if (!HasFileSignature(record)) return;
  if (recordNumber <= kLastSystemRecord || recordNumber > UINT32_MAX) return;
  if (BaseRecordNumberOf(record) != 0) return;  // an extension record is no file of its own
  ApplyFixups(record, m_volume.recordSize);
  const FoundName names = ReadNames(record, m_volume.recordSize);
  if (!names.found) return;

  const uint32_t parent = uint32_t(names.first.parentRecord);
  const FolderNode& node = ResolveFolder(parent);
  const uint64_t key =
      parent == kRootRecord ? uint64_t(kRootRecord) : uint64_t(node.level) << 32 | parent;

  ScanRecord r;
  FillCommon(r, m_volume, names, uint32_t(recordNumber), sector);
  r.SetIsFolder(false);
  // The record in hand is the one on the medium unless a sector of it
  // failed: then it is read again, and a read that fails again counts.
  r.SetContentCheck(
      ContentCheck(readWhole ? std::span<const uint8_t>(record) : std::span<const uint8_t>(),
                   sector, r.Name()));
  const uint32_t number = m_store->AppendRecord(r);
  m_store->AddRelation(key, number);
}

bool CFastNtfsRecovery::ReadFixedRecord(uint64_t number, uint64_t& sector) {
  if (RecordToSector(m_volume, number, sector) != kOk) return false;
  if (ReadRecord(m_volume, m_reader, sector, m_recordBuffer) != kOk) return false;
  if (!HasFileSignature(m_recordBuffer)) return false;
  ApplyFixups(m_recordBuffer, m_volume.recordSize);
  return true;
}

const CFastNtfsRecovery::FolderNode& CFastNtfsRecovery::ResolveFolder(uint32_t number) {
  static const FolderNode kRoot{kRootRecord, 0, false, true};
  if (number == kRootRecord) return kRoot;
  // Walk up until the root, a folder already resolved, a folder that is no
  // longer one, or a folder already on this walk (a cycle); then give the
  // folders of the walk their levels downwards.
  std::vector<uint32_t> walk;
  uint32_t base = 0;
  uint32_t current = number;
  while (true) {
    if (current == kRootRecord) break;
    auto found = m_folders.find(current);
    if (found != m_folders.end()) {
      if (found->second.resolved) {
        base = found->second.level;
        break;
      }
      // A cycle: the folder that points back is cut loose as a lost folder.
      if (walk.empty()) walk.push_back(current);
      FolderNode& cut = m_folders[walk.back()];
      cut.lost = true;
      cut.level = 1;
      cut.resolved = true;
      walk.pop_back();
      base = 1;
      break;
    }
    m_folderList.push_back(current);
    FolderNode& node = m_folders[current];
    uint64_t sector = 0;
    bool directory = false;
    FoundName names;
    if (ReadFixedRecord(current, sector)) {
      directory = (RecordFlags(m_recordBuffer) & ntfs::record::kFlagDirectory) != 0;
      if (directory) {
        AttributeWalk attributes(m_recordBuffer, m_volume.recordSize, WalkKind::kParentChain);
        while (attributes.Next()) {
          if (attributes.Type() != ntfs::kTypeFileName) continue;
          FileNameInfo info;
          if (DecodeFileName(attributes.Attribute(), info)) {
            names.found = true;
            names.first = std::move(info);
            break;
          }
        }
      }
    }
    if (!directory || !names.found) {
      node.lost = true;
      node.level = 1;
      node.resolved = true;
      base = 1;
      break;
    }
    node.parent = uint32_t(names.first.parentRecord);
    walk.push_back(current);
    current = node.parent;
  }
  for (auto it = walk.rbegin(); it != walk.rend(); ++it) {
    FolderNode& node = m_folders[*it];
    node.level = ++base;
    node.resolved = true;
  }
  return m_folders[number];
}

int CFastNtfsRecovery::FolderPass() {
  // Folders are all known once the record pass ends: resolving a chain
  // reads every folder on it.
  for (size_t i = 0; i < m_folderList.size(); ++i) {
    try {
      AnalyseFolder(m_folderList[i]);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (...) {
    }
  }
  return kOk;
}

void CFastNtfsRecovery::WriteLostFolder(uint32_t recordNumber) {
  ScanRecord r;
  r.SetSourceKey(m_volume.driveLetter);
  r.SetEngine(EngineCode::kQuickNtfs);
  r.SetIsFolder(true);
  r.SetContentCheck(1);
  r.SetEntryKey(recordNumber);
  r.SetClusterBytes(0xFFFFFFFF);
  const std::string name = "LostFolder" + std::to_string(recordNumber);
  r.SetName(name);
  const uint32_t number = m_store->AppendRecord(r);
  m_store->AddRelation(kRootRecord, number, recordNumber, name);
}

void CFastNtfsRecovery::AnalyseFolder(uint32_t recordNumber) {
  const FolderNode node = m_folders[recordNumber];
  uint64_t sector = 0;
  if (node.lost || !ReadFixedRecord(recordNumber, sector)) {
    WriteLostFolder(recordNumber);
    return;
  }
  const FoundName names = ReadNames(m_recordBuffer, m_volume.recordSize);
  if (!names.found) {
    WriteLostFolder(recordNumber);
    return;
  }
  const uint32_t parent = node.parent;
  const uint32_t parentLevel = parent == kRootRecord ? 0 : m_folders[parent].level;
  const uint64_t key = uint64_t(parentLevel) << 32 | parent;
  ScanRecord r;
  FillCommon(r, m_volume, names, recordNumber, sector);
  r.SetIsFolder(true);
  r.SetContentCheck(1);
  const std::string name(r.Name());
  const uint32_t number = m_store->AppendRecord(r);
  m_store->AddRelation(key, number, recordNumber, name);
}

uint32_t CFastNtfsRecovery::ContentCheck(std::span<const uint8_t> record, uint64_t recordSector,
                                         std::string_view name) {
  const std::string extension = ExtensionOf(name);
  const uint32_t bps = m_volume.bytesPerSector;
  std::vector<uint8_t> data;
  RunList runs;
  try {
    std::vector<uint8_t> reread;
    if (record.empty()) {
      if (LoadFileRecord(m_volume, m_reader, recordSector, reread) != kOk) return 1;
      record = reread;
    }
    const int rc = ResidentDataOf(m_volume, record, data);
    if (rc == kOk && data.empty()) return 0;
    if (extension.empty() || !m_sizing) return 1;
    if (rc != kOk && (rc != -101 ||
                      AttributeRunsOf(m_volume, m_reader, record, ntfs::kTypeData, runs) != kOk ||
                      runs.empty()))
      return 1;
  } catch (const std::bad_alloc&) {
    return 1;
  }
  if (runs.empty()) return uint32_t(MatchesExtension(*m_sizing, data, extension, m_reader, bps, 0));
  std::vector<PlacedRun> placed;
  PlaceRuns(runs, placed);
  if (placed.empty() || placed[0].sparse) return 1;
  uint64_t sector = 0;
  if (__builtin_mul_overflow(placed[0].startCluster, uint64_t(m_volume.sectorsPerCluster),
                             &sector) ||
      __builtin_add_overflow(sector, m_volume.startSector, &sector) || sector == 0)
    return 1;
  std::vector<uint8_t> first(bps);
  uint32_t got = 0;
  if (ReadSectors(1, m_reader, first.data(), sector, bps, got) != kOk) return 1;
  return uint32_t(MatchesExtension(*m_sizing, first, extension, m_reader, bps, sector));
}

}  // namespace brinvale
