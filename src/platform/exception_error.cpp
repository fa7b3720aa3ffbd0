#include <exception>
#include <new>
#include <system_error>

#include "common/error_codes.h"
#include "platform/system_error.h"

namespace brinvale::platform {

int SystemErrorFromCurrentException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  } catch (const std::system_error& e) {
    // std::filesystem::filesystem_error is a system_error.
    const int code = e.code().category() == std::system_category() ||
                             e.code().category() == std::generic_category()
                         ? SystemErrorFromErrorCode(e.code())
                         : kErrGenFailure;
    return code != kOk ? code : kErrGenFailure;
  } catch (...) {
    return kErrGenFailure;
  }
}

}  // namespace brinvale::platform
