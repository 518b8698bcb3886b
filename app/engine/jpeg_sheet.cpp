#include "jpeg_sheet.h"

#include <csetjmp>
#include <cstdio>
#include <string>

#include <jpeglib.h>
#include <jerror.h>

EJpegError::EJpegError(int messageCode)
    : Exception("JPEG error #" + std::to_string(messageCode)), code_(messageCode) {}

namespace {

constexpr std::uint64_t kMaxPixels = 64u * 1024 * 1024;

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  int code;
};

void OnFatal(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  errors->code = errors->base.msg_code;
  std::longjmp(errors->jump, 1);
}

void IgnoreMessage(j_common_ptr, int) {}

// Everything the decoder touches between setjmp and longjmp is plain data, so the
// jump skips no destructor; the result is copied out afterwards.
int DecodeInto(std::span<const std::uint8_t> bytes, TRgbImage& out) {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnFatal;
  errors.base.emit_message = IgnoreMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return errors.code;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  // The sheet is a few hundred pixels wide; refuse sizes no sheet has before any
  // memory is taken for them.
  if (std::uint64_t(info.image_width) * info.image_height > kMaxPixels) {
    errors.code = JERR_IMAGE_TOO_BIG;
    std::longjmp(errors.jump, 1);
  }
  info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_start_decompress(&info);
  const int width = int(info.output_width);
  const int height = int(info.output_height);
  const int components = int(info.output_components);
  out.Width = width;
  out.Height = height;
  out.Rgb.resize(std::size_t(width) * height * 3);
  JSAMPARRAY rows = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                JDIMENSION(width * components), 1);
  while (info.output_scanline < info.output_height) {
    const JSAMPROW row = rows[0];
    const int y = int(info.output_scanline);
    jpeg_read_scanlines(&info, rows, 1);
    std::uint8_t* dst = out.Rgb.data() + std::size_t(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      if (components == 1) {
        dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = row[x];
      } else {
        dst[3 * x] = row[3 * x];
        dst[3 * x + 1] = row[3 * x + 1];
        dst[3 * x + 2] = row[3 * x + 2];
      }
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return 0;
}

}  // namespace

TRgbImage DecodeJpeg(std::span<const std::uint8_t> bytes) {
  TRgbImage image;
  const int code = DecodeInto(bytes, image);
  if (code != 0) throw EJpegError(code);
  return image;
}
