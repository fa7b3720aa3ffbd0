// Every content detector and sizer on arbitrary media. Byte 0 picks the
// format row, byte 1 the sector size and the stream flags, byte 2 the
// candidate sector and how much of it the buffer holds; the rest is the
// medium, read through a memory-backed reader.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "deepscan/file_type_table.h"
#include "deepscan/sizing_context.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brinvale;
  if (size < 3) return 0;
  static SizingContext* const ctx = new SizingContext();  // reused, as by one engine
  const std::span<const FileTypeRow> rows = FileTypeTable();
  const FileTypeRow& row = rows[data[0] % rows.size()];
  const uint32_t bps = 512u << (data[1] & 3);
  const std::span<const uint8_t> medium(data + 3, size - 3);
  const uint64_t sectors = medium.size() / bps;
  const uint64_t start = sectors ? (data[2] & 7) % sectors : 0;
  const size_t offset = size_t(start * bps);
  size_t length = medium.size() - offset;
  if (data[2] & 0x80) length = std::min<size_t>(length, bps);
  if (data[2] & 0x40) length = std::min<size_t>(length, (data[2] & 0x3F) * 2);
  const std::span<const uint8_t> buffer = medium.subspan(offset, length);

  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(medium), sectors);
  ctx->SetCandidate(reader, bps, start);
  ctx->inStream = data[1] & 4;
  ctx->afterMts = data[1] & 8;
  if (ctx->streamRanges.size() > 64) ctx->streamRanges.clear();
  ctx->stopValue = 0;
  ctx->sectorsReadBySizing = 0;

  if (row.detect != nullptr) (void)row.detect(*ctx, buffer);
  ctx->SetCandidate(reader, bps, start);
  if (row.size != nullptr) (void)row.size(*ctx, buffer);

  ctx->SetCandidate(reader, bps, start);
  std::string name;
  int code = 0;
  uint64_t found = 0;
  (void)IdentifyFile(*ctx, buffer, int64_t(start), name, code, found);
  (void)MatchesExtension(*ctx, buffer, row.extension, reader, bps, start);
  (void)DetectFirstMatchEveryRow(*ctx, buffer);
  return 0;
}
