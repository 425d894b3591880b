#pragma once

#include <cstdint>

namespace dsp {

// Format of the PCM stream one deck's tap hands to its processors. Every field is 32 bits
// wide; the three flags hold all bits set for true (kTrue), so test them against zero.
struct DSStream {
    std::uint32_t Size = 0;       // bytes of the block being processed
    std::uint32_t SampleRate = 0; // frames per second
    std::uint32_t Channels = 0;   // interleaved channels per frame
    std::uint32_t Bits = 0;       // bits per sample: 8, 16, 24 or 32
    std::uint32_t Float = 0;      // 32-bit IEEE float samples, full scale 1.0
    std::uint32_t SPDIF = 0;      // encoded pass-through (AC-3 over S/PDIF)
    std::uint32_t DTS = 0;        // encoded pass-through (DTS)

    static constexpr std::uint32_t kTrue = 0xFFFFFFFFu;

    friend bool operator==(const DSStream&, const DSStream&) = default;
};

static_assert(sizeof(DSStream) == 7 * sizeof(std::uint32_t));

using PDSStream = DSStream*;

} // namespace dsp
