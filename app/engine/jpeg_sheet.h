// Decoding of the artwork sheet, a JPEG image whatever the file's name.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "exception.h"

// A decoder failure: "JPEG error #%d" with the decoder's message number.
class EJpegError : public Exception {
 public:
  EJpegError(int messageCode);
  int MessageCode() const { return code_; }

 private:
  int code_;
};

struct TRgbImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Rgb;  // rows top-down, 3 bytes per pixel: red, green, blue
};

// Decodes a JPEG at full scale with the decoder's default settings. Grey-scale
// images come out as grey RGB. Warnings are ignored; a fatal error throws EJpegError.
TRgbImage DecodeJpeg(std::span<const std::uint8_t> bytes);
