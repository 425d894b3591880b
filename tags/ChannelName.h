#pragma once

#include <array>
#include <string_view>

namespace tags {

// Name of a WAV or WMA channel count; counts other than 1 and 2 are "Unknown".
constexpr std::string_view channelName(unsigned channels) {
    constexpr std::array<std::string_view, 3> kNames = {
        "Unknown", // 0 and anything above 2
        "Mono",    // 1
        "Stereo",  // 2
    };
    return channels < kNames.size() ? kNames[channels] : kNames[0];
}

} // namespace tags
