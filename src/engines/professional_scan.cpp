// The full scan: the quick step, then one pass over the medium in which
// every sector goes to the engine that recognises it.
#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <system_error>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "deepscan/fat_directory_tests.h"
#include "deepscan/file_type_recovery.h"
#include "device/read_ahead.h"
#include "engines/fat/fast_fat_recovery.h"
#include "engines/fat/professional_fat_recovery.h"
#include "engines/ntfs/fast_ntfs_recovery.h"
#include "engines/ntfs/professional_ntfs_recovery.h"
#include "engines/professional_recovery.h"
#include "engines/sector_marks.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "results/scan_log_folders.h"
#include "results/scan_log_name.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

// Bytes read at a FILE record that begins too near the end of a chunk.
constexpr uint32_t kRecordReadBytes = 8192;
constexpr uint16_t kDirectoryFlag = 0x02;

// A FILE record as it lies on the medium: the signature, bytes in use that
// fit the record, an allocated size equal to the record size, and the
// update sequence number repeated in the last two bytes of the first
// 512-byte stride. `signature` is HasFileRecordSignature's answer.
bool LooksLikeFileRecord(std::span<const uint8_t> sector, bool signature, uint32_t recordSize) {
  return signature && LoadLe32(sector, 0x18) <= recordSize && LoadLe32(sector, 0x1C) == recordSize;
}

// Sectors per part of a request marked on the crew: small enough for the
// parts to share out evenly, large enough to be worth a hand-over.
constexpr uint64_t kMarkPartSectors = 512;

// The sector size the quick engine counts its free ranges in.
uint32_t QuickSectorBytes(IRidiRedazuvoParse* quick, uint32_t fallback) {
  if (auto* fat = dynamic_cast<CFastFatRecovery*>(quick); fat && fat->Geometry())
    return fat->Geometry()->bytesPerSector;
  if (auto* ntfs = dynamic_cast<CFastNtfsRecovery*>(quick)) return ntfs->Volume().bytesPerSector;
  return fallback;
}

fs::path PathFromUtf16(const std::u16string& text) {
  return platform::PathFromUtf8(platform::Utf16ToUtf8(text));
}

}  // namespace

// Where the pass stands; its first four fields are kept in the resume point.
struct CProfessionalRecovery::Pass {
  uint64_t rangeStart = 0;  // sectors from the partition start
  uint64_t rangeLength = 0;
  uint64_t doneInRange = 0;
  uint64_t doneTotal = 0;
  uint64_t total = 0;  // sectors the pass covers
  // The stretches the pass reads, ascending and disjoint, in sectors from
  // the medium start.
  std::vector<SectorRange> ranges;
  uint32_t startTick = 0;
  uint32_t lastEstimateTick = 0;
  int secondsLeft = -1;
  uint64_t filesFound = 0;  // the content engine's running count
  uint64_t stoppedAt = 0;   // sectors of a chunk dispatched before a stop
  std::vector<uint8_t> buffer;
  std::vector<uint8_t> record;
  // The marks of the request being offered, in sector order, and those of
  // each part as the crew made them.
  std::vector<SectorMark> marks;
  std::vector<std::vector<SectorMark>> partMarks;
};

namespace {

// The next free range at or after `start`, restated in the coordinator's
// sectors; false when there is none.
bool NextRange(IRidiRedazuvoParse& quick, uint32_t quickBytes, uint32_t bytesPerSector,
               uint64_t from, uint64_t& start, uint64_t& length) {
  // `from` is in the coordinator's sectors; ask from the quick sector that
  // holds it.
  uint64_t qs = from * bytesPerSector / quickBytes;
  uint64_t ql = 0;
  if (quick.NextFreeRange(qs, ql) != 1 || ql == 0) return false;
  const uint64_t first = qs * quickBytes / bytesPerSector;
  const uint64_t end = ((qs + ql) * quickBytes + bytesPerSector - 1) / bytesPerSector;
  start = std::max(first, from);
  if (end <= start) return false;
  length = end - start;
  return true;
}

}  // namespace

int CProfessionalRecovery::Scan(const fs::path*) {
  if (m_openResult != kOk) return m_openResult;
  try {
    const bool resuming = m_earlierScan;
    ChooseLogFolder(resuming);
    Pass pass;
    if (int rc = RunQuickStep(resuming, pass); rc != kOk) return rc;
    if (int rc = OpenPassEngines(resuming); rc != kOk) return rc;
    // The layout of a FAT boot sector still in place.
    (void)m_fat->ReadBootGeometry();
    // And those of the partitions of a disk.
    for (const QuickStep& step : m_quicks)
      if (step.start != 0) (void)m_fat->AddPartitionGeometry(step.start);
    ShareQuickListing();
    PlanPass(pass);
    if (resuming) ApplyResumePoint(pass);
    // The pass tests the sectors of each request on the crew, then offers
    // them in order on this thread; the check step walks carved files on
    // it. Without threads to be had, each sector is tested as it is
    // offered.
    m_crew.reset();
    if (const size_t workers = PassWorkers(); workers > 1) {
      try {
        m_crew = std::make_unique<WorkCrew>(workers);
      } catch (const std::system_error&) {
      }
    }
    struct CrewGone {
      std::unique_ptr<WorkCrew>& crew;
      ~CrewGone() { crew.reset(); }
    } crewGone{m_crew};
    int stop = RunPass(pass);
    FinishEngines();
    // The check step reads each carved file once more, after the pass.
    // Only a stop ends the scan there: a verdict that could not be kept is
    // found again when it is asked for.
    m_checkStepMs = 0;
    if (stop == kOk) {
      const uint32_t checkStart = platform::TickCountMs();
      if (m_content->CheckCarvedFiles(m_scanCallback, m_user, m_crew.get()) == kCancelled)
        stop = kCancelled;
      m_checkStepMs = platform::TickCountMs() - checkStart;
    }
    if (stop == kOk && m_scanCallback != nullptr)
      (void)m_scanCallback(m_user, 100, 100, 0, 0, 0, 0, 0);
    RecordResumePoint(pass);
    return stop;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

void CProfessionalRecovery::ChooseLogFolder(bool resuming) {
  if (resuming) {
    m_folder = PathFromUtf16(m_entry.folder);
  } else {
    // An earlier scan whose logs are damaged is replaced by this one.
    DeclineEarlierScan();
    m_history.BeginNewFolder();
    m_folder = m_history.CurrentFolder();
  }
  SetLogFolders(m_folder);
}

bool CProfessionalRecovery::FindEarlierLog(bool resuming, std::string_view prefix,
                                           fs::path& name) const {
  std::string found;
  if (!resuming || FindScanLogFile(m_folder, prefix, found) != kOk) return false;
  name = platform::PathFromUtf8(found);
  return true;
}

int CProfessionalRecovery::RunQuickStep(bool resuming, Pass&) {
  for (QuickStep& step : m_quicks) {
    if (!step.engine) continue;
    step.engine->SetProgressCallback(m_scanCallback, m_copyCallback, m_user, 9);
    step.mapped = step.engine->BuildAllocationMap() == kOk;
    // One volume keeps the one quick log of the folder; the partitions of
    // a disk image each find theirs by its start in the name.
    const std::string prefix =
        m_quicks.size() == 1
            ? std::string(kQuickLogPrefix)
            : std::string(kQuickLogPrefix) + std::to_string(m_start + step.start) + "_";
    fs::path quickLog;
    const int rc = FindEarlierLog(resuming, prefix, quickLog) ? step.engine->Scan(&quickLog)
                                                              : step.engine->Scan(nullptr);
    if (rc == kCancelled) {
      if (!resuming) m_history.TakeBackFolder();
      return rc;
    }
    if (rc != kOk) {
      // A damaged file system is what this scan is for: without the quick
      // engine's results the pass simply covers its whole volume.
      step.engine.reset();
      step.mapped = false;
    }
  }
  return kOk;
}

void CProfessionalRecovery::ShareQuickListing() {
  m_quickListing = FatQuickListing();
  m_fat->SetQuickListing(nullptr);
  // A volume's quick engine places its folders too; the partitions of a
  // disk give the entries they listed.
  const bool volume = SingleQuick() != nullptr;
  bool any = false;
  for (IRidiRedazuvoParse* engine : QuickEngines()) {
    auto* quick = dynamic_cast<CFastFatRecovery*>(engine);
    if (quick == nullptr || quick->Store() == nullptr || !quick->Store()->IsOpen()) continue;
    // Without the whole listing an entry could be left out by both engines:
    // then this engine files everything it finds, as on its own.
    if (m_quickListing.Collect(*quick->Store(), volume) != kOk) {
      m_quickListing = FatQuickListing();
      return;
    }
    any = true;
  }
  if (any) m_fat->SetQuickListing(&m_quickListing);
}

int CProfessionalRecovery::OpenPassEngines(bool resuming) {
  fs::path log;
  int rc;
  if (FindEarlierLog(resuming, kContentLogPrefix, log)) {
    rc = m_imagePath.empty()
             ? m_content->OpenForDisk(m_bytesPerSector, m_diskNumber, log, m_letter)
             : m_content->OpenForImage(m_bytesPerSector, log, m_letter, m_imagePath);
  } else {
    if (m_imagePath.empty())
      rc = m_content->OpenPartition(m_diskNumber, m_start, m_count, m_letter);
    else if (m_start != 0)
      rc = m_content->OpenImagePartition(m_imagePath, m_start, m_count, m_letter);
    else
      rc = m_content->OpenImage(m_imagePath, m_letter);
  }
  if (rc != kOk) return rc;
  m_content->SetProgressCallback(m_scanCallback, m_copyCallback, m_user, 90);
  m_content->SetSearchCallback(m_searchCallback, m_searchUser);
  rc = FindEarlierLog(resuming, kFormattedFatLogPrefix, log) ? m_fat->PrepareFatScan(&log)
                                                             : m_fat->PrepareFatScan(nullptr);
  if (rc != kOk) return rc;
  return FindEarlierLog(resuming, kFormattedNtfsLogPrefix, log) ? m_ntfs->OpenProLog(&log)
                                                                : m_ntfs->OpenProLog(nullptr);
}

void CProfessionalRecovery::PlanPass(Pass& pass) {
  pass.buffer.resize(kReadBytes);
  pass.record.resize(kRecordReadBytes);
  std::vector<SectorRange> ranges;
  std::vector<SectorRange> steps;  // what the quick steps' volumes cover
  for (const QuickStep& step : m_quicks) {
    if (step.start >= m_count || step.count == 0) continue;
    const uint64_t count = std::min(step.count, m_count - step.start);
    steps.push_back({step.start, count});
    bool any = false;
    if (step.engine && step.mapped) {
      const uint32_t quickBytes = QuickSectorBytes(step.engine.get(), m_bytesPerSector);
      uint64_t from = 0, start = 0, length = 0;
      // Every range starts past the one before, so the walk ends.
      while (from < count &&
             NextRange(*step.engine, quickBytes, m_bytesPerSector, from, start, length)) {
        if (start >= count) break;
        length = std::min(length, count - start);
        ranges.push_back({step.start + start, length});
        any = true;
        from = start + length;
      }
    }
    // No free range at all (an engine that does not map free space, as the
    // Ext one, a full volume, or none recognised): the pass covers the
    // whole volume.
    if (!any) ranges.push_back({step.start, count});
  }
  // Every sector no quick step's volume holds: the whole medium without a
  // quick step, and on a disk image its gaps and the space after the last
  // partition.
  std::sort(steps.begin(), steps.end(),
            [](const SectorRange& a, const SectorRange& b) { return a.start < b.start; });
  uint64_t at = 0;
  for (const SectorRange& r : steps) {
    if (r.start > at) ranges.push_back({at, r.start - at});
    at = std::max(at, r.start + r.length);
  }
  if (at < m_count) ranges.push_back({at, m_count - at});
  std::sort(ranges.begin(), ranges.end(),
            [](const SectorRange& a, const SectorRange& b) { return a.start < b.start; });
  // Touching and overlapping stretches become one, so no sector is read
  // twice.
  pass.ranges.clear();
  for (const SectorRange& r : ranges) {
    if (r.length == 0) continue;
    if (!pass.ranges.empty() && r.start <= pass.ranges.back().start + pass.ranges.back().length) {
      SectorRange& last = pass.ranges.back();
      last.length = std::max(last.start + last.length, r.start + r.length) - last.start;
    } else {
      pass.ranges.push_back(r);
    }
  }
  pass.total = 0;
  for (const SectorRange& r : pass.ranges) pass.total += r.length;
  pass.rangeStart = pass.ranges.empty() ? 0 : pass.ranges.front().start;
  pass.rangeLength = pass.ranges.empty() ? 0 : pass.ranges.front().length;
  m_passRanges = pass.ranges;
}

void CProfessionalRecovery::ApplyResumePoint(Pass& pass) {
  const ResumePoint& r = m_entry.resume;
  pass.rangeStart = r.rangeStart;
  pass.rangeLength = r.rangeLength;
  pass.doneInRange = std::min(r.doneInRange, pass.rangeLength);
  pass.doneTotal = std::min(r.doneTotal, pass.total);
  m_earlierScan = false;  // the point is used once
}

void CProfessionalRecovery::FinishEngines() {
  (void)m_fat->FinishFatScan();
  (void)m_ntfs->RunFolderPass();
  (void)m_content->FlushLog();
}

void CProfessionalRecovery::RecordResumePoint(const Pass& pass) {
  ResumePoint r;
  r.rangeStart = pass.rangeStart;
  r.rangeLength = pass.rangeLength;
  r.doneInRange = pass.doneInRange;
  r.doneTotal = pass.doneTotal;
  r.filesFound = GetRecordCount();
  // A history that cannot be saved costs only the resume, not the scan.
  // With the stamp taken at open: whatever was written meanwhile (the logs
  // themselves, on a medium that holds them) is a change the next scan
  // must see.
  (void)m_history.RecordScan(uint32_t(m_diskNumber), m_start, m_count, m_stamp, r, m_folder,
                             m_imagePath);
}

std::unique_ptr<ReadAhead> CProfessionalRecovery::MakeReadAhead() {
  SectorReader reader;
  const int rc = m_imagePath.empty() ? OpenDiskReader(reader, m_diskNumber)
                                     : OpenImageReader(reader, m_imagePath);
  if (rc != kOk || !reader.IsOpen()) return nullptr;
  // Image readers count 512-byte sectors; the pass counts its own.
  reader.totalSectors = m_reader.totalSectors;
  try {
    return std::make_unique<ReadAhead>(std::move(reader), m_bytesPerSector,
                                       kReadBytes / m_bytesPerSector, kRequestsAhead);
  } catch (const std::exception&) {
    return nullptr;  // no thread to be had: the pass reads for itself
  }
}

int CProfessionalRecovery::RunPass(Pass& pass) {
  const uint32_t bps = m_bytesPerSector;
  if (bps == 0 || kReadBytes % bps != 0) return kErrInvalidParameter;
  const uint32_t chunkSectors = kReadBytes / bps;
  // The medium is read on another thread while the sectors that arrived
  // are dispatched. Which sectors are dispatched, and in which order, does
  // not depend on how the reads are cut.
  std::unique_ptr<ReadAhead> ahead = MakeReadAhead();
  // A skip further than this is cheaper to seek than to read through.
  const uint64_t horizon = uint64_t(kRequestsAhead + 1) * chunkSectors;
  pass.startTick = pass.lastEstimateTick = platform::TickCountMs();
  for (;;) {
    const uint64_t rangeEnd = m_start + pass.rangeStart + pass.rangeLength;
    const ReadAhead::Chunk* held = nullptr;  // the request that holds `first`
    while (pass.doneInRange < pass.rangeLength) {
      const uint64_t first = m_start + pass.rangeStart + pass.doneInRange;
      const uint8_t* data = pass.buffer.data();
      uint32_t count = 0;    // sectors from `first` to the end of the request
      uint32_t arrived = 0;  // of those, the ones read
      if (ahead) {
        if (held == nullptr || first >= held->start + horizon) {
          ahead->Seek(first, rangeEnd);
          held = &ahead->Next();
        }
        while (held->start + held->count <= first) held = &ahead->Next();
        const uint32_t offset = uint32_t(first - held->start);
        count = held->count - offset;
        arrived = held->got > offset ? held->got - offset : 0;
        data = held->bytes.data() + size_t(offset) * bps;
      } else {
        count = uint32_t(std::min<uint64_t>(chunkSectors, pass.rangeLength - pass.doneInRange));
        (void)ReadSectors(count, m_reader, pass.buffer.data(), first, bps, arrived);
      }
      uint64_t beyond = 0;
      if (arrived > 0) {
        // Only the sectors that arrived are looked at: a short read leaves
        // the rest of the buffer as it was.
        const int64_t stepped = Dispatch(pass, data, size_t(arrived) * bps, first);
        if (stepped == kCancelled) {
          // The sectors before the one being sized when the user stopped
          // are done: a resume must not find their files twice.
          pass.doneInRange += pass.stoppedAt;
          pass.doneTotal += pass.stoppedAt;
          return kCancelled;
        }
        if (arrived == count) beyond = uint64_t(stepped);
      }
      // A file claimed past the request is stepped over without a look.
      const uint64_t advance = count + beyond;
      const uint64_t left = pass.rangeLength - pass.doneInRange;
      pass.doneTotal += std::min(advance, left);
      pass.doneInRange += std::min(advance, left);
      if (int rc = ReportPass(pass); rc != kOk) return rc;
    }
    // The next stretch after this one.
    const uint64_t end = pass.rangeStart + pass.rangeLength;
    const auto next = std::find_if(pass.ranges.begin(), pass.ranges.end(),
                                   [end](const SectorRange& r) { return r.start >= end; });
    if (next == pass.ranges.end()) return kOk;
    pass.rangeStart = next->start;
    pass.rangeLength = next->length;
    pass.doneInRange = 0;
  }
}

void CProfessionalRecovery::MarkChunk(Pass& pass, const uint8_t* data, uint64_t sectors) {
  const uint32_t bps = m_bytesPerSector;
  const size_t parts = size_t((sectors + kMarkPartSectors - 1) / kMarkPartSectors);
  if (pass.partMarks.size() < parts) pass.partMarks.resize(parts);
  m_crew->Run(parts, [&](size_t part) {
    const uint64_t begin = part * kMarkPartSectors;
    const uint64_t count = std::min(kMarkPartSectors, sectors - begin);
    std::vector<SectorMark>& out = pass.partMarks[part];
    out.clear();
    MarkSectors(std::span<const uint8_t>(data + begin * bps, size_t(count) * bps), bps,
                uint32_t(begin), out);
  });
  pass.marks.clear();
  for (size_t part = 0; part < parts; ++part)
    pass.marks.insert(pass.marks.end(), pass.partMarks[part].begin(), pass.partMarks[part].end());
}

int64_t CProfessionalRecovery::Dispatch(Pass& pass, const uint8_t* data, size_t count,
                                        uint64_t first) {
  const uint32_t bps = m_bytesPerSector;
  const uint64_t sectors = count / bps;
  // Records are two 512-byte sectors, or one larger sector; on an image of
  // a volume with 4,096-byte sectors the NTFS engine learns the larger size
  // from the boot sector.
  const uint32_t ownSize = bps > 512 ? bps : 2 * bps;
  const uint32_t learnt = m_ntfs->Volume().recordSize;
  const uint32_t recordSize = learnt > ownSize && learnt <= kRecordReadBytes ? learnt : ownSize;
  uint64_t i = 0;
  try {
    if (m_crew == nullptr) {
      while (i < sectors) {
        uint64_t step = 1;
        if (OfferSector(pass, data, sectors, i, first, recordSize, -1, step) == kCancelled)
          return kCancelled;
        i += step;
      }
    } else {
      MarkChunk(pass, data, sectors);
      // A sector without a mark is one no engine takes; offered, it would
      // only leave the content engine's flags as an unmatched sector does.
      size_t at = 0;
      while (i < sectors) {
        while (at < pass.marks.size() && pass.marks[at].index < i) ++at;
        if (at == pass.marks.size() || pass.marks[at].index > i) {
          m_content->PassUnmatchedSector();
          if (at == pass.marks.size()) {
            i = sectors;
            break;
          }
          i = pass.marks[at].index;
        }
        uint64_t step = 1;
        if (OfferSector(pass, data, sectors, i, first, recordSize, pass.marks[at].bits, step) ==
            kCancelled)
          return kCancelled;
        i += step;
      }
    }
  } catch (const std::exception&) {
    // Damaged data that upsets an engine costs the rest of this chunk only.
    return 0;
  }
  return int64_t(i - sectors);
}

int CProfessionalRecovery::OfferSector(Pass& pass, const uint8_t* data, uint64_t sectors,
                                       uint64_t i, uint64_t first, uint32_t recordSize, int bits,
                                       uint64_t& step) {
  const uint32_t bps = m_bytesPerSector;
  const uint8_t* at = data + i * bps;
  const std::span<const uint8_t> sector(at, bps);
  const uint64_t absolute = first + i;
  const bool tested = bits >= 0;
  const auto has = [bits](uint8_t bit) { return (bits & bit) != 0; };
  step = 1;
  if (LooksLikeFileRecord(sector, tested ? has(kMarkFileSignature) : HasFileRecordSignature(sector),
                          recordSize)) {
    // Folder records are read through the parent chains instead.
    if ((LoadLe16(sector, 0x16) & kDirectoryFlag) == 0) {
      if ((sectors - i) * bps >= recordSize) {
        (void)m_ntfs->AnalyseRecord(std::span<const uint8_t>(at, recordSize), absolute);
      } else {
        // The record runs past the chunk: read it whole from the medium.
        const uint64_t end = std::min<uint64_t>(m_reader.totalSectors, m_start + m_count);
        const uint64_t room = end > absolute ? end - absolute : 0;
        const uint32_t want = uint32_t(std::min<uint64_t>(kRecordReadBytes / bps, room));
        uint32_t got = 0;
        if (want > 0 &&
            ReadSectors(want, m_reader, pass.record.data(), absolute, bps, got) == kOk &&
            uint64_t(got) * bps >= recordSize)
          (void)m_ntfs->AnalyseRecord(
              std::span<const uint8_t>(pass.record.data(), size_t(got) * bps), absolute);
      }
    }
  } else if (tested ? has(kMarkDotDirectory) : IsDotDirectoryStart(sector)) {
    m_fat->OnDirectoryStart(sector, absolute);
  } else if (tested ? has(kMarkDirectory) : IsDirectorySector(sector)) {
    m_fat->OnDirectorySector(sector, absolute);
  } else if (!tested || has(kMarkMayStartFile)) {
    const CFileTypeRecovery::ScanPosition position{pass.doneTotal + i, pass.total,
                                                   pass.secondsLeft};
    if (m_content->RecordFoundFile(sector, absolute, position, step, pass.filesFound) ==
        kCancelled) {
      pass.stoppedAt = i;
      return kCancelled;
    }
    step = std::max<uint64_t>(step, 1);
  } else {
    m_content->PassUnmatchedSector();
  }
  return kOk;
}

int CProfessionalRecovery::ReportPass(Pass& pass) {
  const uint32_t now = platform::TickCountMs();
  if (now - pass.lastEstimateTick >= kEstimateIntervalMs) {
    pass.lastEstimateTick = now;
    const uint64_t elapsed = (now - pass.startTick) / 1000;
    if (elapsed > 0) {
      uint64_t speed = pass.doneTotal * m_bytesPerSector / elapsed;
      if (speed == 0) speed = 1;
      const uint64_t left = pass.total > pass.doneTotal ? pass.total - pass.doneTotal : 0;
      pass.secondsLeft = int(std::min<uint64_t>(left * m_bytesPerSector / speed, INT32_MAX));
    }
  }
  if (m_scanCallback == nullptr) return kOk;
  const int percent =
      pass.total == 0 ? 10
                      : int(std::min<uint64_t>(pass.doneTotal, pass.total) * 100 / pass.total) + 10;
  return m_scanCallback(m_user, percent, 90, pass.secondsLeft, pass.doneTotal, pass.total,
                        GetRecordCount(), 0);
}

}  // namespace brinvale
