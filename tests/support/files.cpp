#include "files.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace test_support {
namespace {

[[noreturn]] void Fail(const char* what, const fs::path& path) {
  throw std::system_error(errno, std::generic_category(), std::string(what) + " " + path.string());
}

template <typename Bytes>
Bytes Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot open", path);
  Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) Fail("cannot read", path);
  return bytes;
}

}  // namespace

std::string ReadFile(const fs::path& path) { return Read<std::string>(path); }
std::vector<std::uint8_t> ReadBytes(const fs::path& path) { return Read<std::vector<std::uint8_t>>(path); }

void WriteFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
  WriteFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) Fail("cannot create", path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) Fail("cannot write", path);
}

}  // namespace test_support
