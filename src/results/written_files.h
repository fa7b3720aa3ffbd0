#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// The files a recovery wrote whole on this thread, with the size and
// SHA-256 of the bytes that went into them. The engines' copies note each
// file as they close it; the recovery takes the notes for its manifest,
// which then need not read the files back.
namespace brinvale {

struct WrittenDigest {
  uint64_t size = 0;
  std::string sha256;  // lower-case hex
  // Taken by the write that created the file new and wrote it whole, and
  // handed to the file's row directly rather than noted by path: it is
  // what is in the file, and the manifest takes it without looking again.
  bool exact = false;
};

// Notes that `path` was written whole on this thread: `digest` of its bytes.
// A note for the same path replaces the earlier one. Past a million notes
// nobody took, the oldest are dropped (their files are read back instead).
void NoteWrittenFile(const std::filesystem::path& path, WrittenDigest digest);

// Takes (and removes) this thread's note of `path`.
std::optional<WrittenDigest> TakeWrittenFile(const std::filesystem::path& path);

// Drops this thread's notes, as a recovery ends.
void ForgetWrittenFiles();

}  // namespace brinvale
