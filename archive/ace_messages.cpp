#include "ace_messages.h"

#include "unace.h"

namespace ace {

std::string OpenErrorText(int code, const std::string& path) {
  switch (code) {
    case ACE_ERR_MEMORY: return "Not enough memory";
    case ACE_ERR_FILES: return "File " + path + " not found";
    case ACE_ERR_OPEN: return "Cannot open " + path;
    case ACE_ERR_READ: return "Cannot read " + path;
    case ACE_ERR_CRC: return "Archive " + path + " has header broken";
    case ACE_ERR_NOT_ACE: return path + " is not ACE archive";
    case ACE_ERR_CONSTANT: return "Wrong constant";
    default: return {};
  }
}

std::string ProcessErrorText(int code) {
  switch (code) {
    case ACE_ERR_FULL: return "Write error: disk is full";
    case ACE_ERR_OPEN: return "Open file error";
    case ACE_ERR_READ: return "Read error";
    case ACE_ERR_WRITE: return "Write error";
    case ACE_ERR_CRC: return "CRC error";
    case ACE_ERR_HANDLE: return "Invalid handle given as parameter";
    case ACE_ERR_CONSTANT: return "Wrong constant";
    case ACE_ERR_ENCRYPTED: return "file is encrypted";
    case ACE_ERR_PASSWORD: return "wrong password or damaged data";
    case ACE_ERR_UNKNOWN_METHOD: return "file has been compressed with unknown method";
    case ACE_ERR_UNSAFE_NAME: return "Unsafe file name in archive: the file was not written";
    default: return {};
  }
}

std::string HeaderErrorText(int code) {
  switch (code) {
    case ACE_ERR_OPEN: return "Open file error";
    case ACE_ERR_READ: return "Read error";
    case ACE_ERR_CRC: return "CRC error";
    case ACE_ERR_HANDLE: return "Invalid handle given as parameter";
    default: return {};
  }
}

}  // namespace ace
