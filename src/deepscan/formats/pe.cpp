// Windows executables: recognised so that the scan does not take their
// sectors for other files, but never reported.
#include <algorithm>

#include "common/bytes.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

// "MZ", the PE header offset at 0x3C, "PE" 00 00 there, and the COFF
// characteristics at header + 22: executable image (0x0002), system file
// (0x1000), DLL (0x2000).
int DetectPe(SizingContext&, std::span<const uint8_t> b) {
  constexpr size_t kHeaderOffsetAt = 0x3C, kCharacteristicsAt = 22;
  if (b.size() < 512 || !HasAt(b, 0, "MZ")) return kTypeUnknown;
  const uint32_t header = LoadLe32(b, kHeaderOffsetAt);
  if (header > 488 || !HasAt(b, header, "PE\x00\x00"sv)) return kTypeUnknown;
  const uint16_t characteristics = LoadLe16(b, header + kCharacteristicsAt);
  if ((characteristics & 0x0002) == 0) return kTypeUnknown;
  if (characteristics & 0x1000) return kTypeSys;
  if (characteristics & 0x2000) return kTypeDll;
  return kTypeExe;
}

}  // namespace brinvale

namespace brinvale {

namespace {

// COFF header after "PE\0\0": section count at 2, symbol table offset at
// 8, symbol count at 12, optional header size at 16. Optional header:
// magic (0x10B PE32, 0x20B PE32+), header size at 60, the data directory
// count at 92 (PE32) or 108 (PE32+) and the directories after it, the
// certificate table (a file offset, not an address) fifth. Section
// headers (40 bytes) follow the optional header: raw data size at 16,
// raw data offset at 20.
constexpr uint64_t kCoffBytes = 20, kSectionBytes = 40, kSymbolBytes = 18;
constexpr uint16_t kMaxSections = 96;
constexpr uint32_t kCertificateDirectory = 4;

}  // namespace

// The file is its headers, every section's raw data, the COFF symbol and
// string tables when present, and the certificate table when present: it
// ends at the furthest of their ends. (Data appended past them, as
// installers carry, is stated by nothing in the file.)
CarvedVerdict CheckPe(CarvedBytes& f) {
  uint32_t pe = 0;
  if (!f.HasAt(0, "MZ"sv) || !f.Le32(0x3C, pe)) return DamagedVerdict(CarvedFault::kRunsOff);
  if (!f.HasAt(pe, "PE\x00\x00"sv)) return DamagedVerdict(CarvedFault::kBadStructure);
  const uint64_t coff = uint64_t(pe) + 4, opt = coff + kCoffBytes;
  uint16_t sections = 0, optSize = 0, magic = 0;
  uint32_t symbols = 0, symbolCount = 0, headers = 0;
  if (!f.Le16(coff + 2, sections) || !f.Le32(coff + 8, symbols) ||
      !f.Le32(coff + 12, symbolCount) || !f.Le16(coff + 16, optSize) || !f.Le16(opt, magic) ||
      !f.Le32(opt + 60, headers))
    return DamagedVerdict(CarvedFault::kRunsOff);
  if ((magic != 0x10B && magic != 0x20B) || sections > kMaxSections)
    return DamagedVerdict(CarvedFault::kBadStructure);
  const uint64_t countAt = opt + (magic == 0x10B ? 92 : 108);
  uint32_t directories = 0;
  if (countAt + 4 > opt + optSize || !f.Le32(countAt, directories))
    return DamagedVerdict(CarvedFault::kBadStructure);
  const uint64_t tableAt = opt + optSize;
  uint64_t end = std::max<uint64_t>(headers, tableAt + kSectionBytes * sections);
  if (!f.Holds(0, end)) return DamagedVerdict(CarvedFault::kRunsOff);
  for (uint16_t i = 0; i < sections; ++i) {
    uint32_t size = 0, offset = 0;
    if (!f.Le32(tableAt + kSectionBytes * i + 16, size) ||
        !f.Le32(tableAt + kSectionBytes * i + 20, offset))
      return DamagedVerdict(CarvedFault::kRunsOff);
    if (size == 0) continue;
    if (!f.Holds(offset, size)) return DamagedVerdict(CarvedFault::kRunsOff);
    end = std::max(end, uint64_t(offset) + size);
  }
  if (symbols != 0 && symbolCount != 0) {
    // The string table follows the symbols, its own length first.
    const uint64_t strings = uint64_t(symbols) + kSymbolBytes * symbolCount;
    uint32_t length = 0;
    if (!f.Le32(strings, length) || !f.Holds(strings, length))
      return DamagedVerdict(CarvedFault::kRunsOff);
    if (length < 4) return DamagedVerdict(CarvedFault::kBadStructure);
    end = std::max(end, strings + length);
  }
  const uint64_t certificate = countAt + 4 + uint64_t(8) * kCertificateDirectory;
  if (directories > kCertificateDirectory && certificate + 8 <= opt + optSize) {
    uint32_t offset = 0, size = 0;
    if (!f.Le32(certificate, offset) || !f.Le32(certificate + 4, size))
      return DamagedVerdict(CarvedFault::kRunsOff);
    if (size != 0) {
      if (!f.Holds(offset, size)) return DamagedVerdict(CarvedFault::kRunsOff);
      end = std::max(end, uint64_t(offset) + size);
    }
  }
  return CompleteVerdict(end);
}

}  // namespace brinvale
