#include "deepscan/found_file_check.h"

#include <algorithm>
#include <string>
#include <utility>

#include "deepscan/carved_bytes.h"
#include "deepscan/carved_check.h"

namespace brinvale {
namespace {

// Whether the bytes of `file` from `offset` to its extent are all zeros.
bool ZerosFrom(CarvedBytes& file, uint64_t offset) {
  while (offset < file.Extent()) {
    const auto view = file.View(offset);
    if (view.empty()) return false;
    if (std::any_of(view.begin(), view.end(), [](uint8_t b) { return b != 0; })) return false;
    offset += view.size();
  }
  return true;
}

}  // namespace

bool HasFoundFileCheck(const ScanRecord& record) {
  if (record.IsFolder() || record.FileSize() == 0) return false;
  const std::string name(record.Name());
  return WalkerForExtension(CarvedExtension(name)) != nullptr;
}

CarvedVerdict CheckFoundFile(const ScanRecord& record, CarvedBytes& file) {
  if (!HasFoundFileCheck(record)) return {};
  const std::string name(record.Name());
  const CarvedWalker walk = WalkerForExtension(CarvedExtension(name));
  const uint64_t size = record.FileSize();
  // The chain or the runs end before the file does: recovery gives less
  // than the file system says the file holds.
  if (file.Extent() < size) return DamagedVerdict(CarvedFault::kRunsOff);
  CarvedVerdict verdict = walk(file);
  if (verdict.condition == CarvedCondition::kDamaged && file.ReadFailed())
    verdict.fault = CarvedFault::kUnreadable;
  // The recorded size is the file's length: where a stream's units stop
  // cuts nothing of it.
  verdict.streamEnd = 0;
  if (verdict.condition != CarvedCondition::kComplete) return verdict;
  if (verdict.exactLength == 0 || verdict.exactLength > size)
    return DamagedVerdict(CarvedFault::kBadStructure);
  if (verdict.exactLength < size) {
    if (size - verdict.exactLength > kFoundTailCheckBytes)
      return DamagedVerdict(CarvedFault::kBadStructure);
    if (!ZerosFrom(file, verdict.exactLength))
      return DamagedVerdict(file.ReadFailed() ? CarvedFault::kUnreadable
                                              : CarvedFault::kBadStructure);
  }
  // The file system's size is the file's length: recovery keeps it whole.
  return CompleteVerdict(size);
}

CarvedVerdict CheckFoundFileOn(const ScanRecord& record, SectorReader& reader,
                               uint32_t bytesPerSector, FileExtentMap map) {
  CarvedBytes file(reader, bytesPerSector, std::move(map), record.FileSize());
  return CheckFoundFile(record, file);
}

}  // namespace brinvale
