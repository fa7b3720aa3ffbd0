#include <string>

#include "platform/system_error.h"

namespace brinvale::platform {

// English texts of the codes the system reports, as Windows words them. Kept
// here rather than asked of the system so every platform shows the same text.
std::string SystemErrorMessage(int code) {
  switch (code) {
    case 0: return "The operation completed successfully";
    case 2: return "The system cannot find the file specified";
    case 3: return "The system cannot find the path specified";
    case 4: return "The system cannot open the file";
    case 5: return "Access is denied";
    case 6: return "The handle is invalid";
    case 8: return "Not enough memory resources are available to process this command";
    case 19: return "The media is write protected";
    case 21: return "The device is not ready";
    case 25: return "The drive cannot locate a specific area or track on the disk";
    case 29: return "The system cannot write to the specified device";
    case 30: return "The system cannot read from the specified device";
    case 31: return "A device attached to the system is not functioning";
    case 32: return "The process cannot access the file because it is being used by another process";
    case 38: return "Reached the end of the file";
    case 50: return "The request is not supported";
    case 80: return "The file exists";
    case 87: return "The parameter is incorrect";
    case 109: return "The pipe has been ended";
    case 112: return "There is not enough space on the disk";
    case 123: return "The filename, directory name, or volume label syntax is incorrect";
    case 145: return "The directory is not empty";
    case 170: return "The requested resource is in use";
    case 183: return "Cannot create a file when that file already exists";
    case 206: return "The filename or extension is too long";
    case 267: return "The directory name is invalid";
    case 1005: return "The volume does not contain a recognized file system";
    case 1112: return "There is no media in the drive";
    case 1117: return "The request could not be performed because of an I/O device error";
    case 1921: return "The name of the file cannot be resolved by the system";
    case -9527: return "Cancelled by the user";
    default: return "Unknown error " + std::to_string(code);
  }
}

}  // namespace brinvale::platform
