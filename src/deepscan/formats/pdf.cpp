// PDF documents.
#include <algorithm>
#include <vector>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

int DetectPdf(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "%PDF-") ? kTypePdf : kTypeUnknown;
}

// The last "%%EOF" of a chunk ends the document. A "trailer" keyword alone
// does not: the trailer dictionary, the cross-reference offset and the end
// marker still follow it, in the next chunk.
uint64_t SizePdf(SizingContext& ctx, std::span<const uint8_t> b) {
  constexpr std::string_view kEndOfFile = "%%EOF";
  ChunkReader chunks(ctx, 1 * kGiB, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const size_t from = chunks.SearchFrom(kEndOfFile.size());
    const size_t at = FindLastBytes(chunks.Window().subspan(from), kEndOfFile);
    if (at != kNotFound)
      return std::min(chunks.Counted(), chunks.WindowOffset() + from + at + kEndOfFile.size());
  }
  return chunks.Counted();
}

}  // namespace brinvale

// A PDF file ends at its last "%%EOF" and the line end after it (CR LF, CR
// or LF). Before that marker, "startxref" and a decimal offset name where
// the last cross-reference section starts: a table ("xref") or a stream
// object ("<n> <g> obj"), which must stand there.
namespace brinvale {

namespace {

bool IsPdfSpace(uint8_t c) {
  return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f' || c == 0;
}
constexpr uint64_t kStartXrefReach = 1024;

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// Reads a decimal number after optional white space; false without digits.
bool NumberAt(CarvedBytes& f, uint64_t& at, uint64_t& value) {
  uint8_t c = 0;
  while (f.Byte(at, c) && IsPdfSpace(c)) ++at;
  value = 0;
  int digits = 0;
  while (f.Byte(at, c) && IsDigit(c) && digits < 19) {
    value = value * 10 + (c - '0');
    ++digits;
    ++at;
  }
  return digits > 0;
}

// "xref", or an indirect object header "<n> <g> obj", at `at`.
bool CrossReferenceAt(CarvedBytes& f, uint64_t at) {
  if (f.HasAt(at, "xref")) return true;
  uint64_t number = 0, generation = 0;
  uint64_t p = at;
  uint8_t c = 0;
  if (!f.Byte(p, c) || !IsDigit(c)) return false;
  if (!NumberAt(f, p, number) || !NumberAt(f, p, generation)) return false;
  while (f.Byte(p, c) && IsPdfSpace(c)) ++p;
  return f.HasAt(p, "obj");
}

}  // namespace

CarvedVerdict CheckPdf(CarvedBytes& f) {
  if (!f.HasAt(0, "%PDF-")) return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t lastEof = UINT64_MAX;
  if (!f.FindAll("%%EOF", [&](uint64_t at) {
        lastEof = at;
        return true;
      }))
    return DamagedVerdict(CarvedFault::kUnreadable);
  if (lastEof == UINT64_MAX) return DamagedVerdict(CarvedFault::kRunsOff);
  uint64_t end = lastEof + 5;
  uint8_t c = 0;
  if (f.Byte(end, c) && c == '\r') {
    ++end;
    if (f.Byte(end, c) && c == '\n') ++end;
  } else if (f.Byte(end, c) && c == '\n') {
    ++end;
  }
  // "startxref" stands in the last few lines before the marker.
  const uint64_t from = lastEof > kStartXrefReach ? lastEof - kStartXrefReach : 0;
  std::vector<uint8_t> tail(size_t(lastEof - from));
  if (!f.Read(from, tail)) return DamagedVerdict(CarvedFault::kUnreadable);
  const size_t word = FindLastBytes(tail, "startxref");
  if (word == kNotFound) return DamagedVerdict(CarvedFault::kBadStructure);
  const uint64_t startXrefBeforeEof = from + word;
  uint64_t at = startXrefBeforeEof + 9, offset = 0;
  if (!NumberAt(f, at, offset) || offset >= lastEof || !CrossReferenceAt(f, offset))
    return DamagedVerdict(CarvedFault::kBadStructure);
  return CompleteVerdict(end);
}

}  // namespace brinvale
