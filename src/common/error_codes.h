#pragma once

// Results at every engine, reader and output boundary are plain integers:
// 0, a Windows system error code, or the cancel code. The POSIX platform
// code maps errno onto these, so nothing above platform/ ever sees errno.
namespace brinvale {

inline constexpr int kOk = 0;
inline constexpr int kErrFileNotFound = 2;        // ERROR_FILE_NOT_FOUND
inline constexpr int kErrPathNotFound = 3;        // ERROR_PATH_NOT_FOUND
inline constexpr int kErrTooManyOpenFiles = 4;    // ERROR_TOO_MANY_OPEN_FILES
inline constexpr int kErrAccessDenied = 5;        // ERROR_ACCESS_DENIED
inline constexpr int kErrInvalidHandle = 6;       // ERROR_INVALID_HANDLE
inline constexpr int kErrOutOfMemory = 8;         // ERROR_NOT_ENOUGH_MEMORY
inline constexpr int kErrNotReady = 21;           // ERROR_NOT_READY
inline constexpr int kErrWriteProtect = 19;       // ERROR_WRITE_PROTECT
inline constexpr int kErrSeek = 25;               // ERROR_SEEK
inline constexpr int kErrWriteFault = 29;         // ERROR_WRITE_FAULT
inline constexpr int kErrReadFault = 30;          // ERROR_READ_FAULT
inline constexpr int kErrGenFailure = 31;         // ERROR_GEN_FAILURE
inline constexpr int kErrSharingViolation = 32;   // ERROR_SHARING_VIOLATION
inline constexpr int kErrHandleEof = 38;          // ERROR_HANDLE_EOF
inline constexpr int kErrNotSupported = 50;       // ERROR_NOT_SUPPORTED
inline constexpr int kErrFileExists = 80;         // ERROR_FILE_EXISTS
inline constexpr int kErrInvalidParameter = 87;   // ERROR_INVALID_PARAMETER
inline constexpr int kErrBrokenPipe = 109;        // ERROR_BROKEN_PIPE
inline constexpr int kErrDiskFull = 112;          // ERROR_DISK_FULL
inline constexpr int kErrInvalidName = 123;       // ERROR_INVALID_NAME
inline constexpr int kErrDirNotEmpty = 145;       // ERROR_DIR_NOT_EMPTY
inline constexpr int kErrBusy = 170;              // ERROR_BUSY
inline constexpr int kErrAlreadyExists = 183;     // ERROR_ALREADY_EXISTS
inline constexpr int kErrFilenameTooLong = 206;   // ERROR_FILENAME_EXCED_RANGE
inline constexpr int kErrDirectory = 267;         // ERROR_DIRECTORY (not a folder)
inline constexpr int kErrIoDevice = 1117;         // ERROR_IO_DEVICE
inline constexpr int kErrNoMediaInDrive = 1112;   // ERROR_NO_MEDIA_IN_DRIVE
inline constexpr int kErrCantResolveFilename = 1921;  // ERROR_CANT_RESOLVE_FILENAME (link loop)
inline constexpr int kErrNotALink = 4390;         // ERROR_NOT_A_REPARSE_POINT

// Returned by a progress callback once the user has confirmed a cancel,
// and passed up unchanged by every layer.
inline constexpr int kCancelled = -9527;

}  // namespace brinvale
