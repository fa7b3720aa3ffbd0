#pragma once

#include <cstdint>
#include <optional>
#include <span>

// Fields of one attribute. Every function takes exactly the attribute's
// bytes (as AttributeWalk hands them out, at least the 0x18-byte resident
// header) and checks the length before reading past that header.
namespace brinvale {

uint32_t AttributeType(std::span<const uint8_t> attribute);
bool IsNonResident(std::span<const uint8_t> attribute);

// The attribute's UTF-16 name bytes; empty for an unnamed attribute or a
// name that does not fit inside the attribute.
std::span<const uint8_t> AttributeName(std::span<const uint8_t> attribute);
bool IsUnnamed(std::span<const uint8_t> attribute);

// A resident attribute's value (value length bytes at the value offset), or
// nothing when the attribute is non-resident or the value does not lie
// inside it after the header.
std::optional<std::span<const uint8_t>> ResidentValue(std::span<const uint8_t> attribute);

// Non-resident fields, or nothing for a resident attribute or one too short
// for its non-resident header.
std::optional<uint64_t> LowestVcn(std::span<const uint8_t> attribute);
std::optional<uint64_t> AllocatedSize(std::span<const uint8_t> attribute);
std::optional<uint64_t> NonResidentDataSize(std::span<const uint8_t> attribute);

}  // namespace brinvale
