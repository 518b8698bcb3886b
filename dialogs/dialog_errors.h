// Errors raised by the dialogs and shown by the general error report. They derive
// from std::runtime_error for now; what() is the exact message.
#pragma once

#include <stdexcept>
#include <string>

// A file could not be opened: "Cannot open file <full path>".
class EFOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A control refused an operation, e.g. "Text exceeds memo capacity".
class EInvalidOperation : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The directory list could not change to a folder; the text names the reason.
class EInOutError : public std::runtime_error {
 public:
  EInOutError(const std::string& message, int errorCode)
      : std::runtime_error(message), ErrorCode(errorCode) {}
  int ErrorCode;  // the system's errno value
};

// The text of an EInOutError for an errno value: "File not found", "File access
// denied", "Invalid filename", "Too many open files", "Disk full", or "I/O error %d".
std::string InOutErrorText(int errorCode);
