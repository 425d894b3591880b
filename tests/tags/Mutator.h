#pragma once

// Damaged variants of valid inputs for the readers' robustness tests: bit flips, cuts at
// either end, 32-bit length fields forced to edge values in either byte order, and runs of
// bytes overwritten.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <random>
#include <vector>

namespace tags::test {

inline std::vector<std::uint8_t> mutate(std::vector<std::uint8_t> b, std::mt19937& rng) {
    const auto pick = [&](std::size_t n) {
        return n == 0 ? std::size_t{0} : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    };
    // 23 and 24 sit at the edge of the smallest ASF object.
    static constexpr std::uint32_t kOddValues[] = {
        0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0, 0x0FFFFFFF, 1, 23, 24, 0x7F7F7F7F, 0xFFFFFFF0};
    const int steps = 1 + static_cast<int>(pick(3));
    for (int s = 0; s < steps && !b.empty(); ++s) {
        switch (pick(5)) {
        case 0: // bit flips
            for (std::size_t n = 1 + pick(4); n > 0; --n)
                b[pick(b.size())] ^= std::uint8_t(1u << pick(8));
            break;
        case 1: // cut the end
            b.resize(pick(b.size() + 1));
            break;
        case 2: // cut the start
            b.erase(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(pick(b.size() + 1)));
            break;
        case 3: { // a length field of an odd value, in either byte order
            const std::uint32_t v = kOddValues[pick(std::size(kOddValues))];
            const bool bigEndian = pick(2) != 0;
            const std::size_t at = pick(b.size());
            for (std::size_t i = 0; i < 4 && at + i < b.size(); ++i)
                b[at + i] = std::uint8_t(v >> (bigEndian ? 24 - 8 * i : 8 * i));
            break;
        }
        default: { // a run of one byte value
            const std::size_t at = pick(b.size());
            const auto fill = static_cast<std::uint8_t>(pick(256));
            for (std::size_t i = 0, n = 1 + pick(16); i < n && at + i < b.size(); ++i)
                b[at + i] = fill;
        }
        }
    }
    return b;
}

} // namespace tags::test
