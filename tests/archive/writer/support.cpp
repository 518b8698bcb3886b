#include "support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>
#include <unistd.h>

#include "unace.h"

namespace fs = std::filesystem;

namespace acetest {

using test_support::ReadBytes;
using test_support::TempFolder;
namespace {

struct Context {
  DecodedSet* set;
};

int OnVolume(void* ctx, const char* path, int mode) {
  auto* c = static_cast<Context*>(ctx);
  c->set->volumesVisited.emplace_back(path);
  return mode == ACE_VOLUME_NEXT ? 1 : 0;
}

int OnData(void*, const std::uint8_t*, std::int32_t) { return 1; }

std::uint32_t CrcOf(const std::uint8_t* p, std::size_t n) {
  static std::uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t r = i;
      for (int k = 0; k < 8; ++k) r = (r & 1) ? (r >> 1) ^ 0xEDB88320u : r >> 1;
      table[i] = r;
    }
    ready = true;
  }
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c;
}

std::uint32_t U16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return U16(b, at) | (U16(b, at + 2) << 16);
}

}  // namespace

DecodedSet DecodeSet(const fs::path& firstVolume) {
  DecodedSet set;
  Context ctx{&set};
  TempFolder scratch;
  const std::string destination = scratch.Path().string() + "/";
  const std::string path = firstVolume.string();
  TACEOpenArchiveData open;
  open.ArchivePath = path.c_str();
  open.VolumeCallback = &OnVolume;
  open.DataCallback = &OnData;
  open.CallbackContext = &ctx;
  TACEHandle h = ACEOpenArchive(&open);
  set.openStatus = open.Status;
  if (open.Status != 0) {
    ACECloseArchive(h);
    return set;
  }
  for (;;) {
    TACEHeaderData header;
    const int r = ACEReadHeader(h, &header);
    if (r != 0) {
      set.endStatus = r;
      break;
    }
    DecodedEntry e;
    e.name = header.EntryName;
    e.attributes = header.Attributes;
    e.dosTime = header.FileTime;
    e.method = header.Method;
    e.dictionary = header.DictionarySize;
    e.solid = header.Solid;
    e.directory = header.Directory;
    // Extract into a scratch folder and take the bytes from there.
    const int r2 = ACEProcessFile(h, ACE_EXTRACT, destination.c_str());
    set.processStatus.push_back(r2);
    std::string rel = e.name;
    std::replace(rel.begin(), rel.end(), '\\', '/');
    const fs::path out = scratch.Path() / rel;
    if (r2 == ACE_OK && !e.directory) {
      e.data = ReadBytes(out);
      fs::remove(out);
    }
    if (r2 == ACE_OK && e.directory && !fs::is_directory(out)) set.processStatus.back() = -1;
    set.entries.push_back(std::move(e));
  }
  ACECloseArchive(h);
  return set;
}

std::vector<Block> WalkBlocks(const fs::path& volume, std::uint64_t* tail) {
  const std::vector<std::uint8_t> b = ReadBytes(volume);
  std::vector<Block> blocks;
  std::size_t at = 0;
  while (at + 4 <= b.size()) {
    Block k;
    k.offset = at;
    k.headSize = U16(b, at + 2);
    if (at + 4 + k.headSize > b.size() || k.headSize < 3) break;
    k.headerCrcOk = (CrcOf(&b[at + 4], k.headSize) & 0xFFFF) == U16(b, at);
    k.type = b[at + 4];
    k.flags = static_cast<std::uint16_t>(U16(b, at + 5));
    std::size_t next = at + 4 + k.headSize;
    if (k.type == 0 && k.headSize >= 27) {
      k.volumeNumber = b[at + 17];
    } else if (k.type == 1 && k.headSize >= 31) {
      k.packed = U32(b, at + 7);
      k.original = U32(b, at + 11);
      k.attributes = U32(b, at + 19);
      k.crc = U32(b, at + 23);
      k.method = b[at + 27];
      k.quality = b[at + 28];
      k.params = static_cast<int>(U16(b, at + 29));
      const std::size_t nameSize = U16(b, at + 33);
      if (at + 35 + nameSize <= b.size()) k.name.assign(reinterpret_cast<const char*>(&b[at + 35]), nameSize);
      next += k.packed;
    }
    if (next > b.size()) break;
    blocks.push_back(k);
    at = next;
  }
  if (tail) *tail = b.size() - at;
  return blocks;
}

std::vector<std::uint8_t> TextBytes(std::size_t n, std::uint32_t seed) {
  static const char* words[] = {"the", "archive", "volume", "entry", "of", "and", "window", "match",
                                "distance", "length", "code", "group", "installer", "a", "to", "in",
                                "files", "is", "compressed", "with", "table", "symbol", "bits", "word"};
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> v;
  v.reserve(n + 16);
  while (v.size() < n) {
    const char* w = words[rng() % (sizeof words / sizeof *words)];
    v.insert(v.end(), w, w + std::strlen(w));
    const std::uint32_t r = rng() % 16;
    v.push_back(r == 0 ? '\n' : (r == 1 ? ',' : ' '));
    if (r == 2) {
      char num[16];
      const int len = std::snprintf(num, sizeof num, "%u ", static_cast<unsigned>(rng() % 100000));
      v.insert(v.end(), num, num + len);
    }
  }
  v.resize(n);
  return v;
}

}  // namespace acetest
