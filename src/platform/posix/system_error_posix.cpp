#include <cerrno>

#include "common/error_codes.h"
#include "platform/system_error.h"

namespace brinvale::platform {

int LastSystemError() { return ErrnoToSystemError(errno); }

int SystemErrorFromErrorCode(const std::error_code& ec) { return ErrnoToSystemError(ec.value()); }

// The one table from errno to the Windows system error codes that the
// engines and the interface know.
int ErrnoToSystemError(int err, IoDirection direction) {
  switch (err) {
    case 0: return kOk;
    case ENOENT: return kErrFileNotFound;
    case ENOTDIR: return kErrPathNotFound;
    case ENXIO:
    case ENODEV: return kErrFileNotFound;
    case EMFILE:
    case ENFILE: return kErrTooManyOpenFiles;
    case EACCES:
    case EPERM: return kErrAccessDenied;
    case EBADF: return kErrInvalidHandle;
    case ENOMEM: return kErrOutOfMemory;
    case EROFS: return kErrWriteProtect;
    case ESPIPE: return kErrSeek;
    case EIO: return direction == IoDirection::kWrite ? kErrWriteFault : kErrReadFault;
    case ENOMEDIUM: return kErrNoMediaInDrive;
    case EBUSY: return kErrBusy;
    case ETXTBSY: return kErrSharingViolation;
    case EISDIR: return kErrAccessDenied;
    case EINVAL:
    case EOVERFLOW:
    case EFBIG: return kErrInvalidParameter;
    case EPIPE: return kErrBrokenPipe;
    case ENOSPC:
    case EDQUOT: return kErrDiskFull;
    case EEXIST: return kErrAlreadyExists;
    case ENAMETOOLONG: return kErrFilenameTooLong;
    case ENOTEMPTY: return kErrDirNotEmpty;
    case ENOTSUP: return kErrNotSupported;
    case ENOTTY: return kErrInvalidParameter;
    case ELOOP: return kErrCantResolveFilename;
    default: return kErrGenFailure;
  }
}

}  // namespace brinvale::platform
