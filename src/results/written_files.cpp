#include "results/written_files.h"

#include <unordered_map>

namespace brinvale {
namespace {

constexpr size_t kMostNotes = size_t(1) << 20;

using Notes = std::unordered_map<std::filesystem::path::string_type, WrittenDigest>;

Notes& ThreadNotes() {
  thread_local Notes notes;
  return notes;
}

}  // namespace

void NoteWrittenFile(const std::filesystem::path& path, WrittenDigest digest) {
  Notes& notes = ThreadNotes();
  // Notes nobody takes (a copy outside any recovery) must not pile up.
  if (notes.size() >= kMostNotes) notes.clear();
  notes.insert_or_assign(path.native(), std::move(digest));
}

std::optional<WrittenDigest> TakeWrittenFile(const std::filesystem::path& path) {
  Notes& notes = ThreadNotes();
  auto found = notes.find(path.native());
  if (found == notes.end()) return std::nullopt;
  WrittenDigest digest = std::move(found->second);
  notes.erase(found);
  return digest;
}

void ForgetWrittenFiles() { Notes().swap(ThreadNotes()); }

}  // namespace brinvale
