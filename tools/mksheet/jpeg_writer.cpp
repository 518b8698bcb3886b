#include "jpeg_writer.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace mksheet {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnFatal(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, manager->message);
  std::longjmp(manager->jump, 1);
}

// All libjpeg calls live here, between the setjmp and its return, with nothing but
// plain data on the stack, so a fatal error's jump skips no destructor.
bool Encode(const unsigned char* rgb, int width, int height, int quality, unsigned char** buffer,
            unsigned long* size, char* message) {
  jpeg_compress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnFatal;
  errors.message[0] = '\0';
  if (setjmp(errors.jump)) {
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", errors.message);
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, buffer, size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);  // baseline tables
  for (int c = 0; c < info.num_components; ++c) {
    info.comp_info[c].h_samp_factor = 1;
    info.comp_info[c].v_samp_factor = 1;
  }
  info.optimize_coding = TRUE;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<unsigned char*>(rgb + static_cast<std::size_t>(info.next_scanline) * width * 3);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

bool EncodeJpeg(const QImage& image, int quality, std::vector<std::uint8_t>& out, std::string& error) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  std::vector<unsigned char> packed(static_cast<std::size_t>(rgb.width()) * rgb.height() * 3);
  for (int y = 0; y < rgb.height(); ++y)
    std::copy_n(rgb.constScanLine(y), static_cast<std::size_t>(rgb.width()) * 3,
                packed.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * rgb.width() * 3));
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  char message[JMSG_LENGTH_MAX] = {};
  const bool ok = Encode(packed.data(), rgb.width(), rgb.height(), quality, &buffer, &size, message);
  if (ok) out.assign(buffer, buffer + size);
  else error = message;
  std::free(buffer);
  return ok;
}

}  // namespace mksheet
