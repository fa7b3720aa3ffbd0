#pragma once

#include <cstdint>
#include <span>
#include <string>

// The $FILE_NAME attribute: a name of the file and the folder it is in.
namespace brinvale {

struct FileNameInfo {
  uint64_t parentRecord = 0;    // 48-bit record number of the parent folder
  uint16_t parentSequence = 0;  // the parent's sequence number when linked
  uint64_t created = 0;         // FILETIME values, unchanged
  uint64_t modified = 0;
  uint64_t accessed = 0;
  uint64_t dataSize = 0;  // as last noted in the folder; $DATA has the true size
  uint8_t nameSpace = 0;  // 0 POSIX, 1 Win32, 2 DOS, 3 Win32 and DOS
  std::u16string name;
};

// Decodes a resident $FILE_NAME attribute (exactly its bytes; its value at
// 0x18). Returns false, leaving `info` unchanged, for another type, a
// non-resident attribute, or a name that does not end inside the attribute.
bool DecodeFileName(std::span<const uint8_t> attribute, FileNameInfo& info);

}  // namespace brinvale
