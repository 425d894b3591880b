#pragma once

#include "ByteBuilder.h"

#include <array>
#include <string_view>

namespace tags::test::mp3 {

using Header = std::array<std::uint8_t, 4>;

// MPEG 1 Layer III, 128 kbit/s, 44100 Hz, no CRC: 417 bytes, 418 padded.
constexpr Header kStereo128 = {0xFF, 0xFB, 0x90, 0x00};
constexpr Header kStereo128Padded = {0xFF, 0xFB, 0x92, 0x00};
constexpr Header kMono128 = {0xFF, 0xFB, 0x90, 0xC0};
// MPEG 2 Layer III, 64 kbit/s, 24000 Hz, stereo: 192 bytes.
constexpr Header kMpeg2Stereo64 = {0xFF, 0xF3, 0x84, 0x00};
// MPEG 1 Layer I, 128 kbit/s, 44100 Hz: 136 bytes.
constexpr Header kLayer1 = {0xFF, 0xFF, 0x40, 0x00};
// MPEG 2.5 Layer II, 160 kbit/s, 8000 Hz: 2880 bytes.
constexpr Header kMpeg25Layer2 = {0xFF, 0xE5, 0xE8, 0x00};

// `count` frames of `length` bytes, each a header followed by zeros.
inline ByteBuilder& frames(ByteBuilder& b, const Header& h, std::size_t length, int count) {
    for (int k = 0; k < count; ++k)
        b.u8(h[0]).u8(h[1]).u8(h[2]).u8(h[3]).fill(length - 4);
    return b;
}

// A first frame holding a Xing header at `offset`, then `count` plain frames.
inline ByteBuilder xingStream(std::uint32_t frameCount, std::uint32_t byteCount,
                              std::size_t offset = 36, const Header& h = kStereo128,
                              std::size_t length = 417, int count = 40) {
    ByteBuilder b;
    b.u8(h[0]).u8(h[1]).u8(h[2]).u8(h[3]).fill(offset - 4);
    b.text("Xing").be32(0x0F).be32(frameCount).be32(byteCount).fill(100).be32(57);
    b.text("LAME3.100");
    b.fill(length - b.size());
    return frames(b, h, length, count);
}

} // namespace tags::test::mp3
