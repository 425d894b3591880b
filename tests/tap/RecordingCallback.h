#pragma once

#include "tap/AudioFilterCore.h"

#include <cstdint>

namespace testing_tap {

// Stands in for the tap's component: counts what the tap asks of it, inverts every byte it
// is given and, when asked, halves each block.
class RecordingCallback : public tap::IDCDSPFilterCallBack {
public:
    int pcmCalls = 0;
    int typeChanges = 0;
    int flushes = 0;
    bool halve = false;

    std::int32_t PCMData(void* Buffer, std::uint32_t Size, std::uint32_t& NewSize,
                         dsp::PDSStream) override {
        ++pcmCalls;
        auto* bytes = static_cast<std::uint8_t*>(Buffer);
        for (std::uint32_t i = 0; i < Size; ++i)
            bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
        NewSize = halve ? Size / 2 : Size;
        return tap::kS_OK;
    }
    std::int32_t MediaTypeChanged(dsp::PDSStream) override {
        ++typeChanges;
        return tap::kS_OK;
    }
    std::int32_t Flush() override {
        ++flushes;
        return tap::kS_OK;
    }
};

} // namespace testing_tap
