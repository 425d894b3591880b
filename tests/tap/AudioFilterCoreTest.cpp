#include "tap/AudioFilterCore.h"

#include "tap/RecordingCallback.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace {

using tap::AudioFilterCore;
using tap::MediaType;

MediaType pcm(std::uint32_t bits, std::uint16_t tag = tap::kWaveFormatPcm) {
    MediaType t;
    t.FormatTag = tag;
    t.SampleRate = 44100;
    t.Channels = 2;
    t.Bits = bits;
    return t;
}

using testing_tap::RecordingCallback;

struct TypeCase {
    const char* name;
    MediaType type;
    std::uint32_t expected;
    bool isFloat;
};

MediaType with(MediaType t, auto change) {
    change(t);
    return t;
}

TEST(AudioFilterCore, TypeCheck) {
    const TypeCase cases[] = {
        {"16-bit PCM", pcm(16), tap::kS_OK, false},
        {"8-bit PCM", pcm(8), tap::kS_OK, false},
        {"24-bit PCM", pcm(24), tap::kS_OK, false},
        {"32-bit PCM", pcm(32), tap::kS_OK, false},
        {"float subtype",
         with(pcm(32), [](MediaType& t) { t.subtype = MediaType::Subtype::IeeeFloat; }), tap::kS_OK,
         true},
        {"float tag", pcm(32, tap::kWaveFormatIeeeFloat), tap::kS_OK, true},
        {"extensible float",
         with(pcm(32, tap::kWaveFormatExtensible), [](MediaType& t) { t.ExtensibleFloat = true; }),
         tap::kS_OK, true},
        {"extensible PCM", pcm(24, tap::kWaveFormatExtensible), tap::kS_OK, false},
        {"null subtype", with(pcm(16), [](MediaType& t) { t.subtype = MediaType::Subtype::Null; }),
         tap::kS_OK, false},
        {"12 bits", pcm(12), tap::kVFW_E_TYPE_NOT_ACCEPTED, false},
        {"not a wave format", with(pcm(16), [](MediaType& t) { t.WaveFormatEx = false; }),
         tap::kVFW_E_TYPE_NOT_ACCEPTED, false},
        {"video", with(pcm(16), [](MediaType& t) { t.Audio = false; }),
         tap::kVFW_E_INVALIDMEDIATYPE, false},
        {"other subtype",
         with(pcm(16), [](MediaType& t) { t.subtype = MediaType::Subtype::Other; }),
         tap::kVFW_E_INVALIDSUBTYPE, false},
        {"no sample rate", with(pcm(16), [](MediaType& t) { t.SampleRate = 0; }),
         tap::kVFW_E_TYPE_NOT_ACCEPTED, false},
    };
    for (const TypeCase& c : cases) {
        AudioFilterCore core;
        EXPECT_EQ(core.CheckInputType(c.type), c.expected) << c.name;
        if (c.expected == tap::kS_OK)
            EXPECT_EQ(core.GetStream()->Float != 0, c.isFloat) << c.name;
    }
}

TEST(AudioFilterCore, PassThroughFlagsFollowTheFormatTag) {
    const std::pair<std::uint16_t, bool> spdif[] = {
        {0x0092, true}, {0x2000, true}, {0x0008, false}, {0x2001, false}};
    for (const auto& [tag, isSpdif] : spdif) {
        AudioFilterCore core;
        ASSERT_EQ(core.CheckInputType(pcm(16, tag)), tap::kS_OK);
        EXPECT_EQ(core.GetStream()->SPDIF != 0, isSpdif) << tag;
        EXPECT_EQ(core.GetStream()->DTS != 0, !isSpdif) << tag;
    }
}

TEST(AudioFilterCore, MediaTypeChangedOnlyWhenTheRecordChanges) {
    AudioFilterCore core;
    RecordingCallback cb;
    core.SetCallback(&cb);
    core.CheckInputType(pcm(16));
    core.CheckInputType(pcm(16));
    EXPECT_EQ(cb.typeChanges, 1);
    core.CheckInputType(pcm(24));
    EXPECT_EQ(cb.typeChanges, 2);
}

TEST(AudioFilterCore, ShortenedBlockAndVisualAfterDSP) {
    AudioFilterCore core;
    RecordingCallback cb;
    cb.halve = true;
    core.SetCallback(&cb);
    ASSERT_EQ(core.CheckInputType(pcm(16)), tap::kS_OK);
    core.CompleteConnect();
    core.SetVisualAfterDSP(true);
    std::vector<std::uint8_t> block(400, 0x11);
    EXPECT_EQ(core.Transform(block.data(), 400, 0), 200u);
    EXPECT_EQ(core.GetStream()->Size, 400u);
    EXPECT_EQ(core.History().Fill(), 200u);
    EXPECT_EQ(core.History().Storage()[0], 0xEE); // recorded after processing
}

TEST(AudioFilterCore, PassThroughBlocksReachNeitherProcessorsNorHistory) {
    AudioFilterCore core;
    RecordingCallback cb;
    core.SetCallback(&cb);
    ASSERT_EQ(core.CheckInputType(pcm(16, tap::kWaveFormatDolbyAc3Spdif)), tap::kS_OK);
    core.CompleteConnect();
    std::vector<std::uint8_t> block(400, 0x11);
    EXPECT_EQ(core.Transform(block.data(), 400, 0), 400u);
    EXPECT_EQ(cb.pcmCalls, 0);
    EXPECT_EQ(block[0], 0x11);
    EXPECT_EQ(core.History().Fill(), 0u);
}

TEST(AudioFilterCore, VisualDataOnlyWhileRunningAndNotFlushing) {
    AudioFilterCore core;
    RecordingCallback cb;
    core.SetCallback(&cb);
    ASSERT_EQ(core.CheckInputType(pcm(16)), tap::kS_OK);
    core.CompleteConnect();
    std::vector<std::uint8_t> block(4000, 0x11);
    core.Transform(block.data(), 4000, 0);
    int seen = 0;
    const auto count = [&](const void*, std::uint32_t, dsp::PDSStream) {
        ++seen;
    };
    EXPECT_EQ(core.GetVisualData(0, count), tap::kS_FALSE);
    core.Run();
    EXPECT_EQ(core.GetVisualData(0, count), tap::kS_OK);
    core.Pause();
    EXPECT_EQ(core.GetVisualData(0, count), tap::kS_FALSE);
    core.Run(); // resuming needs no new first fill
    EXPECT_EQ(core.GetVisualData(0, count), tap::kS_OK);
    core.BeginFlush();
    EXPECT_EQ(cb.flushes, 1);
    EXPECT_EQ(core.GetVisualData(0, count), tap::kS_FALSE);
    core.EndFlush();
    EXPECT_EQ(seen, 2);
}

TEST(AudioFilterCore, DelayShiftsOnlyWhenEnabledAndIsBounded) {
    AudioFilterCore core;
    core.SetDelay(500);
    EXPECT_EQ(core.TimeShift(), 0);
    core.SetDelayEnabled(true);
    EXPECT_EQ(core.TimeShift(), 5'000'000);
    core.SetDelay(1'000'000);
    EXPECT_EQ(core.GetDelay(), AudioFilterCore::kMaxDelay);
}

} // namespace
