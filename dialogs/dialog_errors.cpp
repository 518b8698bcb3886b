#include "dialog_errors.h"

#include <cerrno>

std::string InOutErrorText(int errorCode) {
  switch (errorCode) {
    case ENOENT: return "File not found";
    case EACCES:
    case EPERM: return "File access denied";
    case ENAMETOOLONG: return "Invalid filename";
    case EMFILE: return "Too many open files";
    case ENOSPC: return "Disk full";
    default: return "I/O error " + std::to_string(errorCode);
  }
}
