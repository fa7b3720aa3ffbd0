#include "engines/ntfs/attribute_walk.h"

#include <algorithm>

#include "common/bytes.h"
#include "engines/ntfs/attribute.h"
#include "engines/ntfs/file_record.h"
#include "engines/ntfs/ntfs_layout.h"

namespace brinvale {

using namespace ntfs;

AttributeWalk::AttributeWalk(std::span<const uint8_t> record, uint32_t recordSize, WalkKind kind)
    : m_kind(kind) {
  m_record = record.first(std::min<size_t>({record.size(), recordSize, kRecordBufferBytes}));
  if (!HasFileSignature(m_record)) {
    m_done = true;
    return;
  }
  m_bound = m_record.size();
  if (kind == WalkKind::kRecordAnalysis || kind == WalkKind::kParentChain)
    m_bound = std::min<size_t>(m_bound, BytesInUse(m_record));
  m_next = FirstAttributeOffset(m_record);
}

uint32_t AttributeWalk::Type() const { return AttributeType(m_attribute); }

bool AttributeWalk::EndsAt(uint32_t type) const {
  switch (m_kind) {
    case WalkKind::kRecordAnalysis: return type == kTypeEnd || type >= kTypeFill || type == 0;
    case WalkKind::kParentChain: return type == kTypeEnd || type == kTypeFill || type == 0;
    case WalkKind::kResidentData: return type == kTypeEnd || type == kTypeFill;
    case WalkKind::kFindRuns:
    case WalkKind::kDataSize: return type == kTypeEnd;
  }
  return true;
}

bool AttributeWalk::Next() {
  m_attribute = {};
  if (m_done) return false;
  m_done = true;  // until this attribute proves sound
  const size_t at = m_next;
  if (at >= m_bound || m_record.size() - at < 8) return false;
  if (EndsAt(LoadLe32(m_record, at + attr::kType))) return false;
  const uint32_t length = LoadLe32(m_record, at + attr::kLength);
  if (length < attr::kResidentHeaderBytes || length > m_record.size() - at) return false;
  m_offset = at;
  m_next = at + length;
  m_attribute = m_record.subspan(at, length);
  m_done = false;
  return true;
}

}  // namespace brinvale
