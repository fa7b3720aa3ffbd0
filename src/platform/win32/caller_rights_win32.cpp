#include "platform/caller_rights.h"

namespace brinvale::platform {

std::optional<std::filesystem::path> CallerHome() { return std::nullopt; }

int GiveToCaller(const std::filesystem::path&) { return 0; }

}  // namespace brinvale::platform
