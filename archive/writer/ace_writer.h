// Writes ACE archive sets: one volume or several, solid or not, entries stored or
// compressed with method 1 (LZ77). The sets open in the original ACE extractors
// and in our own reader (unace.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "entry_names.h"
#include "error.h"

namespace ace {

struct WriterOptions {
  bool Solid = true;
  int DictionaryBits = 22;        // 10..22: a dictionary of 1 KiB .. 4 MiB
  int Level = 3;                  // 0 stores everything, 1 (fastest) .. 5 (best)
  std::uint64_t VolumeSize = 0;   // largest size of one volume; 0 = a single volume
  // Asked before each entry and each piece of input read, and while waiting for the
  // compressing threads: true stops the writer with ace::Error (Cancelled, "stopped"),
  // and, as after any failure, it leaves no volume.
  std::function<bool()> ShouldStop = nullptr;
  // Threads that compress; 0 = one per processor (std::thread::hardware_concurrency).
  // The archive's bytes are the same for every number of threads.
  int Threads = 0;
  // The data stream is compressed in pieces of this many input bytes (entries are
  // cut at piece boundaries, and small entries share a piece), each piece with the
  // dictionary's worth of data before it as history; 0 = 4 MiB, otherwise 256 bytes
  // .. 1 GiB. Smaller pieces compress a little worse; tests use them to stay quick.
  std::uint64_t PieceSize = 0;
  // The time stamp of the main headers, a DOS time (FileTimeToDosTime); 0 = the time in
  // SOURCE_DATE_EPOCH (seconds since 1970) if that variable is set, else now.
  std::uint32_t Created = 0;
  // Told, now and then, how many bytes of the entries' data are packed so far (for
  // a progress display); called on the caller's thread.
  std::function<void(std::uint64_t packedInputBytes)> OnProgress = nullptr;
};

// Builds one archive set. Every failure throws ace::Error: a Status, and a message
// that names the entry or volume concerned; after a failure the writer accepts nothing
// more, and a writer destroyed without a successful Finish leaves no volume behind.
//
// Compressed entries are read when they are added, but compressed on other threads
// and written some pieces later: a failure to write them (a volume too small, a
// full disk) is thrown by a later AddFile, AddBytes, AddDirectory or by Finish.
// At most 2 x Threads + 4 pieces of input, each with the dictionary's worth of data
// before it, are held in memory at once.
class Writer {
 public:
  Writer(std::filesystem::path firstVolume, WriterOptions options);
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // A folder entry. Missing parent folders of any entry are added automatically,
  // before it; adding a folder that is already in the archive does nothing.
  void AddDirectory(const std::string& archiveName, std::filesystem::file_time_type mtime);
  // A file read from `source` in pieces (memory use does not grow with its size).
  // The attributes come from the file: archive bit, read-only when nobody may write it.
  void AddFile(const std::string& archiveName, const std::filesystem::path& source);
  // A file from memory with the given DOS time stamp and DOS attribute bits. The
  // bytes are copied; data that spans pieces is compressed and written before the
  // call returns (it is read again if it has to be stored instead).
  void AddBytes(const std::string& archiveName, std::span<const std::uint8_t> data,
                std::uint32_t dosTime, std::uint32_t attributes);
  // Completes the set and gives it its final names. Returns the volumes in order.
  std::vector<std::filesystem::path> Finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The name an entry gets, as readers show it: '/' becomes '\'. Names that are
// empty, absolute, carry a drive letter, contain "." or ".." components or empty
// ones, control characters, are not valid UTF-8, hold a character that code
// page 850 lacks, take more than 259 bytes in it or would read back as another
// name (see NameForms) are refused with ace::Error (UnsafeName), whose
// message names the entry (and the character).
std::string ArchiveName(const std::string& name);

// An entry name in its two forms (ace::StoredEntryName): UTF-8 with '\' as
// ArchiveName gives it, and the code page 850 bytes stored in the header.
EntryName NameForms(const std::string& name);

}  // namespace ace
