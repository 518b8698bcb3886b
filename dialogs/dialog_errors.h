// Errors raised by the dialogs and shown by the general error report; what() is
// the exact message.
#pragma once

#include <stdexcept>
#include <string>

#include "exception.h"

// A file could not be opened: "Cannot open file <full path>".
class EFOpenError : public Exception {
 public:
  using Exception::Exception;
};

// A control refused an operation, e.g. "Text exceeds memo capacity".
class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
};

// The directory list could not change to a folder; the text names the reason.
class EInOutError : public Exception {
 public:
  EInOutError(const std::string& message, int errorCode)
      : Exception(message), ErrorCode(errorCode) {}
  int ErrorCode;  // the system's errno value
};

// The text of an EInOutError for an errno value: "File not found", "File access
// denied", "Invalid filename", "Too many open files", "Disk full", or "I/O error %d".
std::string InOutErrorText(int errorCode);
