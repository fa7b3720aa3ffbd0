#include "device/disk_map.h"

#include <algorithm>
#include <cctype>

#include "common/error_codes.h"
#include "device/sector_reader.h"

namespace brinvale {
namespace {

// The first sector a volume of an MBR disk may start at; anything below
// belongs to the partition table's track and is never a gap.
constexpr uint64_t kFirstUsableSector = 63;

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && b[i] == 0;
}

VolumeInfo FromSystem(const platform::SystemVolume& v) {
  VolumeInfo info;
  info.kind = VolumeInfo::Kind::kVolume;
  info.driveLetter = v.driveLetter ? v.driveLetter : u'*';
  info.typeCode = TypeCodeFor(v.fileSystemName, v.partitionType);
  info.diskNumber = v.diskNumber;
  info.partitionNumber = v.partitionNumber;
  // Start and length stay in bytes until the disk's sector size is known.
  info.start = v.startBytes;
  info.length = v.lengthBytes;
  if (v.spaceKnown) {
    info.totalBytes = v.totalBytes;
    info.freeBytes = v.freeBytes;
  } else {
    info.totalBytes = v.lengthBytes;
    info.freeBytes = 0;
  }
  info.usedBytes = info.totalBytes > info.freeBytes ? info.totalBytes - info.freeBytes : 0;
  info.fileSystemName = v.fileSystemName;
  info.volumePath = v.volumePath;
  info.label = v.label;
  info.mountPoint = v.mountPoint;
  info.deviceId = v.deviceId;
  return info;
}

VolumeInfo UnallocatedRecord(VolumeInfo::Kind kind, int disk, uint64_t start, uint64_t length,
                             uint32_t bytesPerSector) {
  VolumeInfo gap;
  gap.kind = kind;
  gap.diskNumber = disk;
  gap.partitionNumber = 0;
  gap.start = start;
  gap.length = length;
  gap.bytesPerSector = bytesPerSector;
  gap.totalBytes = gap.freeBytes = length * bytesPerSector;
  gap.usedBytes = 0;
  return gap;
}

void SortByStart(DiskMap& disks) {
  for (auto& [disk, list] : disks)
    std::stable_sort(list.begin(), list.end(),
                     [](const VolumeInfo& a, const VolumeInfo& b) { return a.start < b.start; });
}

void CopyDiskFacts(const platform::SystemDisk& disk, VolumeInfo& record) {
  record.removable = disk.removable;
  record.bus = disk.bus;
}

}  // namespace

int ReadDiskPartitionTable(int diskNumber, uint32_t bytesPerSector, PartitionTable& out) {
  SectorReader reader;
  if (int rc = OpenDiskReader(reader, diskNumber); rc != kOk) return rc;
  return ReadPartitionTable(reader, bytesPerSector, out);
}

uint8_t TypeCodeFor(const std::string& fileSystemName, uint8_t partitionType) {
  if (EqualsIgnoringCase(fileSystemName, "NTFS")) return 7;
  if (EqualsIgnoringCase(fileSystemName, "FAT32")) return 11;
  if (EqualsIgnoringCase(fileSystemName, "FAT")) return 6;
  return partitionType;
}

DiskEnumerator::DiskEnumerator()
    : DiskEnumerator(platform::MakeSystemDiskEnumeration(), ReadDiskPartitionTable) {}

DiskEnumerator::DiskEnumerator(std::unique_ptr<platform::DiskEnumeration> system,
                               DiskTableReader tables)
    : m_system(std::move(system)), m_tables(std::move(tables)) {}

void DiskEnumerator::AddTablePartitions() {
  if (!m_tables) return;
  const int limit = m_system->DiskNumberLimit();
  for (int disk = 0; disk < limit; ++disk) {
    if (m_disks.count(disk)) continue;
    platform::SystemDisk facts;
    if (m_system->QueryDisk(disk, facts) != kOk) continue;
    const uint32_t bps = facts.geometry.bytesPerSector ? facts.geometry.bytesPerSector : 512;
    PartitionTable table;
    if (m_tables(disk, bps, table) != kOk || table.scheme == PartitionScheme::kNone) continue;
    if (table.Damaged()) m_tableProblems[disk] = table.damage;
    for (const PartitionEntry& p : table.partitions) {
      // Like a system volume without a type: nothing to offer.
      if (p.type == 0) continue;
      VolumeInfo info;
      info.kind = VolumeInfo::Kind::kVolume;
      info.origin = VolumeInfo::Origin::kPartitionTable;
      info.driveLetter = u'*';
      info.typeCode = p.type;
      info.diskNumber = disk;
      info.partitionNumber = int32_t(p.number);
      // In bytes, as the system's volumes are collected.
      info.start = StartIn(table, p, bps) * bps;
      info.length = LengthIn(table, p, bps) * bps;
      // No file system answered: the space it uses is not known.
      info.totalBytes = info.length;
      info.freeBytes = 0;
      info.usedBytes = info.totalBytes;
      info.volumePath = facts.name;
      info.deviceId = facts.deviceId;
      info.tableProblem = table.damage;
      m_disks[disk].push_back(std::move(info));
    }
  }
}

void DiskEnumerator::AddGapsAndDisks() {
  for (auto& [disk, list] : m_disks) {
    platform::SystemDisk facts;
    const bool known = m_system->QueryDisk(disk, facts) == kOk;
    uint64_t cylinder = 0;
    uint64_t diskSectors = 0;
    if (known) {
      // A disk that does not answer keeps the sector size of the one before.
      m_bytesPerSector = facts.geometry.bytesPerSector ? facts.geometry.bytesPerSector : 512;
      cylinder = uint64_t(facts.geometry.tracksPerCylinder) * facts.geometry.sectorsPerTrack;
      // The true length where the system gives it: whole cylinders alone
      // would drop the disk's last partial cylinder.
      diskSectors = facts.lengthBytes ? facts.lengthBytes / m_bytesPerSector
                                      : facts.geometry.cylinders * cylinder;
    }
    const uint32_t bps = m_bytesPerSector;
    std::vector<VolumeInfo> gaps;
    uint64_t previousEnd = kFirstUsableSector;
    for (VolumeInfo& record : list) {
      record.start /= bps;
      record.length /= bps;
      record.bytesPerSector = bps;
      if (known) CopyDiskFacts(facts, record);
      // Overlapping or nested volumes never make a gap or move the end back.
      if (known && record.start > previousEnd && record.start - previousEnd > cylinder)
        gaps.push_back(UnallocatedRecord(VolumeInfo::Kind::kGap, disk, previousEnd,
                                         record.start - previousEnd, bps));
      previousEnd = std::max(previousEnd, record.start + record.length);
    }
    // Without the disk's size nothing is known about what follows the last
    // volume, so a disk that does not answer gets no gap records at all.
    if (known && diskSectors > previousEnd && diskSectors - previousEnd > cylinder)
      gaps.push_back(UnallocatedRecord(VolumeInfo::Kind::kGap, disk, previousEnd,
                                       diskSectors - previousEnd, bps));
    for (VolumeInfo& gap : gaps) {
      if (known) CopyDiskFacts(facts, gap);
      list.push_back(std::move(gap));
    }
  }

  const int limit = m_system->DiskNumberLimit();
  for (int disk = 0; disk < limit; ++disk) {
    if (m_disks.count(disk)) continue;
    platform::SystemDisk facts;
    if (m_system->QueryDisk(disk, facts) != kOk) continue;
    const uint32_t bps = facts.geometry.bytesPerSector ? facts.geometry.bytesPerSector : 512;
    m_bytesPerSector = bps;
    uint64_t sectors = facts.lengthBytes / bps;
    if (sectors == 0)
      sectors = facts.geometry.cylinders * facts.geometry.tracksPerCylinder *
                facts.geometry.sectorsPerTrack;
    if (sectors == 0) continue;  // no medium
    VolumeInfo whole = UnallocatedRecord(VolumeInfo::Kind::kWholeDisk, disk, 0, sectors, bps);
    CopyDiskFacts(facts, whole);
    whole.volumePath = facts.name;
    whole.deviceId = facts.deviceId;
    m_disks[disk].push_back(std::move(whole));
  }

  // A disk whose table cannot be trusted whole can still be scanned whole;
  // every record of it carries the reason.
  for (const auto& [disk, problem] : m_tableProblems) {
    auto it = m_disks.find(disk);
    if (it == m_disks.end()) continue;
    std::vector<VolumeInfo>& list = it->second;
    const bool hasWhole = std::any_of(list.begin(), list.end(), [](const VolumeInfo& v) {
      return v.kind == VolumeInfo::Kind::kWholeDisk;
    });
    if (!hasWhole) {
      platform::SystemDisk facts;
      if (m_system->QueryDisk(disk, facts) == kOk) {
        const uint32_t bps = facts.geometry.bytesPerSector ? facts.geometry.bytesPerSector : 512;
        const uint64_t sectors = facts.lengthBytes / bps;
        if (sectors != 0) {
          VolumeInfo whole =
              UnallocatedRecord(VolumeInfo::Kind::kWholeDisk, disk, 0, sectors, bps);
          CopyDiskFacts(facts, whole);
          whole.volumePath = facts.name;
          whole.deviceId = facts.deviceId;
          list.push_back(std::move(whole));
        }
      }
    }
    for (VolumeInfo& v : list) v.tableProblem = problem;
  }
}

bool RefreshDisks(DiskEnumerator& enumerator) {
  enumerator.m_disks.clear();
  enumerator.m_cursorDisk = 0;
  enumerator.m_cursorIndex = 0;
  enumerator.m_tableProblems.clear();

  std::vector<platform::SystemVolume> volumes;
  try {
    if (enumerator.m_system->ListVolumes(volumes) != kOk) return false;
    for (const platform::SystemVolume& v : volumes) {
      VolumeInfo info = FromSystem(v);
      if (info.typeCode == 0 || info.diskNumber == -1) continue;
      enumerator.m_disks[info.diskNumber].push_back(std::move(info));
    }
    enumerator.AddTablePartitions();
    SortByStart(enumerator.m_disks);
    enumerator.AddGapsAndDisks();
    SortByStart(enumerator.m_disks);
  } catch (const std::bad_alloc&) {
    enumerator.m_disks.clear();
    return false;
  }

  // Every record advances the counter, so a letterless volume's number is
  // its position in the whole list.
  char16_t counter = 1;
  for (auto& [disk, list] : enumerator.m_disks) {
    for (VolumeInfo& record : list) {
      if (record.driveLetter == u'*') {
        record.driveLetter = counter;
        record.numbered = true;
      }
      ++counter;
    }
  }
  return true;
}

bool NextVolume(DiskEnumerator& enumerator, VolumeInfo& out) {
  for (auto it = enumerator.m_disks.lower_bound(enumerator.m_cursorDisk);
       it != enumerator.m_disks.end(); ++it) {
    if (it->first != enumerator.m_cursorDisk) {
      enumerator.m_cursorDisk = it->first;
      enumerator.m_cursorIndex = 0;
    }
    if (enumerator.m_cursorIndex < it->second.size()) {
      out = it->second[enumerator.m_cursorIndex++];
      return true;
    }
  }
  return false;
}

}  // namespace brinvale
