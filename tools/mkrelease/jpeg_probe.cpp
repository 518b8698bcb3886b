#include "jpeg_probe.h"

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include <jpeglib.h>

namespace mkrelease {
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

void OnMessage(j_common_ptr, int) {}

// Kept free of objects with destructors: the decoder leaves it by longjmp.
bool ReadHeader(const std::vector<unsigned char>& bytes, int& width, int& height, char* message) {
  jpeg_decompress_struct info;
  ErrorManager manager;
  info.err = jpeg_std_error(&manager.base);
  manager.base.error_exit = OnFatal;
  manager.base.emit_message = OnMessage;
  manager.message[0] = '\0';
  if (setjmp(manager.jump)) {
    jpeg_destroy_decompress(&info);
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", manager.message);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  width = static_cast<int>(info.image_width);
  height = static_cast<int>(info.image_height);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

bool ProbeJpeg(const std::filesystem::path& file, int& width, int& height, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "cannot open it";
    return false;
  }
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) {
    error = "the file is empty";
    return false;
  }
  char message[JMSG_LENGTH_MAX] = {};
  if (!ReadHeader(bytes, width, height, message)) {
    error = message;
    return false;
  }
  return true;
}

}  // namespace mkrelease
