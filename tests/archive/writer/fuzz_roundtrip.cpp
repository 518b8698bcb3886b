// Fuzz target: the input's last bytes choose the writer's options, the rest is
// split into entries; the written set must decode to exactly those entries.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ace_writer.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint8_t a = data[size - 1], b = data[size - 2], c = data[size - 3];
  size -= 3;
  ace::WriterOptions o;
  o.Solid = a & 1;
  o.Level = (a >> 1) % 6;
  o.DictionaryBits = 10 + (a >> 4) % 13;
  o.VolumeSize = (b & 1) ? 0 : 160 + std::uint64_t{b} * 7;
  // Small pieces on one to three threads: the same bytes must come back.
  o.Threads = 1 + (c >> 2) % 3;
  o.PieceSize = (c & 0x20) ? 256 + (std::uint64_t{c} >> 6) * 700 : 0;
  // Entries: pieces of the input cut at every 0xFE byte, some repeated to give the
  // compressor long matches across entries.
  std::vector<std::vector<std::uint8_t>> pieces(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFE && pieces.size() < 12) pieces.emplace_back();
    else pieces.back().push_back(data[i]);
  }
  if (c & 1) pieces.push_back(pieces.front());
  if (c & 2) {
    std::vector<std::uint8_t> run(2000 + c * 37u, static_cast<std::uint8_t>(c));
    pieces.push_back(run);
  }
  test_support::TempFolder dir;
  std::vector<std::filesystem::path> volumes;
  try {
    ace::Writer w(dir / "f.ace", o);
    for (std::size_t i = 0; i < pieces.size(); ++i)
      w.AddBytes("d" + std::to_string(i % 3) + "/e" + std::to_string(i), pieces[i], 0x5A000000u, 0x20);
    volumes = w.Finish();
  } catch (const ace::Error&) {
    return 0;  // volume sizes too small for these entries are refused, never written
  }
  const acetest::DecodedSet set = acetest::DecodeSet(volumes.at(0));
  std::size_t files = 0;
  for (std::size_t i = 0; i < set.entries.size(); ++i) {
    if (set.processStatus[i] != 0) std::abort();
    if (set.entries[i].directory) continue;
    const std::size_t index = std::strtoul(set.entries[i].name.c_str() + 4, nullptr, 10);
    if (index >= pieces.size() || set.entries[i].data != pieces[index]) std::abort();
    ++files;
  }
  if (files != pieces.size() || set.endStatus != 2) std::abort();
  return 0;
}
