// A walk over the headers of a whole archive set, without decoding: what the set
// unpacks to and whether every volume is there and readable. Costs one header read
// per entry and one open per volume; packed data is skipped, never read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "status.h"

namespace ace {

struct SetScan {
  std::uint64_t unpackedTotal = 0;   // sum of the entries' unpacked sizes
  std::uint64_t entries = 0;
  std::vector<std::string> volumes;  // every volume met, the first one included
  std::string missingVolume;         // the volume that could not be found, if any
};

// Ok when the walk reached the end of the set. MissingVolume names the absent
// volume in `scan.missingVolume`; other failures are those of reading the headers.
Status ScanSet(const std::string& firstVolume, SetScan& scan);

}  // namespace ace
