#include "archive_builder.h"

#include "crc32.h"

namespace acetest {

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
