#include "results/name_fit.h"

#include <algorithm>

#include <cstdint>

namespace brinvale {
namespace {

constexpr std::string_view kPartialMarker = ".partial";

// The bytes of the UTF-8 sequence at `at`: a lead byte and the continuation
// bytes that follow it. A malformed sequence ends at the first byte that
// does not continue it.
size_t SequenceBytes(std::string_view text, size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const size_t wanted = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
  size_t got = 1;
  while (got < wanted && at + got < text.size() &&
         (static_cast<unsigned char>(text[at + got]) & 0xC0) == 0x80)
    ++got;
  return got;
}

// The target units one sequence takes. Windows: four bytes make a surrogate
// pair; each byte of a malformed sequence becomes a replacement character.
size_t SequenceUnits(std::string_view text, size_t at, size_t bytes, TargetSystem system) {
  if (system == TargetSystem::kPosix) return bytes;
  const auto lead = static_cast<unsigned char>(text[at]);
  const size_t wanted = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
  if (bytes != wanted) return bytes;
  return bytes == 4 ? 2 : 1;
}

// The longest prefix of `text` that ends on a sequence boundary and takes
// at most `room` units.
std::string_view Cut(std::string_view text, size_t room, TargetSystem system) {
  size_t used = 0;
  size_t at = 0;
  while (at < text.size()) {
    const size_t bytes = SequenceBytes(text, at);
    const size_t units = SequenceUnits(text, at, bytes, system);
    if (used + units > room) break;
    used += units;
    at += bytes;
  }
  return text.substr(0, at);
}

// Splits `name` into base and extension; the extension is kept only when
// it takes at most half of `room`.
void Split(std::string_view name, size_t room, TargetSystem system, std::string_view& base,
           std::string_view& extension) {
  const size_t dot = name.rfind('.');
  base = name;
  extension = {};
  if (dot == std::string_view::npos || dot == 0) return;
  const std::string_view candidate = name.substr(dot);
  if (TargetLength(candidate, system) * 2 > room) return;
  base = name.substr(0, dot);
  extension = candidate;
}

void MendWindowsEnd(std::string& name, TargetSystem system) {
  // Windows drops trailing dots and blanks, which would change the name.
  if (system == TargetSystem::kWindows && !name.empty() && (name.back() == '.' || name.back() == ' '))
    name.back() = '_';
}

}  // namespace

TargetLimits LimitsOf(TargetSystem system) {
  if (system == TargetSystem::kWindows) return {255, 259, 247};
  return {255, 4095, 4095};
}

size_t TargetLength(std::string_view utf8, TargetSystem system) {
  if (system == TargetSystem::kPosix) return utf8.size();
  size_t units = 0;
  for (size_t at = 0; at < utf8.size();) {
    const size_t bytes = SequenceBytes(utf8, at);
    units += SequenceUnits(utf8, at, bytes, system);
    at += bytes;
  }
  return units;
}

size_t FileNameRoom(std::string_view folderUtf8, TargetSystem system) {
  const TargetLimits limits = LimitsOf(system);
  const size_t folder = TargetLength(folderUtf8, system);
  return folder + 1 < limits.file ? std::min(limits.name, limits.file - folder - 1) : 0;
}

std::string FitFileName(std::string_view name, size_t room, TargetSystem system) {
  if (TargetLength(name, system) <= room) return std::string(name);
  if (room == 0) return {};
  std::string_view base, extension;
  Split(name, room, system, base, extension);
  std::string out(Cut(base, room - TargetLength(extension, system), system));
  if (out.empty()) {
    out = std::string(Cut(name, room, system));
  } else {
    out += extension;
  }
  if (out.empty()) out = "_";  // the first character alone is wider than the room
  MendWindowsEnd(out, system);
  return out;
}

std::string PartialFileName(std::string_view name, size_t room, TargetSystem system) {
  std::string_view base, extension;
  Split(name, room, system, base, extension);
  const size_t fixed = TargetLength(kPartialMarker, system) + TargetLength(extension, system);
  if (fixed >= room) return FitFileName(std::string(name) + std::string(kPartialMarker), room, system);
  std::string out(Cut(base, room - fixed, system));
  out += kPartialMarker;
  out += extension;
  return out;
}

}  // namespace brinvale
