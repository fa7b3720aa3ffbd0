#include "output/recovery_folder_check.h"

#include <system_error>

#include "common/error_codes.h"
#include "results/target_paths.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "results/name_fit.h"

namespace brinvale {

RecoveryFolderCheck CheckRecoveryFolder(const std::filesystem::path& folder) {
  RecoveryFolderCheck check;
  const TargetLimits limits = LimitsOf(TargetSystem::kHost);
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(folder, ec);
  if (ec) full = folder;
  for (const std::filesystem::path& part : full.relative_path()) {
    if (TargetLength(platform::PathToUtf8(part), TargetSystem::kHost) > limits.name) {
      check.problem = RecoveryFolderProblem::kNameTooLong;
      check.where = part;
      return check;
    }
  }
  if (TargetLength(platform::PathToUtf8(full), TargetSystem::kHost) > limits.folder) {
    check.problem = RecoveryFolderProblem::kPathTooLong;
    check.where = full;
    return check;
  }
  // Each folder on the way, from the root down, until one does not exist:
  // what follows is made by recovery.
  std::filesystem::path at = full.root_path();
  for (const std::filesystem::path& part : full.relative_path()) {
    if (part.empty() || part == ".") continue;
    at /= part;
    const std::filesystem::file_status status = std::filesystem::status(at, ec);
    if (ec && status.type() != std::filesystem::file_type::not_found) {
      const int rc = platform::SystemErrorFromErrorCode(ec);
      check.problem = rc == kErrCantResolveFilename ? RecoveryFolderProblem::kLinkLoop
                                                    : RecoveryFolderProblem::kUnreachable;
      check.where = at;
      check.error = rc;
      return check;
    }
    if (!std::filesystem::exists(status)) return check;
    if (!std::filesystem::is_directory(status)) {
      check.problem = at == full ? RecoveryFolderProblem::kIsAFile : RecoveryFolderProblem::kBelowAFile;
      check.where = at;
      return check;
    }
  }
  return check;
}

std::string RecoveryFolderSentence(const RecoveryFolderCheck& check, const std::string& given) {
  const std::string where = platform::PathToUtf8(check.where);
  const TargetLimits limits = LimitsOf(TargetSystem::kHost);
  const std::string units = TargetSystem::kHost == TargetSystem::kWindows ? " characters" : " bytes";
  switch (check.problem) {
    case RecoveryFolderProblem::kNone: return {};
    case RecoveryFolderProblem::kIsAFile: return given + " is a file, not a folder";
    case RecoveryFolderProblem::kBelowAFile:
      return given + " cannot be made: " + where + " is a file, not a folder";
    case RecoveryFolderProblem::kNameTooLong:
      return given + " cannot be made: the name \"" + where + "\" is longer than the " +
             std::to_string(limits.name) + units + " a name may have";
    case RecoveryFolderProblem::kPathTooLong:
      return given + " is longer than the " + std::to_string(limits.folder) + units +
             " a folder's path may have";
    case RecoveryFolderProblem::kLinkLoop:
      return given + " cannot be reached: the symbolic links at " + where +
             " lead round in a loop";
    case RecoveryFolderProblem::kUnreachable:
      return given + " cannot be reached at " + where + ": " +
             platform::SystemErrorMessage(check.error);
  }
  return {};
}

}  // namespace brinvale
