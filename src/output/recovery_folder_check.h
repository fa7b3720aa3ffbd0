#pragma once

#include <filesystem>
#include <string>

// What stands in the way of recovering into a folder, found before any file
// is written, so that a bad folder fails once with its real reason rather
// than once per file.
namespace brinvale {

enum class RecoveryFolderProblem {
  kNone,
  kIsAFile,      // the folder's own path names a file
  kBelowAFile,   // one of the folders on the way is a file
  kNameTooLong,  // one name on the way is longer than the target allows
  kPathTooLong,  // the whole path is longer than a folder's path may be
  kLinkLoop,     // symbolic links on the way lead round in a loop
  kUnreachable,  // the system refused to look (no right to, say)
};

struct RecoveryFolderCheck {
  RecoveryFolderProblem problem = RecoveryFolderProblem::kNone;
  std::filesystem::path where;  // the file, name or folder at fault
  int error = 0;                // the system error for kUnreachable
};

// Looks at `folder` and each folder on the way to it, without changing
// anything: every name fits the target's name length, the path its path
// length, and the part that exists already is a chain of folders.
RecoveryFolderCheck CheckRecoveryFolder(const std::filesystem::path& folder);

// A sentence for the user about a problem with `given` (the folder as the
// user wrote it, UTF-8); empty for kNone.
std::string RecoveryFolderSentence(const RecoveryFolderCheck& check, const std::string& given);

}  // namespace brinvale
