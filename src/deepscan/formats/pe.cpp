// Windows executables: recognised so that the scan does not take their
// sectors for other files, but never reported.
#include "common/bytes.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

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
