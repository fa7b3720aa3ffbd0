// The fast path of identification. Nearly every sector of a medium matches
// no format, so instead of calling all detectors the first bytes pick the
// few that can answer: each detector lists the first bytes it accepts, or a
// test on later bytes for the few that accept any first byte. Detectors are
// tried in the order of their first row, which keeps the first match of
// the row-by-row walk (rows sharing a detector answer alike).
#include <array>
#include <bit>
#include <vector>

#include "common/bytes.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/file_type_table.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

namespace {

// Tests on later bytes for detectors that accept any first byte.
enum LaterBytes : unsigned {
  kNone = 0,
  kFtypAt4 = 1,          // ISO media: "ftyp" at 4
  kPatAt8 = 2,           // 192-byte stream packets: 00 00 B0 11 at 8
  kContentTypesAt31 = 4  // Office packages: "[" at 31
};

struct LeadKey {
  DetectFn detect;
  std::string_view firstBytes;  // any of these bytes may come first
  unsigned laterBytes;
};

// A detector missing here is tried on every buffer.
// clang-format off
const LeadKey kLeadKeys[] = {
    {DetectMpeg,               "\x00"sv,  kNone},
    {DetectMp4,                ""sv,      kFtypAt4},
    {DetectRealMedia,          "."sv,     kNone},
    {DetectAsf,                "\x30"sv,  kNone},
    {DetectSwf,                "CF"sv,    kNone},
    {DetectAvi,                "R"sv,     kNone},
    {DetectFlv,                "F"sv,     kNone},
    {Detect3gp,                ""sv,      kFtypAt4},
    {DetectMkv,                "\x1A"sv,  kNone},
    {DetectTransportStream,    "\x47"sv,  kNone},
    {DetectMts,                ""sv,      kPatAt8},
    {DetectMxf,                "\x06"sv,  kNone},
    {DetectMp3,                "I"sv,     kNone},
    {DetectMidi,               "M"sv,     kNone},
    {DetectApe,                "M"sv,     kNone},
    {DetectWav,                "R"sv,     kNone},
    {DetectMov,                "m"sv,     kFtypAt4},
    {DetectMp2,                "\xFF"sv,  kNone},
    {DetectMmf,                "M"sv,     kNone},
    {DetectFla,                "\xD0"sv,  kNone},
    {DetectGif,                "G"sv,     kNone},
    {DetectBmp,                "B"sv,     kNone},
    {DetectJpeg,               "\xFF"sv,  kNone},
    {DetectPng,                "\x89"sv,  kNone},
    {DetectPsd,                "8"sv,     kNone},
    {DetectTiff,               "MI"sv,    kNone},
    {DetectIco,                "\x00"sv,  kNone},
    {DetectCompoundDocument,   "\xD0"sv,  kNone},
    {DetectOfficePackage,      "P"sv,     kContentTypesAt31},
    {DetectPdf,                "%"sv,     kNone},
    {DetectGzip,               "\x1F"sv,  kNone},
    {Detect7z,                 "7"sv,     kNone},
    {DetectZip,                "P"sv,     kNone},
    {DetectRar,                "R"sv,     kNone},
    {DetectCab,                "M"sv,     kNone},
    {DetectPe,                 "M"sv,     kNone},
    {DetectGho,                "\xFE"sv,  kNone},
    {DetectSqlite,             "S"sv,     kNone},
    {DetectDbx,                "\xCF"sv,  kNone},
    {DetectPst,                "!"sv,     kNone},
    {DetectTrueType,           "\x00"sv,  kNone},
};

// clang-format on
struct Candidate {
  DetectFn detect;
  const FileTypeRow* firstRow;
};

struct Prefilter {
  std::vector<Candidate> detectors;  // distinct, in order of first row; at most 64
  std::array<uint64_t, 256> byFirstByte{};
  uint64_t always = 0;
  uint64_t ftypAt4 = 0, patAt8 = 0, contentTypesAt31 = 0;
};

Prefilter BuildPrefilter() {
  Prefilter p;
  for (const FileTypeRow& row : FileTypeTable()) {
    if (row.detect == nullptr) continue;
    bool seen = false;
    for (const Candidate& c : p.detectors) seen = seen || c.detect == row.detect;
    if (!seen) p.detectors.push_back({row.detect, &row});
  }
  for (size_t i = 0; i < p.detectors.size() && i < 64; ++i) {
    const uint64_t bit = uint64_t(1) << i;
    const LeadKey* key = nullptr;
    for (const LeadKey& k : kLeadKeys)
      if (k.detect == p.detectors[i].detect) key = &k;
    if (key == nullptr) {
      p.always |= bit;
      continue;
    }
    for (char c : key->firstBytes) p.byFirstByte[uint8_t(c)] |= bit;
    if (key->laterBytes & kFtypAt4) p.ftypAt4 |= bit;
    if (key->laterBytes & kPatAt8) p.patAt8 |= bit;
    if (key->laterBytes & kContentTypesAt31) p.contentTypesAt31 |= bit;
  }
  return p;
}

const Prefilter& ThePrefilter() {
  static const Prefilter prefilter = BuildPrefilter();
  return prefilter;
}

// The detectors that can accept `b`, one bit each in the order of
// Prefilter::detectors.
uint64_t CandidateMask(const Prefilter& p, std::span<const uint8_t> b) {
  if (b.empty()) return 0;
  uint64_t mask = p.byFirstByte[b[0]] | p.always;
  if (b.size() >= 8 && LoadLe32(b, 4) == 0x70797466) mask |= p.ftypAt4;  // "ftyp"
  if (b.size() >= 12 && LoadLe32(b, 8) == 0x11B00000) mask |= p.patAt8;  // 00 00 B0 11
  if (b.size() >= 32 && b[31] == '[') mask |= p.contentTypesAt31;
  return mask;
}

}  // namespace

bool MayStartFile(std::span<const uint8_t> b) {
  const Prefilter& p = ThePrefilter();
  if (p.detectors.size() > 64) return true;
  return CandidateMask(p, b) != 0;
}

FirstMatch DetectFirstMatch(SizingContext& ctx, std::span<const uint8_t> b) {
  const Prefilter& p = ThePrefilter();
  if (p.detectors.size() > 64) return DetectFirstMatchEveryRow(ctx, b);
  uint64_t mask = CandidateMask(p, b);
  while (mask != 0) {
    const Candidate& c = p.detectors[size_t(std::countr_zero(mask))];
    if (int code = c.detect(ctx, b); code != kTypeUnknown) return {code, c.firstRow};
    mask &= mask - 1;
  }
  return {};
}

}  // namespace brinvale
