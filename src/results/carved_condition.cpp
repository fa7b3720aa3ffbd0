#include "results/carved_condition.h"

namespace brinvale {

std::string_view CarvedConditionName(CarvedCondition condition) {
  switch (condition) {
    case CarvedCondition::kComplete: return "complete";
    case CarvedCondition::kDamaged: return "damaged";
    case CarvedCondition::kUnchecked: break;
  }
  return "unchecked";
}

std::string_view CarvedFaultText(CarvedFault fault) {
  switch (fault) {
    case CarvedFault::kRunsOff: return "runs past its end";
    case CarvedFault::kChecksum: return "checksum fails";
    case CarvedFault::kBadStructure: return "broken structure";
    case CarvedFault::kUnreadable: return "unreadable";
    case CarvedFault::kNone: break;
  }
  return "";
}

uint64_t RecoveredLength(const CarvedVerdict& verdict, uint64_t carvedSize) {
  if (verdict.condition == CarvedCondition::kComplete && verdict.exactLength != 0)
    return verdict.exactLength;
  if (verdict.condition == CarvedCondition::kUnchecked && verdict.streamEnd != 0 &&
      verdict.streamEnd <= carvedSize)
    return verdict.streamEnd;
  return carvedSize;
}

CarvedVerdict CarvedVerdictOf(IRidiRedazuvoParse& engine, const ScanRecord& record) {
  if (record.IsFolder()) return {};
  if (auto* conditions = dynamic_cast<ICarvedConditions*>(&engine))
    return conditions->CarvedVerdictOf(record);
  return {};
}

std::optional<CarvedVerdict> KnownVerdictOf(IRidiRedazuvoParse& engine,
                                           const ScanRecord& record) {
  if (record.IsFolder()) return CarvedVerdict{};
  if (auto* conditions = dynamic_cast<ICarvedConditions*>(&engine))
    return conditions->KnownVerdictOf(record);
  return CarvedVerdict{};
}

}  // namespace brinvale
