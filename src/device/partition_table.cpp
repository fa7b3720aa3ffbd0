#include "device/partition_table.h"

#include <algorithm>
#include <cstdio>

#include "common/error_codes.h"
#include "device/gpt_partition_table.h"
#include "device/mbr_partition_table.h"
#include "device/table_sectors.h"

namespace brinvale {
namespace {

// The sector sizes a GPT is looked for in, on a medium read in 512-byte
// sectors: its own, then that of the 4,096-byte disks images are made of.
constexpr uint32_t kLargeSectorBytes = 4096;

void AddDamage(PartitionTable& out, const std::string& sentence) {
  if (!out.damage.empty()) out.damage += "; ";
  out.damage += sentence;
}

std::vector<uint32_t> GptSectorSizes(uint32_t readerBytes) {
  std::vector<uint32_t> sizes{readerBytes};
  if (readerBytes < kLargeSectorBytes && kLargeSectorBytes % readerBytes == 0)
    sizes.push_back(kLargeSectorBytes);
  return sizes;
}

bool SignatureAt(TableSectors& sectors, uint64_t lba) {
  std::vector<uint8_t> bytes;
  return sectors.Read(lba, 1, bytes) == kOk && HasGptSignature(bytes);
}

// Drops what cannot be trusted: entries over sector 0, past the end of the
// disk, or over an earlier entry. Table order is kept.
void CheckEntries(PartitionTable& table) {
  std::vector<PartitionEntry> kept;
  for (PartitionEntry& e : table.partitions) {
    const std::string name = "partition " + std::to_string(e.number);
    if (e.start == 0) {
      AddDamage(table, name + " starts at sector 0, over the partition table");
      continue;
    }
    if (e.start > table.diskSectors || e.length > table.diskSectors - e.start) {
      AddDamage(table, name + " (sectors " + std::to_string(e.start) + " to " +
                           std::to_string(e.start + e.length - 1) +
                           ") ends past the end of the disk of " +
                           std::to_string(table.diskSectors) + " sectors");
      continue;
    }
    const auto over = std::find_if(kept.begin(), kept.end(), [&](const PartitionEntry& k) {
      return e.start < k.start + k.length && k.start < e.start + e.length;
    });
    if (over != kept.end()) {
      AddDamage(table, name + " overlaps partition " + std::to_string(over->number));
      continue;
    }
    kept.push_back(std::move(e));
  }
  table.partitions = std::move(kept);
}

}  // namespace

std::string GuidText(const Guid& g) {
  char text[40];
  std::snprintf(text, sizeof text,
                "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", g[3], g[2],
                g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14],
                g[15]);
  return text;
}

const char* PartitionSchemeName(PartitionScheme scheme) {
  switch (scheme) {
    case PartitionScheme::kMbr: return "MBR";
    case PartitionScheme::kGpt: return "GPT";
    case PartitionScheme::kNone: break;
  }
  return "none";
}

int ReadPartitionTable(SectorReader& reader, uint32_t readerSectorBytes, PartitionTable& out) {
  out = PartitionTable{};
  if (readerSectorBytes < 512 || readerSectorBytes % 512 != 0) return kErrInvalidParameter;
  out.sectorBytes = readerSectorBytes;
  TableSectors own(reader, readerSectorBytes, readerSectorBytes);
  out.diskSectors = own.TotalSectors();
  std::vector<uint8_t> sector0;
  if (int rc = own.Read(0, 1, sector0); rc != kOk) return rc;

  const MbrKind kind = ClassifyMbr(sector0);
  if (kind == MbrKind::kPartitions) {
    ReadMbrPartitions(own, sector0, out);
    CheckEntries(out);
    return kOk;
  }
  // A GPT: behind its protective MBR, or behind a destroyed one.
  const std::vector<uint32_t> sizes = GptSectorSizes(readerSectorBytes);
  for (uint32_t size : sizes) {
    TableSectors sectors(reader, readerSectorBytes, size);
    if (!SignatureAt(sectors, 1)) continue;
    ReadGptPartitions(sectors, out);
    CheckEntries(out);
    return kOk;
  }
  if (kind != MbrKind::kProtective) return kOk;
  // The protective MBR stands but no primary header does: the backup.
  for (uint32_t size : sizes) {
    TableSectors sectors(reader, readerSectorBytes, size);
    const uint64_t total = sectors.TotalSectors();
    if (total < 3 || !SignatureAt(sectors, total - 1)) continue;
    ReadGptPartitions(sectors, out);
    CheckEntries(out);
    return kOk;
  }
  out.scheme = PartitionScheme::kGpt;
  AddDamage(out, "the protective MBR announces a GPT, but neither its primary header in sector 1 "
                 "nor its backup in the last sector can be found");
  return kOk;
}

uint64_t StartIn(const PartitionTable& table, const PartitionEntry& entry, uint32_t sectorBytes) {
  return sectorBytes == 0 ? 0 : entry.start * table.sectorBytes / sectorBytes;
}

uint64_t LengthIn(const PartitionTable& table, const PartitionEntry& entry, uint32_t sectorBytes) {
  return sectorBytes == 0 ? 0 : entry.length * table.sectorBytes / sectorBytes;
}

std::vector<UnpartitionedRange> UnpartitionedRanges(const PartitionTable& table) {
  std::vector<const PartitionEntry*> sorted;
  for (const PartitionEntry& e : table.partitions) sorted.push_back(&e);
  std::sort(sorted.begin(), sorted.end(),
            [](const PartitionEntry* a, const PartitionEntry* b) { return a->start < b->start; });
  std::vector<UnpartitionedRange> out;
  uint64_t at = 0;
  for (const PartitionEntry* e : sorted) {
    if (e->start > at) out.push_back({at, e->start - at});
    at = std::max(at, e->start + e->length);
  }
  if (table.diskSectors > at) out.push_back({at, table.diskSectors - at});
  return out;
}

}  // namespace brinvale
