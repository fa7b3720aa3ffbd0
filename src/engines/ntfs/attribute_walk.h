#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Walking the attributes of a file record.
namespace brinvale {

// The walks differ in how far they go and which types end them:
//   kind            bound of the offset   ends at type
//   kRecordAnalysis bytes in use (0x18)   0xFFFFFFFF, 0xFDFDFDFD or above, 0
//   kParentChain    bytes in use          0xFFFFFFFF, 0xFDFDFDFD, 0
//   kFindRuns       record size           0xFFFFFFFF
//   kResidentData   record size           0xFFFFFFFF, 0xFDFDFDFD
//   kDataSize       record size           0xFFFFFFFF
// Every walk also ends at an attribute shorter than its 0x18-byte header
// (length 0 included) and at one that does not end inside the record, so
// an attribute handed out always lies wholly inside the record.
enum class WalkKind { kRecordAnalysis, kParentChain, kFindRuns, kResidentData, kDataSize };

// Borrows `record` (a record HasFileSignature accepted, fix-up applied; must
// outlive the walk). `recordSize` bounds the walk together with the
// record's length.
//
//   AttributeWalk walk(record, volume.recordSize, WalkKind::kFindRuns);
//   while (walk.Next()) Use(walk.Attribute());
class AttributeWalk {
 public:
  AttributeWalk(std::span<const uint8_t> record, uint32_t recordSize, WalkKind kind);

  // Moves to the first, then the next attribute; false once the walk ended.
  bool Next();

  std::span<const uint8_t> Attribute() const { return m_attribute; }
  uint32_t Type() const;
  size_t Offset() const { return m_offset; }

 private:
  bool EndsAt(uint32_t type) const;

  std::span<const uint8_t> m_record;
  WalkKind m_kind;
  size_t m_bound = 0;
  size_t m_next = 0;
  size_t m_offset = 0;
  bool m_done = false;
  std::span<const uint8_t> m_attribute;
};

}  // namespace brinvale
