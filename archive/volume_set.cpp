#include "volume_set.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace ace {
namespace {

constexpr std::uint64_t kSfxSearchLimit = 512 * 1024;

}  // namespace

VolumeSet::~VolumeSet() = default;

Status VolumeSet::ReadBlock(ReadAheadFile& file, std::uint64_t fileSize, std::uint64_t offset,
                            std::vector<std::uint8_t>& block, std::uint16_t& headCrc) {
  std::uint8_t prefix[4];
  if (fileSize < offset || fileSize - offset < 4) return Status::ReadFailed;
  if (!file.ReadFully(prefix, 4, offset)) return Status::ReadFailed;
  headCrc = std::uint16_t(prefix[0] | prefix[1] << 8);
  const std::size_t headSize = std::size_t(prefix[2] | prefix[3] << 8);
  if (fileSize - offset - 4 < headSize) return Status::ReadFailed;
  block.resize(headSize);
  if (headSize && !file.ReadFully(block.data(), headSize, offset + 4)) return Status::ReadFailed;
  if (headSize == 0 || !HeaderCrcMatches(block.data(), headSize, headCrc)) return Status::BadHeader;
  return Status::Ok;
}

Status VolumeSet::FindArchiveStart(std::uint64_t& start) {
  std::vector<std::uint8_t> block;
  std::uint16_t crc;
  MainHeader probe;
  // A plain archive starts at 0; a self-extracting one somewhere in the first 512 KiB.
  if (ReadBlock(file_, fileSize_, 0, block, crc) == Status::Ok && block.size() >= 26 &&
      ParseMainHeader(block.data(), block.size(), probe) == Status::Ok) {
    start = 0;
    return Status::Ok;
  }
  const std::uint64_t span = fileSize_ < kSfxSearchLimit + 14 ? fileSize_ : kSfxSearchLimit + 14;
  std::vector<std::uint8_t> head(static_cast<std::size_t>(span));
  if (span && !file_.ReadFully(head.data(), head.size(), 0)) return Status::ReadFailed;
  static constexpr std::uint8_t kSign[7] = {'*', '*', 'A', 'C', 'E', '*', '*'};
  bool sawSignature = false;
  Status firstFailure = Status::NotAce;
  for (std::uint64_t p = 7; p + 7 <= head.size() && p < kSfxSearchLimit; ++p) {
    const void* star = std::memchr(head.data() + p, '*', head.size() - 6 - p);
    if (!star) break;
    p = std::uint64_t(static_cast<const std::uint8_t*>(star) - head.data());
    if (p >= kSfxSearchLimit) break;
    if (std::memcmp(head.data() + p, kSign, 7) != 0) continue;
    sawSignature = true;
    const std::uint64_t s = p - 7;
    const Status st = ReadBlock(file_, fileSize_, s, block, crc);
    if (st == Status::Ok && block.size() >= 26 && block[0] == kMainBlock &&
        ParseMainHeader(block.data(), block.size(), probe) == Status::Ok) {
      start = s;
      return Status::Ok;
    }
    if (firstFailure == Status::NotAce) firstFailure = st == Status::Ok ? Status::BadHeader : st;
  }
  // A signature in the right place whose header does not check out is a broken
  // archive, not a foreign file.
  return sawSignature ? (firstFailure == Status::ReadFailed ? Status::BadHeader : firstFailure)
                      : Status::NotAce;
}

Status VolumeSet::OpenFile(const std::string& path, bool first) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? Status::MissingVolume : Status::OpenFailed;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Status::ReadFailed;
  }
  file_.Reset(fd);
  path_ = path;
  fileSize_ = std::uint64_t(st.st_size);
  std::uint64_t start = 0;
  if (first) {
    const Status s = FindArchiveStart(start);
    if (s != Status::Ok) return s;
  }
  std::vector<std::uint8_t> block;
  std::uint16_t crc;
  const Status s = ReadBlock(file_, fileSize_, start, block, crc);
  if (s != Status::Ok) return s == Status::ReadFailed && !first ? Status::BadHeader : s;
  MainHeader header;
  if (ParseMainHeader(block.data(), block.size(), header) != Status::Ok) return Status::BadHeader;
  if (!first) {
    if (!(header.flags & kFlagMultiVolume) || header.volumeNumber != std::uint8_t(main_.volumeNumber + 1)) {
      return Status::BadHeader;
    }
    main_.volumeNumber = header.volumeNumber;
  } else {
    main_ = header;
  }
  next_ = start + 4 + block.size();
  return Status::Ok;
}

Status VolumeSet::Open(const std::string& path) { return OpenFile(path, true); }

Status VolumeSet::NextVolume() {
  const std::vector<std::string> names = NextVolumeNames(path_);
  std::string found;
  for (const std::string& name : names) {
    struct stat st;
    if (::stat(name.c_str(), &st) == 0) {
      found = name;
      break;
    }
  }
  if (found.empty()) {
    if (callback_.function) {
      const std::string missing = MissingVolumeName(path_);
      callback_.function(callback_.context, missing.c_str(), 0);
    }
    return Status::MissingVolume;
  }
  if (callback_.function && callback_.function(callback_.context, found.c_str(), 1) == 0) {
    return Status::MissingVolume;
  }
  const std::string previousName = segment_.name;
  switched_ = true;
  Status s = OpenFile(found, false);
  if (s == Status::MissingVolume) s = Status::OpenFailed;
  if (s != Status::Ok) return s;
  std::vector<std::uint8_t> block;
  std::uint16_t crc;
  s = ReadBlock(file_, fileSize_, next_, block, crc);
  if (s != Status::Ok) return s;
  FileHeader header;
  if ((block[0] != kFileBlock32 && block[0] != kFileBlock64) ||
      ParseFileHeader(block.data(), block.size(), header) != Status::Ok ||
      !(header.flags & kFlagFromPrevious) || header.name != previousName) {
    return Status::BadHeader;
  }
  const std::uint64_t dataStart = next_ + 4 + block.size();
  if (header.packSize > fileSize_ - dataStart) return Status::ReadFailed;
  segment_ = header;
  dataPos_ = dataStart;
  dataLeft_ = header.packSize;
  packedTotal_ += header.packSize;
  next_ = dataStart + header.packSize;
  return Status::Ok;
}

std::size_t VolumeSet::Read(std::uint8_t* out, std::size_t capacity) {
  std::size_t total = 0;
  while (capacity > 0 && error_ == Status::Ok && inEntry_) {
    if (dataLeft_ == 0) {
      if (!(segment_.flags & kFlagToNext)) break;
      const Status s = NextVolume();
      if (s != Status::Ok) {
        error_ = s;
        break;
      }
      continue;
    }
    const std::size_t n = dataLeft_ < capacity ? std::size_t(dataLeft_) : capacity;
    const ssize_t got = file_.ReadSome(out, n, dataPos_);
    if (got <= 0) {
      error_ = Status::ReadFailed;
      break;
    }
    out += got;
    capacity -= std::size_t(got);
    total += std::size_t(got);
    dataPos_ += std::uint64_t(got);
    dataLeft_ -= std::uint64_t(got);
    // Hand over what we have once a segment ends rather than waiting on a volume switch.
    if (dataLeft_ == 0) break;
  }
  return total;
}

Status VolumeSet::SkipRest() {
  while (inEntry_ && error_ == Status::Ok) {
    dataPos_ += dataLeft_;
    dataLeft_ = 0;
    if (!(segment_.flags & kFlagToNext)) break;
    const Status s = NextVolume();
    if (s != Status::Ok) error_ = s;
  }
  inEntry_ = false;
  return error_;
}

Status VolumeSet::NextEntry(FileHeader& header, std::string& volumePath) {
  if (inEntry_) {
    const Status s = SkipRest();
    if (s != Status::Ok) return s;
  }
  error_ = Status::Ok;
  std::vector<std::uint8_t> block;
  std::uint16_t crc;
  for (;;) {
    // A tail too short to hold a block is tolerated as the end.
    if (fileSize_ <= next_ || fileSize_ - next_ < 4) return Status::End;
    const Status s = ReadBlock(file_, fileSize_, next_, block, crc);
    if (s != Status::Ok) return s;
    const std::uint64_t dataStart = next_ + 4 + block.size();
    const std::uint8_t type = block[0];
    if (type == kFileBlock32 || type == kFileBlock64) {
      FileHeader h;
      if (ParseFileHeader(block.data(), block.size(), h) != Status::Ok) return Status::BadHeader;
      if (h.packSize > fileSize_ - dataStart) return Status::ReadFailed;
      next_ = dataStart + h.packSize;
      if (h.flags & kFlagFromPrevious) {
        // The rest of an entry that started before the first volume we opened:
        // nothing of it can be used, so pass over it.
        if (main_.volumeNumber != 0 && !switched_) continue;
        return Status::BadHeader;
      }
      header = h;
      segment_ = h;
      dataPos_ = dataStart;
      dataLeft_ = h.packSize;
      packedTotal_ = h.packSize;
      inEntry_ = true;
      volumePath = path_;
      return Status::Ok;
    }
    if (type == kMainBlock) return Status::BadHeader;
    const std::uint64_t area = DataAreaSize(block.data(), block.size());
    if (area > fileSize_ - dataStart) return Status::ReadFailed;
    next_ = dataStart + area;
  }
}

bool VolumeSet::PeekSpan(std::uint64_t& packedTotal, std::uint32_t& finalCrc) const {
  packedTotal = segment_.packSize;
  finalCrc = segment_.crc;
  std::string path = path_;
  std::uint16_t flags = segment_.flags;
  std::uint8_t volume = main_.volumeNumber;
  std::vector<std::uint8_t> block;
  std::uint16_t crc;
  for (int guard = 0; (flags & kFlagToNext) && guard < 256; ++guard) {
    std::string found;
    for (const std::string& name : NextVolumeNames(path)) {
      struct stat st;
      if (::stat(name.c_str(), &st) == 0) {
        found = name;
        break;
      }
    }
    if (found.empty()) return false;
    const int fd = ::open(found.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ReadAheadFile file;
    file.Reset(fd);
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const std::uint64_t size = ok ? std::uint64_t(st.st_size) : 0;
    MainHeader mh;
    FileHeader fh;
    ok = ok && ReadBlock(file, size, 0, block, crc) == Status::Ok &&
         ParseMainHeader(block.data(), block.size(), mh) == Status::Ok &&
         mh.volumeNumber == std::uint8_t(volume + 1);
    const std::uint64_t at = 4 + block.size();
    ok = ok && ReadBlock(file, size, at, block, crc) == Status::Ok &&
         (block[0] == kFileBlock32 || block[0] == kFileBlock64) &&
         ParseFileHeader(block.data(), block.size(), fh) == Status::Ok &&
         (fh.flags & kFlagFromPrevious) && fh.name == segment_.name;
    file.Close();
    if (!ok) return false;
    packedTotal += fh.packSize;
    finalCrc = fh.crc;
    flags = fh.flags;
    volume = mh.volumeNumber;
    path = found;
  }
  return true;
}

}  // namespace ace
