// The look-up pass of the wide blends (render/blit_wide.cpp,
// render/zoom_wide.cpp): table entries for packed 16-bit indices. Internal
// linkage on purpose: only those files, compiled for the wide instructions,
// may use it, and no copy of it compiled for them may stand in for a plain
// one elsewhere.
#pragma once

#include <cstdint>
#include <cstring>

namespace {

// out[k] = table[in[k]] for k in [0, count), count rounded up to a multiple
// of 8: both buffers must have room for that. The eight results of a step
// are put together in a register and stored at once: the pass is bound by
// its loads and stores (an index and an entry a pixel), and one store
// instead of eight measured faster.
inline void LookUp(const uint8_t* table, const uint16_t* in, uint8_t* out, int32_t count) {
  for (int32_t j = 0; j < count; j += 8) {
    const uint16_t* at = in + j;
    const uint64_t eight = uint64_t{table[at[0]]} | uint64_t{table[at[1]]} << 8 |
                           uint64_t{table[at[2]]} << 16 | uint64_t{table[at[3]]} << 24 |
                           uint64_t{table[at[4]]} << 32 | uint64_t{table[at[5]]} << 40 |
                           uint64_t{table[at[6]]} << 48 | uint64_t{table[at[7]]} << 56;
    std::memcpy(out + j, &eight, 8);
  }
}

}  // namespace
