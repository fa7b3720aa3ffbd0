#include "platform/caller_rights.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/system_error.h"

namespace brinvale::platform {
namespace {

struct Caller {
  uid_t uid;
  gid_t gid;
  std::filesystem::path home;
};

std::optional<Caller> PkexecCaller() {
  if (::geteuid() != 0) return std::nullopt;
  const char* text = std::getenv("PKEXEC_UID");
  if (text == nullptr || text[0] == '\0') return std::nullopt;
  unsigned long uid = 0;
  const char* end = text + std::strlen(text);
  const auto [at, ec] = std::from_chars(text, end, uid);
  if (ec != std::errc() || at != end || uid == 0) return std::nullopt;
  const passwd* pw = ::getpwuid(uid_t(uid));
  if (pw == nullptr || pw->pw_dir == nullptr || pw->pw_dir[0] != '/') return std::nullopt;
  return Caller{uid_t(uid), pw->pw_gid, pw->pw_dir};
}

int Give(const std::filesystem::path& path, const Caller& caller) {
  if (::lchown(path.c_str(), caller.uid, caller.gid) != 0) return ErrnoToSystemError(errno, IoDirection::kWrite);
  return 0;
}

}  // namespace

std::optional<std::filesystem::path> CallerHome() {
  if (std::optional<Caller> caller = PkexecCaller()) return caller->home;
  return std::nullopt;
}

int GiveToCaller(const std::filesystem::path& path) {
  const std::optional<Caller> caller = PkexecCaller();
  if (!caller) return 0;
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return 0;
  int first = Give(path, *caller);
  if (!std::filesystem::is_directory(std::filesystem::symlink_status(path, ec))) return first;
  for (std::filesystem::recursive_directory_iterator it(path, ec), end; !ec && it != end;
       it.increment(ec)) {
    const int rc = Give(it->path(), *caller);
    if (first == 0) first = rc;
  }
  return first;
}

}  // namespace brinvale::platform
