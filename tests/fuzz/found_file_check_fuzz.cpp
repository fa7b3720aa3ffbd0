// The check of a file found through its file system on arbitrary bytes:
// byte 0 picks the name's extension, byte 1 how the file lies (in memory,
// or in stretches of the medium taken in reverse order with sparse
// stretches between them and lengths that end inside sectors), bytes 2 and
// 3 how the recorded size stands to the bytes laid out; the rest is the
// file.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "deepscan/carved_bytes.h"
#include "deepscan/file_extent_map.h"
#include "deepscan/found_file_check.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brinvale;
  static const char* const kNames[] = {"a.jpg", "a.png", "a.gif", "a.bmp", "a.tif", "a.psd",
                                       "a.ico", "a.pdf", "a.zip", "a.doc", "a.7z",  "a.rar",
                                       "a.rtf", "a.txt"};
  if (size < 4) return 0;
  const std::span<const uint8_t> file(data + 4, size - 4);
  const uint8_t layout = data[1];
  // The recorded size: the bytes laid out, fewer, or more.
  uint64_t recorded = file.size();
  const uint64_t delta = uint64_t(data[2]) << (data[3] & 15);
  if (data[3] & 16) recorded = delta > recorded ? 0 : recorded - delta;
  if (data[3] & 32) recorded += delta;
  ScanRecord record;
  record.SetEngine(EngineCode::kQuickNtfs);
  record.SetName(kNames[data[0] % std::size(kNames)]);
  record.SetFileSize(recorded);

  CarvedVerdict verdict;
  if (layout & 1) {
    CarvedBytes bytes(file);
    verdict = CheckFoundFile(record, bytes);
  } else {
    // Pieces of the file stored back to front on the medium, each taken as
    // one stretch; every other gap becomes a sparse stretch.
    const size_t piece = 1 + (layout >> 1) * 37;
    std::vector<uint8_t> medium;
    FileExtentMap map;
    std::vector<std::pair<size_t, size_t>> pieces;  // file offset, length
    for (size_t at = 0; at < file.size(); at += piece)
      pieces.push_back({at, std::min(piece, file.size() - at)});
    std::vector<uint64_t> sectorOf(pieces.size());
    for (size_t i = pieces.size(); i-- > 0;) {
      sectorOf[i] = medium.size() / 512;
      medium.insert(medium.end(), file.begin() + pieces[i].first,
                    file.begin() + pieces[i].first + pieces[i].second);
      medium.resize((medium.size() + 511) / 512 * 512, 0xEE);
    }
    for (size_t i = 0; i < pieces.size(); ++i) {
      map.push_back({pieces[i].second, sectorOf[i], false});
      if ((layout & 2) && i % 2 == 1) map.push_back({piece, 0, true});
    }
    SectorReader reader;
    const uint64_t sectors = medium.size() / 512;
    OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::move(medium)), sectors);
    CarvedBytes bytes(reader, 512, std::move(map), recorded);
    verdict = CheckFoundFile(record, bytes);
  }
  // A complete found file is its recorded size, never cut.
  if (verdict.condition == CarvedCondition::kComplete && verdict.exactLength != recorded)
    __builtin_trap();
  return 0;
}
