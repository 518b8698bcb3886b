#include "set_scan.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "unace.h"
#include "volume_set.h"

namespace ace {
namespace {

int RecordVolume(void* context, const char* volumePath, int mode) {
  SetScan& scan = *static_cast<SetScan*>(context);
  if (mode == 0) {
    scan.missingVolume = volumePath;
    return 0;
  }
  scan.volumes.emplace_back(volumePath);
  return 1;
}

}  // namespace

Status ScanSet(const std::string& firstVolume, SetScan& scan) {
  scan = SetScan{};
  VolumeSet volumes(VolumeCallback{&RecordVolume, &scan});
  Status s = volumes.Open(firstVolume);
  if (s != Status::Ok) return s;
  scan.volumes.push_back(firstVolume);
  FileHeader header;
  std::string volumePath;
  while ((s = volumes.NextEntry(header, volumePath)) == Status::Ok) {
    scan.unpackedTotal += header.origSize;
    ++scan.entries;
  }
  return s == Status::End ? Status::Ok : s;
}

}  // namespace ace

int ACEScanArchive(const char* path, TACESetSummary* summary) {
  if (!path || !summary) return ACE_ERR_HANDLE;
  *summary = TACESetSummary{};
  ace::SetScan scan;
  ace::Status s;
  try {
    s = ace::ScanSet(path, scan);
  } catch (const std::bad_alloc&) {
    return ACE_ERR_MEMORY;
  }
  summary->UnpackedTotal = std::int64_t(std::min<std::uint64_t>(scan.unpackedTotal, INT64_MAX));
  summary->Entries = std::int64_t(scan.entries);
  summary->Volumes = std::int32_t(scan.volumes.size());
  const std::size_t n = std::min(scan.missingVolume.size(), sizeof summary->MissingVolume - 1);
  scan.missingVolume.copy(summary->MissingVolume, n);
  return ace::ToApiCode(s);
}
