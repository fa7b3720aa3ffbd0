#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "engines/ntfs/attribute_walk.h"
#include "engines/ntfs/file_name_attribute.h"

// The name, times and size a file record gives its file.
namespace brinvale {

struct RecordNames {
  bool found = false;
  FileNameInfo first;   // the first $FILE_NAME: parent and times
  std::u16string name;  // the first name, or a Win32 name after it
  uint64_t size = 0;    // the $FILE_NAME size, or the unnamed $DATA's
  bool dataSeen = false;
};

// Walks a repaired record with `kind` (a walk bounded by bytes in use).
// The first $FILE_NAME gives parent, times, name and size; a later one in
// the Win32 namespace replaces the name (DOS and POSIX names may come
// first); the first unnamed $DATA after it gives the size. The times of a
// resident $STANDARD_INFORMATION replace the $FILE_NAME's: they are the
// ones the system keeps up and shows, where a $FILE_NAME's are those of the
// file's creation, last rename or move (a copied photo keeps its own date
// only in the former).
RecordNames ReadRecordNames(std::span<const uint8_t> record, uint32_t recordSize, WalkKind kind);

}  // namespace brinvale
