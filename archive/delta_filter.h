// DELTA sections: a running byte sum over the section, then the `dist` interleaved
// streams put back together.
#pragma once

#include <cstdint>
#include <vector>

namespace ace {

class DeltaFilter {
 public:
  // Turns the len raw bytes of one section into its output; `sum` is the entry's
  // running sum and is carried on. len must be a multiple of dist.
  static void Apply(const std::uint8_t* raw, std::size_t len, unsigned dist, std::uint8_t& sum,
                    std::vector<std::uint8_t>& out);
};

}  // namespace ace
