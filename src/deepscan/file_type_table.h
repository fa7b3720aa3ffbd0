#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "deepscan/sizing_context.h"

// The ordered table of file formats that the content scan recognises, and
// the two operations over it: identifying and sizing a file from its first
// sector, and checking that a found file's data fits its extension.
namespace brinvale {

// Looks at the first bytes of a candidate (normally one sector) and answers
// a type code, or kTypeUnknown. Never reads past `buffer`; the few that
// read the medium do so through `ctx`, at its current sector.
using DetectFn = int (*)(SizingContext& ctx, std::span<const uint8_t> buffer);

// Works out a file's length in bytes from its first bytes and, through
// `ctx`, the sectors that follow its start sector.
using SizeFn = uint64_t (*)(SizingContext& ctx, std::span<const uint8_t> buffer);

struct FileTypeRow {
  const char* extension;  // lower case, no dot
  int typeCode;           // kTypeUnknown ends the table
  DetectFn detect;        // null: never recognised by this row
  SizeFn size;            // null: recognised but never reported
};

inline constexpr size_t kFileTypeRowCount = 87;

// The rows in order, without the end row.
std::span<const FileTypeRow> FileTypeTable();

// The first row whose extension is `extension` (ASCII letters in any
// case), or null.
const FileTypeRow* FirstRowOfExtension(std::string_view extension);

// The first row whose detector recognises `buffer`, in table order.
struct FirstMatch {
  int typeCode = 49;                 // the detector's answer, 49 for none
  const FileTypeRow* row = nullptr;  // the row that answered
};
// Tries only the rows whose detector can accept the buffer's first bytes;
// gives the same answer as DetectFirstMatchEveryRow.
FirstMatch DetectFirstMatch(SizingContext& ctx, std::span<const uint8_t> buffer);
// Whether any detector could accept `buffer`, judged on its first bytes
// alone (a pure function of them, safe on any thread): false means that
// DetectFirstMatch answers no match without calling a detector.
bool MayStartFile(std::span<const uint8_t> buffer);
// Calls every row's detector in order until one answers.
FirstMatch DetectFirstMatchEveryRow(SizingContext& ctx, std::span<const uint8_t> buffer);

// Identifies and sizes a candidate whose position the caller has set with
// ctx.SetCandidate (and whose progress values it has filled). On success
// `name` is "<fileNumber>.<extension>", `typeCode` the format and `size` the
// sizer's length in bytes. Returns 0; 87 when nothing recognises the buffer
// or the recognising row is never reported; kCancelled when the progress
// callback cancelled the sizing; 8 when memory ran out.
int IdentifyFile(SizingContext& ctx, std::span<const uint8_t> buffer, int64_t fileNumber,
                 std::string& name, int& typeCode, uint64_t& size);

// Whether the data at a found file's start looks like the format its
// extension names. An extension that is not in the table passes.
// `buffer` holds the file's first bytes, read from `startSector`; the
// compound-document, package and stream tests read more through `reader`.
bool MatchesExtension(SizingContext& ctx, std::span<const uint8_t> buffer,
                      std::string_view extension, SectorReader& reader, uint32_t bytesPerSector,
                      uint64_t startSector);

// The same with a context of its own, made for the call (allocates 128 KiB).
bool MatchesExtension(std::span<const uint8_t> buffer, std::string_view extension,
                      SectorReader& reader, uint32_t bytesPerSector, uint64_t startSector);

}  // namespace brinvale
