// Every structural walker of carved audio and video on arbitrary bytes.
// Byte 0 picks the walker, byte 1 the sector size and how far the extent
// reaches (into the medium's last sector, or short of it); the rest is the
// medium, read through a memory-backed reader, with the file at its first
// sector.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "deepscan/carved_bytes.h"
#include "deepscan/formats/walkers.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brinvale;
  using Walker = CarvedVerdict (*)(CarvedBytes&);
  static constexpr Walker kWalkers[] = {
      CheckRiff,
      CheckIsoBmff,
      CheckMatroska,
      CheckFlv,
      CheckSwf,
      CheckMpegProgram,
      CheckTransportStream,
      CheckMts,
      CheckMpegAudio,
      CheckAsf,
      CheckApe,
      CheckMidi,
      CheckMmf,
      CheckRealMedia,
      CheckMxf,
      CheckOgg,
  };
  if (size < 2) return 0;
  const Walker walk = kWalkers[data[0] % std::size(kWalkers)];
  const uint32_t bps = 512u << (data[1] & 3);
  const std::span<const uint8_t> medium(data + 2, size - 2);
  const uint64_t sectors = (medium.size() + bps - 1) / bps;
  // The extent may pass the medium's end: reads there fail, never overrun.
  uint64_t extent = medium.size();
  if (data[1] & 4) extent += bps * 2;
  if (data[1] & 8) extent = extent / 2;
  std::vector<uint8_t> padded(medium.begin(), medium.end());
  padded.resize(sectors * bps, 0);
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::move(padded)), sectors);
  CarvedBytes file(reader, bps, 0, extent);
  const CarvedVerdict verdict = walk(file);
  // A complete file never ends past its extent, nor is it empty.
  if (verdict.condition == CarvedCondition::kComplete &&
      (verdict.exactLength > extent || verdict.exactLength == 0))
    __builtin_trap();
  return 0;
}
