#include "test_support.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "crc32.h"

namespace acetest {

TempDir::TempDir() {
  std::string templ = (fs::temp_directory_path() / "acetest-XXXXXX").string();
  if (!::mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files and folders made by tests must not keep the folder alive.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator(); ++it) {
    if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& p, const std::string& data) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(data.data(), std::streamsize(data.size()));
}

// RFC 1321.
std::string Md5Hex(const std::string& input) {
  static constexpr std::array<std::uint32_t, 64> k = [] {
    std::array<std::uint32_t, 64> t{};
    const std::uint32_t v[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
        0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
        0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
        0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
        0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
        0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
        0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
        0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
        0xeb86d391};
    for (int i = 0; i < 64; ++i) t[i] = v[i];
    return t;
  }();
  static constexpr int r[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
  std::string msg = input;
  const std::uint64_t bits = std::uint64_t(input.size()) * 8;
  msg.push_back(char(0x80));
  while (msg.size() % 64 != 56) msg.push_back('\0');
  for (int i = 0; i < 8; ++i) msg.push_back(char(bits >> (8 * i)));
  std::uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  for (std::size_t off = 0; off < msg.size(); off += 64) {
    std::uint32_t w[16];
    for (int i = 0; i < 16; ++i) {
      const auto* p = reinterpret_cast<const unsigned char*>(msg.data() + off + 4 * i);
      w[i] = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
             std::uint32_t(p[3]) << 24;
    }
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    for (int i = 0; i < 64; ++i) {
      std::uint32_t f;
      int g;
      if (i < 16) { f = (b & c) | (~b & d); g = i; }
      else if (i < 32) { f = (d & b) | (~d & c); g = (5 * i + 1) % 16; }
      else if (i < 48) { f = b ^ c ^ d; g = (3 * i + 5) % 16; }
      else { f = c ^ (b | ~d); g = (7 * i) % 16; }
      const std::uint32_t tmp = d;
      d = c;
      c = b;
      const std::uint32_t x = a + f + k[i] + w[g];
      b = b + ((x << r[i]) | (x >> (32 - r[i])));
      a = tmp;
    }
    h[0] += a; h[1] += b; h[2] += c; h[3] += d;
  }
  std::string out;
  char buf[3];
  for (std::uint32_t v : h) {
    for (int i = 0; i < 4; ++i) {
      std::snprintf(buf, sizeof buf, "%02x", unsigned((v >> (8 * i)) & 0xFF));
      out += buf;
    }
  }
  return out;
}

std::map<std::string, std::string> ReadManifest(const fs::path& p) {
  std::map<std::string, std::string> m;
  std::ifstream in(p);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() >= 35) m[line.substr(34)] = line.substr(0, 32);
  }
  return m;
}

std::vector<std::pair<std::string, std::string>> ListFiles(const fs::path& root) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file() && !e.is_symlink()) {
      files.emplace_back(fs::relative(e.path(), root).string(), Md5Hex(ReadFile(e.path())));
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

namespace {
void Put16(std::string& s, std::uint32_t v) {
  s.push_back(char(v & 0xFF));
  s.push_back(char((v >> 8) & 0xFF));
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
}  // namespace

std::string Block(const std::string& body) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(body.data());
  std::string out;
  Put16(out, ace::Crc32(p, body.size()) & 0xFFFF);
  Put16(out, std::uint32_t(body.size()));
  return out + body;
}

std::string BuildArchive(const std::vector<TestEntry>& entries, std::uint16_t mainFlags) {
  std::string main;
  main.push_back(0);
  Put16(main, mainFlags);
  main += "**ACE**";
  main.push_back(20);
  main.push_back(20);
  main.push_back(3);
  main.push_back(0);
  Put32(main, 0x5A8C6B2E);
  main += std::string(8, '\0');
  main.push_back(0);  // no AV string
  std::string out = Block(main);
  for (const TestEntry& e : entries) {
    std::string h;
    h.push_back(1);
    Put16(h, 0x0001 | e.extraFlags);
    Put32(h, std::uint32_t(e.data.size()));
    Put32(h, e.declaredSize ? e.declaredSize : std::uint32_t(e.data.size()));
    Put32(h, e.fileTime);
    Put32(h, e.attributes);
    const auto* p = reinterpret_cast<const std::uint8_t*>(e.data.data());
    Put32(h, e.useCrcOverride ? e.crcOverride : ace::Crc32(p, e.data.size()));
    h.push_back(char(e.method));
    h.push_back(3);
    Put16(h, 10);
    Put16(h, 0);
    Put16(h, std::uint32_t(e.name.size()));
    h += e.name;
    out += Block(h) + e.data;
  }
  return out;
}

}  // namespace acetest
