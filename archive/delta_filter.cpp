#include "delta_filter.h"

namespace ace {

void DeltaFilter::Apply(const std::uint8_t* raw, std::size_t len, unsigned dist,
                        std::uint8_t& sum, std::vector<std::uint8_t>& out) {
  out.resize(len);
  const std::size_t stride = len / dist;
  // Output byte p*dist + q is the running sum at q*stride + p.
  for (std::size_t k = 0; k < len; ++k) {
    sum = std::uint8_t(sum + raw[k]);
    const std::size_t q = k / stride;
    const std::size_t p = k % stride;
    out[p * dist + q] = sum;
  }
}

}  // namespace ace
