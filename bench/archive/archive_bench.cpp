// Decoding speed of the archive library beside reference work done in the same run:
//   - every corpus archive decoded (test mode) against zlib inflating the same
//     output bytes, compressed at level 6. The corpus is ~400 small entries in many
//     archives, so opening archives and building code tables weigh heavily on the
//     library's side, while zlib inflates each file as one stream from memory;
//   - one large entry (20 MiB of text packed by our writer) decoded in test mode
//     against zlib inflating the same text, so that per-entry costs do not dominate;
//   - extraction of a large stored entry against a plain copy of the archive file
//     that holds it, so that both read the same file (how fast the system reads a
//     file depends on how it was written and cached);
//   - decryption of as many packed bytes as the large text entry has, read as an
//     encrypted entry's bit reader reads them (64 KiB at a time through the
//     decrypting source), against decoding that entry: what encryption would add
//     to it. Unencrypted entries never pass through the decryption.
// The ratios are printed at the end (higher is better for the library).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "ace_writer.h"
#include "archive.h"
#include "bench_support.h"
#include "crc32.h"
#include "decrypting_source.h"

namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = ACE_CORPUS_DIR;

struct Work {
  std::vector<fs::path> archives;  // first volumes of every manifested archive
  std::vector<std::string> outputs;  // their extracted files
  std::vector<std::pair<std::vector<Bytef>, uLong>> deflated;  // level 6, with sizes
  std::uint64_t outputBytes = 0;
  fs::path temp;
  fs::path storedArchive;
  fs::path textArchive;  // one 20 MiB text entry
  std::vector<Bytef> textDeflated;
  std::uint64_t textBytes = 0;
  std::uint64_t storedBytes = 0;
};

Work& TheWork() {
  static Work w = [] {
    Work w;
    w.temp = bench::MakeTempFolder("acebench");
    for (const char* group : {"v1", "v2", "modes"}) {
      for (const auto& e : fs::directory_iterator(kCorpus / group)) {
        if (e.path().extension() == ".md5") w.archives.push_back(fs::path(e.path()).replace_extension(""));
      }
    }
    const fs::path out = w.temp / "out";
    fs::create_directories(out);
    for (const auto& a : w.archives) {
      ace::Archive ar({});
      ar.Open(a.string());
      ace::Entry e;
      while (ar.ReadHeader(e) == ace::Status::Ok) ar.Process(ace::Operation::Extract, out.string() + "/");
    }
    for (const auto& e : fs::recursive_directory_iterator(out)) {
      if (!e.is_regular_file()) continue;
      w.outputs.push_back(bench::ReadFile(e.path()));
      w.outputBytes += w.outputs.back().size();
      uLongf size = compressBound(uLong(w.outputs.back().size()));
      std::vector<Bytef> z(size);
      compress2(z.data(), &size, reinterpret_cast<const Bytef*>(w.outputs.back().data()),
                uLong(w.outputs.back().size()), 6);
      z.resize(size);
      w.deflated.emplace_back(std::move(z), uLong(w.outputs.back().size()));
    }
    // A stored entry of 64 MiB of incompressible bytes.
    std::string data(64u << 20, '\0');
    std::mt19937_64 rng(7);
    for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
      const std::uint64_t v = rng();
      std::memcpy(&data[i], &v, 8);
    }
    w.storedBytes = data.size();
    std::string arc;
    auto put16 = [&arc](std::uint32_t v) { arc.push_back(char(v)); arc.push_back(char(v >> 8)); };
    auto block = [&](const std::string& body) {
      put16(ace::Crc32(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()) & 0xFFFF);
      put16(std::uint32_t(body.size()));
      arc += body;
    };
    std::string main = std::string(1, '\0') + std::string("\0\0", 2) + "**ACE**" + "\x14\x14\x03" +
                       std::string(1, '\0') + std::string(12, '\0') + std::string(1, '\0');
    block(main);
    std::string fh;
    fh.push_back(1);
    fh.push_back(1);
    fh.push_back(0);
    for (std::uint32_t v : {std::uint32_t(data.size()), std::uint32_t(data.size()), 0x5A8C6B2Eu, 0x20u,
                            ace::Crc32(reinterpret_cast<const std::uint8_t*>(data.data()), data.size())}) {
      for (int k = 0; k < 4; ++k) fh.push_back(char(v >> (8 * k)));
    }
    fh += std::string("\0\x03\x0a\0\0\0\x08\0", 8) + "data.bin";
    block(fh);
    arc += data;
    w.storedArchive = w.temp / "stored.ace";
    std::ofstream(w.storedArchive, std::ios::binary).write(arc.data(), std::streamsize(arc.size()));
    // 20 MiB of text: lines of words drawn with a skewed frequency, with numbers.
    {
      static const char* const kWords[] = {
          "the", "of", "and", "to", "in", "a", "is", "that", "for", "it", "as", "was", "with", "be",
          "by", "on", "not", "he", "this", "are", "or", "his", "from", "at", "which", "but", "have",
          "an", "had", "they", "you", "were", "their", "one", "all", "we", "can", "her", "has",
          "there", "been", "if", "more", "when", "will", "would", "who", "so", "no", "installer",
          "archive", "window", "picture", "sound", "folder", "volume", "release", "program"};
      std::mt19937 trng(42);
      std::string text;
      text.reserve(20u << 20);
      while (text.size() < (20u << 20)) {
        const int words = 4 + int(trng() % 12);
        for (int k = 0; k < words; ++k) {
          const std::uint32_t r = trng();
          const std::size_t n = sizeof kWords / sizeof kWords[0];
          text += kWords[(r % n) * ((r >> 8) % n) / n];  // favours the first words
          if (r % 29 == 0) text += " " + std::to_string(r % 100000);
          text += k + 1 < words ? ' ' : '.';
        }
        text += '\n';
      }
      text.resize(20u << 20);
      w.textBytes = text.size();
      w.textArchive = w.temp / "text.ace";
      ace::Writer writer(w.textArchive, ace::WriterOptions{});
      writer.AddBytes("text.txt", std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                      0x5A8C6B2Eu, 0x20u);
      writer.Finish();
      uLongf size = compressBound(uLong(text.size()));
      w.textDeflated.resize(size);
      compress2(w.textDeflated.data(), &size, reinterpret_cast<const Bytef*>(text.data()), uLong(text.size()), 6);
      w.textDeflated.resize(size);
    }
    return w;
  }();
  return w;
}

void AceDecodeCorpus(benchmark::State& state) {
  Work& w = TheWork();
  for (auto _ : state) {
    for (const auto& a : w.archives) {
      ace::Archive ar({});
      ar.Open(a.string());
      ace::Entry e;
      while (ar.ReadHeader(e) == ace::Status::Ok) ar.Process(ace::Operation::Test, "");
    }
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * w.outputBytes));
}

void ZlibInflateSameBytes(benchmark::State& state) {
  Work& w = TheWork();
  std::vector<Bytef> out;
  for (auto _ : state) {
    for (const auto& [z, size] : w.deflated) {
      out.resize(size ? size : 1);
      uLongf n = size;
      uncompress(out.data(), &n, z.data(), uLong(z.size()));
      benchmark::DoNotOptimize(out.data());
      // Bytes go through the same CRC the library computes, as its output does.
      benchmark::DoNotOptimize(crc32(0, out.data(), uInt(n)));
    }
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * w.outputBytes));
}

void AceDecodeLargeText(benchmark::State& state) {
  Work& w = TheWork();
  for (auto _ : state) {
    ace::Archive ar({});
    ar.Open(w.textArchive.string());
    ace::Entry e;
    ar.ReadHeader(e);
    if (ar.Process(ace::Operation::Test, "") != ace::Status::Ok) state.SkipWithError("decode failed");
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * w.textBytes));
}

void ZlibInflateLargeText(benchmark::State& state) {
  Work& w = TheWork();
  std::vector<Bytef> out(w.textBytes);
  for (auto _ : state) {
    uLongf n = uLongf(w.textBytes);
    if (uncompress(out.data(), &n, w.textDeflated.data(), uLong(w.textDeflated.size())) != Z_OK) {
      state.SkipWithError("inflate failed");
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::DoNotOptimize(crc32(0, out.data(), uInt(n)));
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * w.textBytes));
}

void AceExtractStored(benchmark::State& state) {
  Work& w = TheWork();
  const fs::path dest = w.temp / "stored-out";
  fs::create_directories(dest);
  for (auto _ : state) {
    ace::Archive ar({});
    ar.Open(w.storedArchive.string());
    ace::Entry e;
    ar.ReadHeader(e);
    if (ar.Process(ace::Operation::Extract, dest.string() + "/") != ace::Status::Ok) state.SkipWithError("extract failed");
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * w.storedBytes));
}

void PlainFileCopy(benchmark::State& state) {
  Work& w = TheWork();
  const fs::path dest = w.temp / "copy.bin";
  std::vector<char> buffer(256 * 1024);
  for (auto _ : state) {
    const int in = ::open(w.storedArchive.c_str(), O_RDONLY);
    const int out = ::open(dest.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ssize_t n;
    while ((n = ::read(in, buffer.data(), buffer.size())) > 0) {
      if (::write(out, buffer.data(), std::size_t(n)) != n) break;
    }
    ::close(in);
    ::close(out);
  }
  // Counted as the entry's bytes: the few header bytes copied with them are a gift.
  state.SetBytesProcessed(std::int64_t(state.iterations() * w.storedBytes));
}

void AceDecryptLargeTextPacked(benchmark::State& state) {
  // The text archive's bytes stand in for its packed data: the cipher does not
  // look at what it decrypts.
  static const std::string packed = bench::ReadFile(TheWork().textArchive);
  auto cipher = std::make_shared<const ace::EntryCipher>(ace::KeyFromPassword("benchmark"));
  std::vector<std::uint8_t> buffer(64 * 1024);
  for (auto _ : state) {
    ace::MemorySource source(reinterpret_cast<const std::uint8_t*>(packed.data()), packed.size());
    ace::DecryptingSource decrypted(source, cipher);
    while (decrypted.Read(buffer.data(), buffer.size()) > 0) benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * packed.size()));
}

// Each benchmark runs as several repetitions, interleaved at random with those of
// the others, so that a slow spell of a shared machine falls on both sides of a
// ratio. The ratios compare the fastest repetitions (slow spells only ever add
// time) and, beside them, the medians.
constexpr int kRepetitions = 21;

}  // namespace

#define ARCHIVE_BENCHMARK(f)                     \
  BENCHMARK(f)                                   \
      ->Unit(benchmark::kMillisecond)            \
      ->MinTime(0.1)                             \
      ->Repetitions(kRepetitions)                \
      ->ComputeStatistics("min", bench::Fastest) \
      ->ReportAggregatesOnly()
ARCHIVE_BENCHMARK(AceDecodeCorpus);
ARCHIVE_BENCHMARK(ZlibInflateSameBytes);
ARCHIVE_BENCHMARK(AceDecodeLargeText);
ARCHIVE_BENCHMARK(ZlibInflateLargeText);
ARCHIVE_BENCHMARK(AceExtractStored);
ARCHIVE_BENCHMARK(PlainFileCopy);
ARCHIVE_BENCHMARK(AceDecryptLargeTextPacked);

int main(int argc, char** argv) {
  // Interleaving is on unless the command line says otherwise.
  bench::InitializeWithDefaults(argc, argv, {"--benchmark_enable_random_interleaving=true"});
  bench::TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // Throughput ratios by CPU time; the pairs do the same bytes per iteration, so
  // a ratio is the inverse ratio of their times. Wall clock is shown too: it is
  // what counts for the copy, which mostly waits on the file system.
  auto ratio = [&](const char* a, const char* b) {
    const std::pair<const char*, const char*> statistics[] = {{"min", "fastest repetitions"},
                                                              {"median", "median repetitions"}};
    for (const auto& [statistic, label] : statistics) {
      const bench::TRunTimes* ta = reporter.Find(a, statistic);
      const bench::TRunTimes* tb = reporter.Find(b, statistic);
      if (!ta || !tb) return;
      std::printf("%s / %s = %.2f (CPU time, %s; wall clock %.2f)\n", a, b, tb->Cpu / ta->Cpu, label,
                  tb->Wall / ta->Wall);
    }
  };
  std::printf("corpus output: %llu bytes\n", static_cast<unsigned long long>(TheWork().outputBytes));
  ratio("AceDecodeCorpus", "ZlibInflateSameBytes");
  std::printf("large text entry: %llu bytes\n", static_cast<unsigned long long>(TheWork().textBytes));
  ratio("AceDecodeLargeText", "ZlibInflateLargeText");
  ratio("AceExtractStored", "PlainFileCopy");
  for (const char* statistic : {"min", "median"}) {
    const bench::TRunTimes* decrypt = reporter.Find("AceDecryptLargeTextPacked", statistic);
    const bench::TRunTimes* decode = reporter.Find("AceDecodeLargeText", statistic);
    if (decrypt && decode) {
      std::printf("decrypting the large text entry's packed bytes takes %.1f %% of the time decoding it takes (CPU, %s)\n",
                  100 * decrypt->Cpu / decode->Cpu, statistic);
    }
  }
  std::error_code ec;
  fs::remove_all(TheWork().temp, ec);
  benchmark::Shutdown();
  return 0;
}
