#include "engines/ntfs/attribute.h"

#include "common/bytes.h"
#include "engines/ntfs/ntfs_layout.h"

namespace brinvale {

using namespace ntfs;

uint32_t AttributeType(std::span<const uint8_t> a) { return LoadLe32(a, attr::kType); }

bool IsNonResident(std::span<const uint8_t> a) { return a[attr::kNonResident] != 0; }

std::span<const uint8_t> AttributeName(std::span<const uint8_t> a) {
  const size_t bytes = size_t(a[attr::kNameLength]) * 2;
  const size_t at = LoadLe16(a, attr::kNameOffset);
  if (bytes == 0 || at > a.size() || bytes > a.size() - at) return {};
  return a.subspan(at, bytes);
}

bool IsUnnamed(std::span<const uint8_t> a) { return a[attr::kNameLength] == 0; }

std::optional<std::span<const uint8_t>> ResidentValue(std::span<const uint8_t> a) {
  if (IsNonResident(a)) return std::nullopt;
  const uint32_t length = LoadLe32(a, attr::kValueLength);
  const uint16_t offset = LoadLe16(a, attr::kValueOffset);
  if (offset < attr::kResidentHeaderBytes || offset > a.size() || length > a.size() - offset)
    return std::nullopt;
  return a.subspan(offset, length);
}

namespace {
std::optional<uint64_t> NonResidentField(std::span<const uint8_t> a, size_t at) {
  if (!IsNonResident(a) || a.size() < attr::kNonResidentHeaderBytes) return std::nullopt;
  return LoadLe64(a, at);
}
}  // namespace

std::optional<uint64_t> LowestVcn(std::span<const uint8_t> a) {
  return NonResidentField(a, attr::kLowestVcn);
}

std::optional<uint64_t> AllocatedSize(std::span<const uint8_t> a) {
  return NonResidentField(a, attr::kAllocatedSize);
}

std::optional<uint64_t> NonResidentDataSize(std::span<const uint8_t> a) {
  return NonResidentField(a, attr::kDataSize);
}

}  // namespace brinvale
