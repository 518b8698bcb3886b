#include "ace_writer.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <unistd.h>

#include "bit_writer.h"
#include "crc32.h"
#include "dos_time.h"
#include "entry_names.h"
#include "error.h"
#include "layout.h"
#include "lz77_encoder.h"
#include "piece_compressor.h"
#include "volume_names.h"

namespace fs = std::filesystem;

namespace ace {

namespace {

// Continues the checksum of entry data; it is computed on the thread that reads.
std::uint32_t Checksum(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  return CrcUpdate(crc, bytes.data(), bytes.size());
}

constexpr std::uint64_t kSmallStored = 16;  // entries this small are stored, and kept whole in memory
constexpr std::size_t kFileHeaderFixed = kBlockPrefix + kFileHeaderFixed32;
constexpr std::uint64_t kDefaultPiece = std::uint64_t{4} << 20;
constexpr std::uint64_t kSmallestPiece = 256;
constexpr std::uint64_t kLargestPiece = std::uint64_t{1} << 30;
// A job also ends after this many headers, so that folders and empty files, which
// add no data, do not pile up in memory.
constexpr std::size_t kMostItems = std::size_t{1} << 14;

std::vector<std::uint8_t> MainHeader(std::uint16_t flags, int volume, std::uint32_t created) {
  std::vector<std::uint8_t> h(kBlockPrefix, 0);
  AppendU8(h, kMainBlock);
  AppendU16(h, flags);
  for (char c : kSignature) AppendU8(h, static_cast<std::uint8_t>(c));
  AppendU8(h, kVersionExtract);
  AppendU8(h, kVersionCreated);
  AppendU8(h, kHostUnix);
  AppendU8(h, static_cast<std::uint32_t>(volume));
  AppendU32(h, created);
  for (int i = 0; i < 8; ++i) AppendU8(h, 0);
  AppendU8(h, 0);  // no AV string
  SealBlock(h);
  return h;
}

struct Entry {
  std::string name;    // UTF-8, for messages
  std::string stored;  // code page 850, for the header
  std::uint32_t originalSize = 0;
  std::uint32_t dosTime = 0;
  std::uint32_t attributes = 0;
  std::uint8_t method = 0;
  std::uint8_t quality = 0;
  std::uint16_t params = 0;
  std::uint16_t flags = kFlagAddSize;
};

std::vector<std::uint8_t> FileHeader(const Entry& e, std::uint16_t extraFlags, std::uint32_t packed,
                                     std::uint32_t crc) {
  std::vector<std::uint8_t> h(kBlockPrefix, 0);
  AppendU8(h, kFileBlock32);
  AppendU16(h, e.flags | extraFlags);
  AppendU32(h, packed);
  AppendU32(h, e.originalSize);
  AppendU32(h, e.dosTime);
  AppendU32(h, e.attributes);
  AppendU32(h, crc);
  AppendU8(h, e.method);
  AppendU8(h, e.quality);
  AppendU16(h, e.params);
  AppendU16(h, 0);
  AppendU16(h, static_cast<std::uint32_t>(e.stored.size()));
  for (char c : e.stored) AppendU8(h, static_cast<std::uint8_t>(c));
  SealBlock(h);
  return h;
}

// Now, or the fixed moment of a reproducible build.
std::time_t CreationTime() {
  const char* fixed = std::getenv("SOURCE_DATE_EPOCH");
  if (fixed && *fixed) {
    char* end = nullptr;
    const long long t = std::strtoll(fixed, &end, 10);
    if (*end == '\0' && t >= 0) return static_cast<std::time_t>(t);
  }
  return std::time(nullptr);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

EntryName NameForms(const std::string& input) {
  EntryName forms;
  std::string message;
  const Status status = StoredEntryName(input, forms, message);
  if (status != Status::Ok) throw Error(status, message);
  return forms;
}

std::string ArchiveName(const std::string& name) { return NameForms(name).name; }

namespace {

// A compressed entry whose packed data is still being compressed.
struct PendingEntry {
  Entry e;
  std::uint32_t crc = kCrcStart;  // of all its bytes
  // Its source from the first byte again, to store it instead; only kept for an
  // entry whose bytes span jobs (the others are still in their job's data).
  writer::ByteReader reread;
  std::function<void()> rewind;
};

// What a job brings to the volumes, in archive order: a finished block, or a
// piece of an entry's packed data (part `part` of the job).
struct Item {
  std::vector<std::uint8_t> block;
  std::shared_ptr<PendingEntry> entry;
  std::size_t part = 0;
  std::uint32_t crcAfter = 0;  // the entry's checksum through this piece
};

struct Batch {
  std::shared_ptr<writer::PieceJob> job;
  std::vector<Item> items;
};

}  // namespace

struct Writer::Impl {
  fs::path first;
  WriterOptions options;
  std::uint16_t mainFlags = 0;
  std::uint32_t created = 0;

  std::vector<fs::path> finals, temps;
  std::FILE* file = nullptr;
  std::uint64_t written = 0;  // bytes in the current volume
  bool failed = false, finished = false;

  std::set<std::string> files;        // lower-cased names of all entries but folders
  std::set<std::string> directories;  // lower-cased folder names

  // The entry whose last packed byte has not been written yet ("open"), and the
  // complete entries without packed data queued behind it. A volume may only end
  // inside an entry's data, so that byte decides where the volume can be cut.
  bool open = false;
  Entry openEntry;
  long long segmentAt = 0;  // offset of the open segment's header in the volume
  std::uint64_t segmentPacked = 0;
  bool segmentContinued = false;
  std::uint32_t crc = kCrcStart;  // of the original bytes of the open entry read so far
  std::optional<std::uint8_t> held;
  std::vector<std::vector<std::uint8_t>> queued;

  // Compression (levels 1..5). The data stream (every entry's bytes in order, the
  // stored small ones too) is cut into jobs of pieceSize bytes: where a job ends
  // depends on what is added and on the options, never on the threads. The job
  // being filled takes the entries as they are added; full ones are compressed
  // by `compressor` and written in order, at most maxInFlight of them at a time.
  std::unique_ptr<writer::PieceCompressor> compressor;
  std::uint64_t pieceSize = 0;
  std::size_t window = 0;
  std::size_t maxInFlight = 0;
  std::uint64_t jobsCut = 0;
  Batch filling;
  std::deque<Batch> inFlight;
  // The open entry's packed stream, joined from its pieces bit to bit.
  std::vector<std::uint8_t> joined;
  std::optional<writer::BitWriter> joiner;

  ~Impl() {
    compressor.reset();  // cancels the jobs still running and ends the threads first
    if (file) std::fclose(file);
    if (!finished) {
      std::error_code ec;
      for (const auto& t : temps) fs::remove(t, ec);
    }
  }

  std::uint64_t Remaining() const {
    return options.VolumeSize == 0 ? std::numeric_limits<std::uint64_t>::max() : options.VolumeSize - written;
  }

  std::string VolumeLabel() const { return finals.empty() ? first.string() : finals.back().string(); }

  void Write(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
      throw Error(Status::WriteFailed, "cannot write volume '" + VolumeLabel() + "': " + std::strerror(errno));
    written += bytes.size();
  }

  void CloseVolume() {
    if (!file) return;
    std::FILE* f = file;
    file = nullptr;
    if (std::fclose(f) != 0) throw Error(Status::WriteFailed, "cannot complete volume '" + VolumeLabel() + "': " + std::strerror(errno));
  }

  void OpenVolume() {
    CloseVolume();
    const int index = static_cast<int>(finals.size());
    if (index > 255) throw Error(Status::TooLarge, "the archive needs more than 256 volumes; choose a larger volume size");
    const fs::path final = VolumePath(first, index);
    fs::path temp = final;
    temp += ".part";
    file = std::fopen(temp.c_str(), "wb");
    if (!file) throw Error(Status::OpenFailed, "cannot create volume '" + temp.string() + "': " + std::strerror(errno));
    finals.push_back(final);
    temps.push_back(temp);
    written = 0;
    Write(MainHeader(mainFlags, index, created));
  }

  void Seek(long long at) {
    if (std::fseek(file, static_cast<long>(at), SEEK_SET) != 0)
      throw Error(Status::WriteFailed, "cannot seek in volume '" + VolumeLabel() + "'");
  }

  void BeginSegment(bool continued) {
    segmentAt = static_cast<long long>(written);
    segmentPacked = 0;
    segmentContinued = continued;
    Write(FileHeader(openEntry, continued ? kFlagFromPrevious : 0, 0, kCrcStart));
  }

  // Rewrites the open segment's header with its final size and checksum.
  void SealSegment(bool continuesInNext) {
    if (segmentPacked > 0xFFFFFFFFu) throw Error(Status::TooLarge, "entry '" + openEntry.name + "' packs to 4 GiB or more");
    const std::uint16_t flags = (segmentContinued ? kFlagFromPrevious : 0) | (continuesInNext ? kFlagToNext : 0);
    const auto header = FileHeader(openEntry, flags, static_cast<std::uint32_t>(segmentPacked), crc);
    const std::uint64_t end = written;
    Seek(segmentAt);
    written = static_cast<std::uint64_t>(segmentAt);
    Write(header);
    Seek(static_cast<long long>(end));
    written = end;
  }

  void CheckFits(std::uint64_t need, const std::string& what) const {
    if (need > Remaining())
      throw Error(Status::TooLarge, "the volume size " + std::to_string(options.VolumeSize) + " is too small for " + what);
  }

  // Writes packed bytes of the open entry, moving on to a new volume when full.
  void PutPacked(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
      if (Remaining() == 0) {
        SealSegment(true);
        OpenVolume();
        CheckFits(kFileHeaderFixed + openEntry.stored.size() + 1, "entry '" + openEntry.name + "'");
        BeginSegment(true);
      }
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(Remaining(), bytes.size()));
      Write(bytes.first(n));
      segmentPacked += n;
      bytes = bytes.subspan(n);
    }
  }

  // Takes packed output of the open entry, always keeping its newest byte back.
  void Feed(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    if (held) {
      const std::uint8_t b = *held;
      PutPacked(std::span(&b, 1));
    }
    PutPacked(bytes.first(bytes.size() - 1));
    held = bytes.back();
  }

  // Completes the open entry and writes the queued ones, so that `following`
  // more bytes can go into the current volume right after them.
  void Settle(std::uint64_t following) {
    std::uint64_t queuedBytes = 0;
    for (const auto& q : queued) queuedBytes += q.size();
    if (!open) {
      CheckFits(queuedBytes + following, "the entries before the first file data");
    } else {
      const std::uint8_t last = *held;
      if (1 + queuedBytes + following <= Remaining()) {
        PutPacked(std::span(&last, 1));
        SealSegment(false);
      } else {
        // End the volume inside the open entry, so that readers go on to the next.
        SealSegment(true);
        OpenVolume();
        CheckFits(kFileHeaderFixed + openEntry.stored.size() + 1 + queuedBytes + following,
                  "the entries that follow '" + openEntry.name + "'");
        BeginSegment(true);
        PutPacked(std::span(&last, 1));
        SealSegment(false);
      }
      open = false;
      held.reset();
    }
    for (const auto& q : queued) Write(q);
    queued.clear();
  }

  void Queue(std::vector<std::uint8_t> block) {
    if (!open && options.VolumeSize == 0) {
      Write(block);
      return;
    }
    queued.push_back(std::move(block));
  }

  // A block without packed data, in archive order: behind the jobs still being
  // compressed, if there are any.
  void AddBlock(std::vector<std::uint8_t> block) {
    if (compressor) {
      if (filling.items.size() >= kMostItems) Cut(0);
      filling.items.push_back({std::move(block), nullptr, 0, 0});
    } else {
      Queue(std::move(block));
    }
  }

  Entry MakeEntry(const EntryName& name, std::uint64_t size, std::uint32_t dosTime, std::uint32_t attributes) {
    if (size > 0xFFFFFFFFu) throw Error(Status::TooLarge, "entry '" + name.name + "' is 4 GiB or larger");
    Entry e;
    e.name = name.name;
    e.stored = name.stored;
    e.originalSize = static_cast<std::uint32_t>(size);
    e.dosTime = dosTime;
    e.attributes = attributes;
    e.quality = static_cast<std::uint8_t>(options.Level);
    e.params = static_cast<std::uint16_t>(options.DictionaryBits - 10);
    e.method = options.Level > 0 ? 1 : 0;
    return e;
  }

  void AddFolderEntry(const EntryName& name, std::uint32_t dosTime) {
    const std::string key = Lower(name.name);
    if (directories.count(key)) return;
    if (files.count(key)) throw Error(Status::UnsafeName, "entry '" + name.name + "' is already in the archive as a file");
    AddParents(name, dosTime);
    directories.insert(key);
    Entry e = MakeEntry(name, 0, dosTime, kAttrDirectory);
    AddBlock(FileHeader(e, 0, 0, kCrcStart));
  }

  // `\` is the same byte in both forms, so the parents are cut from both alike.
  void AddParents(const EntryName& name, std::uint32_t dosTime) {
    const std::size_t cut = name.name.rfind('\\');
    if (cut != std::string::npos)
      AddFolderEntry({name.name.substr(0, cut), name.stored.substr(0, name.stored.rfind('\\'))}, dosTime);
  }

  EntryName ClaimFileName(const std::string& input, std::uint32_t dosTime) {
    const EntryName name = NameForms(input);
    const std::string key = Lower(name.name);
    if (files.count(key) || directories.count(key)) throw Error(Status::UnsafeName, "entry '" + name.name + "' is already in the archive");
    AddParents(name, dosTime);
    files.insert(key);
    return name;
  }

  void StopWhenAsked() const {
    if (options.ShouldStop && options.ShouldStop()) throw Error(Status::Cancelled, "stopped");
  }

  // Entry data written out so far, for OnProgress.
  std::uint64_t packedInput = 0;
  void Packed(std::uint64_t bytes) {
    packedInput += bytes;
    if (options.OnProgress) options.OnProgress(packedInput);
  }

  // Reads exactly `n` bytes of entry `e`, asking whether to stop before each step.
  void ReadExactly(const writer::ByteReader& source, std::uint8_t* dst, std::size_t n, const Entry& e) const {
    constexpr std::size_t kStep = std::size_t{1} << 20;
    for (std::size_t got = 0; got < n;) {
      StopWhenAsked();
      const std::size_t r = source(dst + got, std::min(n - got, kStep));
      if (r == 0) throw Error(Status::ReadFailed, "entry '" + e.name + "': the source ended before its announced size");
      got += r;
    }
  }

  // Writes the open entry's `size` bytes from `source` as they are.
  // `firstTime`: false when the entry's bytes were counted as packed already (data
  // that grew, written again as it is).
  void CopyStored(const writer::ByteReader& source, std::uint64_t size, bool firstTime = true) {
    std::vector<std::uint8_t> chunk(1 << 16);
    for (std::uint64_t left = size; left > 0;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
      ReadExactly(source, chunk.data(), n, openEntry);
      const auto bytes = std::span(chunk).first(n);
      crc = Checksum(crc, bytes);
      Feed(bytes);
      left -= n;
      if (firstTime) Packed(n);
    }
  }

  void BeginEntry(const Entry& e) {
    Settle(kFileHeaderFixed + e.stored.size() + 1);
    open = true;
    openEntry = e;
    crc = kCrcStart;
    held.reset();
    BeginSegment(false);
  }

  // One file entry whose `size` bytes come from `source`; `rewind` starts the
  // source again from its first byte. `sourceStays`: both may still be called
  // after this returns.
  void AddData(Entry e, const writer::ByteReader& source, const std::function<void()>& rewind, bool sourceStays) {
    StopWhenAsked();
    const std::uint64_t size = e.originalSize;
    if (size == 0) {
      e.method = 0;
      AddBlock(FileHeader(e, 0, 0, kCrcStart));
      return;
    }
    if (options.Solid) e.flags |= kFlagSolid;
    if (size <= kSmallStored) {
      // A code group costs more than these few bytes: store them. They still enter
      // the compressor's history, as they enter the reader's window.
      e.method = 0;
      std::array<std::uint8_t, kSmallStored> data{};
      ReadExactly(source, data.data(), static_cast<std::size_t>(size), e);
      const auto bytes = std::span(data).first(static_cast<std::size_t>(size));
      auto block = FileHeader(e, 0, static_cast<std::uint32_t>(size), Crc32(bytes.data(), bytes.size()));
      block.insert(block.end(), bytes.begin(), bytes.end());
      if (compressor) AddToStream(bytes, false);
      AddBlock(std::move(block));
      Packed(size);
      return;
    }
    if (compressor) {
      AddPieces(e, source, rewind, sourceStays);
      return;
    }
    BeginEntry(e);
    CopyStored(source, size);
  }

  std::size_t Room() const { return static_cast<std::size_t>(pieceSize - filling.job->OwnBytes()); }

  // Makes room for the next job's bytes; `openEntryBytes` of the entry being added
  // are already in the stream (0 between entries).
  void Cut(std::uint64_t openEntryBytes) {
    auto next = std::make_shared<writer::PieceJob>();
    const auto& data = filling.job->data;
    // The dictionary's worth of the stream before the new job: what its copies may
    // reach. Entries of a separate archive reach only into themselves.
    const std::size_t history = static_cast<std::size_t>(
        std::min<std::uint64_t>(window, options.Solid ? data.size() : openEntryBytes));
    next->data.reserve(history + static_cast<std::size_t>(pieceSize));
    next->data.assign(data.end() - static_cast<std::ptrdiff_t>(history), data.end());
    next->history = history;
    Batch full = std::exchange(filling, Batch{std::move(next), {}});
    ++jobsCut;
    Submit(std::move(full));
  }

  // Appends bytes of the stream to the job being filled and describes them.
  void AddToStream(std::span<const std::uint8_t> bytes, bool compress) {
    if (Room() < bytes.size()) Cut(0);
    writer::PieceJob& job = *filling.job;
    writer::PieceJob::Part part;
    part.at = job.OwnBytes();
    part.length = bytes.size();
    part.compress = compress;
    job.data.insert(job.data.end(), bytes.begin(), bytes.end());
    job.parts.push_back(std::move(part));
  }

  // A compressed entry: read into jobs now, written when its pieces are packed.
  void AddPieces(const Entry& e, const writer::ByteReader& source, const std::function<void()>& rewind,
                 bool sourceStays) {
    const std::uint64_t size = e.originalSize;
    auto entry = std::make_shared<PendingEntry>();
    entry->e = e;
    std::uint32_t running = kCrcStart;
    std::uint64_t firstJob = 0;
    for (std::uint64_t done = 0; done < size;) {
      if (Room() == 0) Cut(done);
      if (done == 0) firstJob = jobsCut;
      writer::PieceJob& job = *filling.job;
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, Room()));
      const std::size_t at = job.data.size();
      job.data.resize(at + n);
      ReadExactly(source, job.data.data() + at, n, e);
      running = Checksum(running, std::span(job.data).subspan(at, n));
      writer::PieceJob::Part part;
      part.at = at - job.history;
      part.length = n;
      part.entryStart = done == 0;
      part.entryEnd = done + n == size;
      part.independent = part.entryStart && !options.Solid;
      job.parts.push_back(std::move(part));
      filling.items.push_back({{}, entry, job.parts.size() - 1, running});
      done += n;
    }
    entry->crc = running;
    if (jobsCut != firstJob) {
      // Its first bytes are gone with their job by the time it is complete: if it
      // grew, it is read again. A source that ends with this call is read again
      // now, so the rest of the entry is compressed and written first.
      entry->reread = source;
      entry->rewind = rewind;
      if (!sourceStays) {
        Cut(0);
        Drain();
      }
    }
  }

  // Hands a full job to the threads, after writing out the oldest ones while too
  // many are in flight, and then those already done.
  void Submit(Batch batch) {
    if (batch.items.empty()) return;
    while (inFlight.size() >= maxInFlight) OutputOldest();
    compressor->Submit(batch.job);
    inFlight.push_back(std::move(batch));
    while (!inFlight.empty() && compressor->Done(*inFlight.front().job)) OutputOldest();
  }

  void Drain() {
    while (!inFlight.empty()) OutputOldest();
  }

  void OutputOldest() {
    compressor->Wait(*inFlight.front().job, [this] { StopWhenAsked(); });
    Batch batch = std::move(inFlight.front());
    inFlight.pop_front();
    writer::PieceJob& job = *batch.job;
    if (job.error) std::rethrow_exception(job.error);
    for (Item& item : batch.items) {
      if (!item.entry) {
        Queue(std::move(item.block));
        continue;
      }
      const writer::PieceJob::Part& part = job.parts[item.part];
      if (part.entryStart) {
        BeginEntry(item.entry->e);
        joined.clear();
        joiner.emplace(joined);
      }
      crc = item.crcAfter;
      joiner->PutWords(part.packed.bytes, part.packed.bits);
      Packed(part.length);
      if (part.entryEnd) joiner->PadToWord();
      Feed(joined);
      joined.clear();
      if (part.entryEnd) {
        const bool whole = part.entryStart;
        EndEntry(*item.entry, whole ? std::span(job.data).subspan(job.history + part.at, part.length)
                                    : std::span<const std::uint8_t>());
      }
    }
  }

  // Data that grew under compression is stored instead, if it is still all in this
  // volume: the output is taken back and the bytes written as they are, from the
  // job (`whole`) or read again. The compressor's history already holds these
  // bytes, just as the reader's window will hold the stored ones.
  void EndEntry(PendingEntry& entry, std::span<const std::uint8_t> whole) {
    const std::uint64_t size = entry.e.originalSize;
    if (!segmentContinued && segmentPacked + 1 > size) {
      if (std::fflush(file) != 0 || ftruncate(fileno(file), static_cast<off_t>(segmentAt)) != 0)
        throw Error(Status::WriteFailed, "cannot rewrite volume '" + VolumeLabel() + "': " + std::strerror(errno));
      Seek(segmentAt);
      written = static_cast<std::uint64_t>(segmentAt);
      openEntry.method = 0;
      crc = kCrcStart;
      held.reset();
      BeginSegment(false);
      if (!whole.empty()) {
        crc = Checksum(crc, whole);
        Feed(whole);
      } else {
        entry.rewind();
        CopyStored(entry.reread, size, false);
        if (crc != entry.crc) throw Error(Status::ReadFailed, "entry '" + entry.e.name + "' changed while it was being read");
      }
    }
    entry.reread = nullptr;
    entry.rewind = nullptr;
  }

  template <class F>
  void Guarded(F&& f) {
    if (finished) throw Error(Status::BadHandle, "the archive is already finished");
    if (failed) throw Error(Status::BadHandle, "the archive cannot be continued after an earlier error");
    try {
      f();
    } catch (const Error&) {
      failed = true;
      throw;
    } catch (const std::bad_alloc& err) {
      failed = true;
      throw Error(Status::Memory, err.what());
    } catch (const std::exception& err) {
      failed = true;
      throw Error(Status::WriteFailed, err.what());
    }
  }
};

Writer::Writer(fs::path firstVolume, WriterOptions options) : impl_(std::make_unique<Impl>()) {
  Impl& w = *impl_;
  if (options.DictionaryBits < 10 || options.DictionaryBits > 22)
    throw Error(Status::BadConstant, "the dictionary size must be 2^10 .. 2^22 bytes (bits 10..22)");
  if (options.Level < 0 || options.Level > 5) throw Error(Status::BadConstant, "the compression level must be 0..5");
  if (options.VolumeSize != 0) {
    if (options.VolumeSize < 128) throw Error(Status::BadConstant, "the volume size must be at least 128 bytes");
    if (Lower(firstVolume.extension().string()) != ".ace")
      throw Error(Status::BadConstant, "the first volume of a multi-volume set must be named *.ace");
  }
  if (options.Threads < 0) throw Error(Status::BadConstant, "the number of threads must be 0 (one per processor) or more");
  if (options.PieceSize != 0 && (options.PieceSize < kSmallestPiece || options.PieceSize > kLargestPiece))
    throw Error(Status::BadConstant, "the piece size must be 0 (the default) or 256 bytes .. 1 GiB");
  w.first = std::move(firstVolume);
  w.options = options;
  w.mainFlags = static_cast<std::uint16_t>((options.Solid ? kFlagSolid : 0) | (options.VolumeSize ? kFlagMultiVolume : 0));
  w.created = options.Created ? options.Created : UnixToDosTime(CreationTime());
  if (options.Level > 0) {
    const int threads = options.Threads > 0 ? options.Threads
                                            : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    w.compressor = std::make_unique<writer::PieceCompressor>(threads, options.DictionaryBits, options.Level);
    w.pieceSize = options.PieceSize ? options.PieceSize : kDefaultPiece;
    w.window = std::size_t{1} << options.DictionaryBits;
    // Room for slow jobs: the others go on while the oldest is still at work.
    w.maxInFlight = 2 * static_cast<std::size_t>(threads) + 2;
    w.filling.job = std::make_shared<writer::PieceJob>();
  }
  w.OpenVolume();
}

Writer::~Writer() = default;

void Writer::AddDirectory(const std::string& archiveName, fs::file_time_type mtime) {
  impl_->Guarded([&] { impl_->AddFolderEntry(NameForms(archiveName), FileTimeToDosTime(mtime)); });
}

void Writer::AddFile(const std::string& archiveName, const fs::path& source) {
  impl_->Guarded([&] {
    std::error_code ec;
    const auto status = fs::status(source, ec);
    if (ec || !fs::is_regular_file(status)) throw Error(Status::OpenFailed, "'" + source.string() + "' is not a readable file");
    const std::uint64_t size = fs::file_size(source, ec);
    if (ec) throw Error(Status::ReadFailed, "cannot read the size of '" + source.string() + "'");
    const auto mtime = fs::last_write_time(source, ec);
    const std::uint32_t dosTime = ec ? UnixToDosTime(std::time(nullptr)) : FileTimeToDosTime(mtime);
    const bool writable = (status.permissions() & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) != fs::perms::none;
    std::FILE* opened = std::fopen(source.c_str(), "rb");
    if (!opened) throw Error(Status::OpenFailed, "cannot open '" + source.string() + "': " + std::strerror(errno));
    // Shared with the entry, which keeps it open if it may have to read it again.
    const std::shared_ptr<std::FILE> in(opened, &std::fclose);
    const EntryName name = impl_->ClaimFileName(archiveName, dosTime);
    Entry e = impl_->MakeEntry(name, size, dosTime, kAttrArchive | (writable ? 0 : kAttrReadOnly));
    const std::string shown = source.string();
    impl_->AddData(e, [in, shown](std::uint8_t* dst, std::size_t n) -> std::size_t {
      const std::size_t got = std::fread(dst, 1, n, in.get());
      if (got == 0 && std::ferror(in.get())) throw Error(Status::ReadFailed, "cannot read '" + shown + "'");
      return got;
    }, [in, shown] {
      if (std::fseek(in.get(), 0, SEEK_SET) != 0) throw Error(Status::ReadFailed, "cannot read '" + shown + "' again");
    }, true);
  });
}

void Writer::AddBytes(const std::string& archiveName, std::span<const std::uint8_t> data, std::uint32_t dosTime,
                         std::uint32_t attributes) {
  impl_->Guarded([&] {
    if (attributes & kAttrDirectory) throw Error(Status::BadConstant, "entry '" + archiveName + "': file data with the folder attribute");
    const EntryName name = impl_->ClaimFileName(archiveName, dosTime);
    Entry e = impl_->MakeEntry(name, data.size(), dosTime, attributes);
    std::size_t at = 0;
    impl_->AddData(e, [&](std::uint8_t* dst, std::size_t n) -> std::size_t {
      const std::size_t take = std::min(n, data.size() - at);
      if (take) std::memcpy(dst, data.data() + at, take);
      at += take;
      return take;
    }, [&] { at = 0; }, false);
  });
}

std::vector<fs::path> Writer::Finish() {
  Impl& w = *impl_;
  w.Guarded([&] {
    if (w.compressor) {
      w.Submit(std::exchange(w.filling, Batch{}));
      w.Drain();
    }
    w.Settle(0);
    w.CloseVolume();
    for (std::size_t i = 0; i < w.temps.size(); ++i) {
      std::error_code ec;
      fs::rename(w.temps[i], w.finals[i], ec);
      if (ec) {
        for (std::size_t j = 0; j < i; ++j) fs::remove(w.finals[j], ec);
        throw Error(Status::WriteFailed, "cannot rename '" + w.temps[i].string() + "' to its final name: " + ec.message());
      }
    }
    w.finished = true;
  });
  return w.finals;
}

}  // namespace ace
