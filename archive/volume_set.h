// The volumes of one archive set as one sequence of entries: finds the archive in
// the first file (also behind a self-extracting stub), walks the block chain, and
// serves an entry's packed data across its segments, moving on to further volumes
// (with the volume callback) when a segment continues in the next one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "byte_source.h"
#include "headers.h"
#include "read_ahead_file.h"
#include "status.h"
#include "volume_names.h"

namespace ace {

struct VolumeCallback {
  int (*function)(void* context, const char* volumePath, int mode) = nullptr;
  void* context = nullptr;
};

class VolumeSet final : public ByteSource {
 public:
  explicit VolumeSet(VolumeCallback callback) : callback_(callback) {}
  ~VolumeSet() override;
  VolumeSet(const VolumeSet&) = delete;
  VolumeSet& operator=(const VolumeSet&) = delete;

  Status Open(const std::string& path);
  const MainHeader& mainHeader() const { return main_; }

  // Moves past whatever is left of the current entry and reads the next entry's
  // first file header. End at the end of the set.
  Status NextEntry(FileHeader& header, std::string& volumePath);

  // The current entry's packed data; 0 at its end or on failure (see error()).
  std::size_t Read(std::uint8_t* out, std::size_t capacity) override;
  // Skips the rest of the current entry's packed data (still crossing volumes).
  Status SkipRest();
  // First failure met while serving packed data, Ok when none.
  Status error() const { return error_; }
  // The segment being read: after the whole entry has been read, the last one,
  // whose CRC covers the whole entry.
  const FileHeader& segment() const { return segment_; }
  // Packed bytes over all segments seen so far.
  std::uint64_t packedSoFar() const { return packedTotal_; }

  // Looks ahead through further volumes without announcing them, to learn the
  // total packed size and final CRC of an entry that spans volumes. False when a
  // volume is missing or broken (the facts of the first segment then stay).
  bool PeekSpan(std::uint64_t& packedTotal, std::uint32_t& finalCrc) const;

 private:
  Status OpenFile(const std::string& path, bool first);
  static Status ReadBlock(ReadAheadFile& file, std::uint64_t fileSize, std::uint64_t offset,
                          std::vector<std::uint8_t>& block, std::uint16_t& headCrc);
  Status FindArchiveStart(std::uint64_t& start);
  Status NextVolume();

  VolumeCallback callback_;
  ReadAheadFile file_;
  std::string path_;
  std::uint64_t fileSize_ = 0;
  std::uint64_t next_ = 0;      // offset of the next block
  std::uint64_t dataPos_ = 0;   // offset of the unread packed data of the segment
  std::uint64_t dataLeft_ = 0;  // unread packed bytes of the segment
  bool inEntry_ = false;
  bool switched_ = false;  // moved on from the first volume opened
  MainHeader main_;
  FileHeader segment_;
  std::uint64_t packedTotal_ = 0;
  Status error_ = Status::Ok;
};

}  // namespace ace
