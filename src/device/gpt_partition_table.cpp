#include "device/gpt_partition_table.h"

#include <cstring>
#include <optional>
#include <vector>

#include "common/bytes.h"
#include "common/crc32.h"
#include "common/error_codes.h"
#include "platform/text.h"

namespace brinvale {
namespace {

void AddDamage(PartitionTable& out, const std::string& sentence) {
  if (!out.damage.empty()) out.damage += "; ";
  out.damage += sentence;
}

Guid GuidAt(std::span<const uint8_t> b, size_t at) {
  Guid g{};
  std::memcpy(g.data(), b.data() + at, g.size());
  return g;
}

struct Header {
  uint64_t myLba = 0;
  uint64_t alternateLba = 0;
  uint64_t firstUsable = 0;
  uint64_t lastUsable = 0;
  Guid diskGuid{};
  uint64_t entriesLba = 0;
  uint32_t entryCount = 0;
  uint32_t entrySize = 0;
  uint32_t entriesCrc = 0;
};

// The header in sector `lba`, checked on its own: signature, size, CRC, the
// sector it says it is in, and a usable area inside the disk. Empty with
// `why` set when it fails.
std::optional<Header> ReadHeader(TableSectors& sectors, uint64_t lba, std::string& why) {
  std::vector<uint8_t> bytes;
  if (int rc = sectors.Read(lba, 1, bytes); rc != kOk) {
    why = "header cannot be read (error " + std::to_string(rc) + ")";
    return std::nullopt;
  }
  std::span<const uint8_t> b(bytes);
  if (!HasGptSignature(b)) {
    why = "header has no \"EFI PART\" signature";
    return std::nullopt;
  }
  const uint32_t size = LoadLe32(b, gpt::kHeaderSize);
  if (size < gpt::kMinHeaderSize || size > b.size()) {
    why = "header gives a size of " + std::to_string(size) + " bytes";
    return std::nullopt;
  }
  const uint32_t stored = LoadLe32(b, gpt::kHeaderCrc);
  StoreLe32(bytes, gpt::kHeaderCrc, 0);
  if (Crc32(b.first(size)) != stored) {
    why = "header fails its CRC32 check";
    return std::nullopt;
  }
  Header h;
  h.myLba = LoadLe64(b, gpt::kMyLba);
  h.alternateLba = LoadLe64(b, gpt::kAlternateLba);
  h.firstUsable = LoadLe64(b, gpt::kFirstUsable);
  h.lastUsable = LoadLe64(b, gpt::kLastUsable);
  h.diskGuid = GuidAt(b, gpt::kDiskGuid);
  h.entriesLba = LoadLe64(b, gpt::kEntriesLba);
  h.entryCount = LoadLe32(b, gpt::kEntryCount);
  h.entrySize = LoadLe32(b, gpt::kEntrySize);
  h.entriesCrc = LoadLe32(b, gpt::kEntriesCrc);
  const uint64_t total = sectors.TotalSectors();
  if (h.myLba != lba) {
    why = "header says it lies in sector " + std::to_string(h.myLba);
    return std::nullopt;
  }
  if (h.firstUsable > h.lastUsable || h.lastUsable >= total) {
    why = "header gives a usable area (sectors " + std::to_string(h.firstUsable) + " to " +
          std::to_string(h.lastUsable) + ") outside the disk of " + std::to_string(total) +
          " sectors";
    return std::nullopt;
  }
  if (h.entrySize < gpt::kMinEntrySize || h.entrySize % 8 != 0) {
    why = "header gives an entry size of " + std::to_string(h.entrySize) + " bytes";
    return std::nullopt;
  }
  if (uint64_t(h.entryCount) * h.entrySize > gpt::kMaxArrayBytes) {
    why = "header gives " + std::to_string(h.entryCount) + " entries, more than can be read";
    return std::nullopt;
  }
  return h;
}

// The header's entry array, checked against its CRC32.
bool ReadEntryArray(TableSectors& sectors, const Header& h, std::vector<uint8_t>& array,
                    std::string& why) {
  const uint64_t bytes = uint64_t(h.entryCount) * h.entrySize;
  const uint32_t sectorBytes = sectors.SectorBytes();
  const uint64_t count = (bytes + sectorBytes - 1) / sectorBytes;
  if (count == 0) {
    array.clear();
    return true;
  }
  if (int rc = sectors.Read(h.entriesLba, uint32_t(count), array); rc != kOk) {
    why = "entry array at sector " + std::to_string(h.entriesLba) + " cannot be read (error " +
          std::to_string(rc) + ")";
    return false;
  }
  array.resize(size_t(bytes));
  if (Crc32(array) != h.entriesCrc) {
    why = "entry array fails its CRC32 check";
    return false;
  }
  return true;
}

std::string NameFrom(std::span<const uint8_t> entry) {
  std::u16string units;
  for (size_t i = 0; i < gpt::kNameUnits; ++i) {
    const char16_t u = char16_t(LoadLe16(entry, gpt::kName + 2 * i));
    if (u == 0) break;
    units.push_back(u);
  }
  return platform::Utf16ToUtf8(units);
}

void AddEntries(const Header& h, std::span<const uint8_t> array, PartitionTable& out) {
  for (uint32_t i = 0; i < h.entryCount; ++i) {
    const std::span<const uint8_t> e = array.subspan(size_t(i) * h.entrySize, h.entrySize);
    const Guid type = GuidAt(e, gpt::kTypeGuid);
    if (type == Guid{}) continue;
    const uint64_t first = LoadLe64(e, gpt::kFirstLba);
    const uint64_t last = LoadLe64(e, gpt::kLastLba);
    const uint32_t number = i + 1;
    if (first > last || first < h.firstUsable || last > h.lastUsable) {
      AddDamage(out, "partition " + std::to_string(number) + " (sectors " + std::to_string(first) +
                         " to " + std::to_string(last) + ") leaves the usable area of the disk");
      continue;
    }
    PartitionEntry p;
    p.number = number;
    p.start = first;
    p.length = last - first + 1;
    p.typeGuid = type;
    p.type = MbrTypeForGptType(type);
    p.uniqueGuid = GuidAt(e, gpt::kUniqueGuid);
    p.attributes = LoadLe64(e, gpt::kAttributes);
    p.name = NameFrom(e);
    out.partitions.push_back(std::move(p));
  }
}

}  // namespace

bool HasGptSignature(std::span<const uint8_t> sector) {
  return sector.size() >= 8 && std::memcmp(sector.data(), "EFI PART", 8) == 0;
}

uint8_t MbrTypeForGptType(const Guid& type) {
  struct Row {
    const char* guid;
    uint8_t mbrType;
  };
  static constexpr Row kRows[] = {
      {"EBD0A0A2-B9E5-4433-87C0-68B6B72699C7", 0x07},  // basic data
      {"C12A7328-F81F-11D2-BA4B-00A0C93EC93B", 0xEF},  // EFI system
      {"0FC63DAF-8483-4772-8E79-3D69D8477DE4", 0x83},  // Linux file system
      {"0657FD6D-A4AB-43C4-84E5-0933C84B4F4F", 0x82},  // Linux swap
      {"E6D6D379-F507-44C2-A23C-238F2A3DF928", 0x8E},  // Linux LVM
      {"A19D880F-05FC-4D3B-A006-743F0F84911E", 0xFD},  // Linux RAID
  };
  const std::string text = GuidText(type);
  for (const Row& row : kRows)
    if (text == row.guid) return row.mbrType;
  return 0;
}

void ReadGptPartitions(TableSectors& sectors, PartitionTable& out) {
  out.scheme = PartitionScheme::kGpt;
  out.sectorBytes = sectors.SectorBytes();
  out.diskSectors = sectors.TotalSectors();
  if (out.diskSectors < 3) {
    AddDamage(out, "the disk is too short to hold a GPT");
    return;
  }
  std::string primaryWhy;
  std::optional<Header> primary = ReadHeader(sectors, 1, primaryWhy);
  std::vector<uint8_t> array;
  if (primary && ReadEntryArray(sectors, *primary, array, primaryWhy)) {
    out.diskGuid = primary->diskGuid;
    AddEntries(*primary, array, out);
    return;
  }
  // The backup lies where the primary says, or else in the last sector.
  const uint64_t last = out.diskSectors - 1;
  uint64_t backupLba = last;
  if (primary && primary->alternateLba > 1 && primary->alternateLba <= last)
    backupLba = primary->alternateLba;
  std::string backupWhy;
  std::optional<Header> backup = ReadHeader(sectors, backupLba, backupWhy);
  if (!backup && backupLba != last) {
    backupLba = last;
    backup = ReadHeader(sectors, backupLba, backupWhy);
  }
  if (backup && ReadEntryArray(sectors, *backup, array, backupWhy)) {
    AddDamage(out, "the primary GPT " + primaryWhy + "; the backup GPT in sector " +
                       std::to_string(backupLba) + " was read instead");
    out.fromBackup = true;
    out.diskGuid = backup->diskGuid;
    AddEntries(*backup, array, out);
    return;
  }
  AddDamage(out, "the primary GPT " + primaryWhy + ", and the backup GPT in sector " +
                     std::to_string(backupLba) + ": " + backupWhy);
}

}  // namespace brinvale
