// The root of every error the program raises. Such an error ends the event handler
// it happens in and is shown by the general error report (caption "Install", the
// message with a full stop added). Each layer derives its own classes from it:
// the rendering layer one per kind of object (render/exceptions.h), the settings
// EConvertError, the artwork ESheetOpenError and EJpegError, the music
// EMCIDeviceError, the dialogs EFOpenError, EInvalidOperation and EInOutError.
#pragma once

#include <stdexcept>

class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
