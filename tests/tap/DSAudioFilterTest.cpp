#include "tap/DSAudioFilter.h"

#include "tap/AudioFilterCore.h"
#include "tap/Media.h"
#include "tap/RecordingCallback.h"

#include <cstdint>
#include <gst/check/gstharness.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

struct HarnessDeleter {
    void operator()(GstHarness* h) const { gst_harness_teardown(h); }
};
using Harness = std::unique_ptr<GstHarness, HarnessDeleter>;

using Negate = testing_tap::RecordingCallback;

Harness makeHarness(const std::string& caps) {
    EXPECT_TRUE(tap::initialiseMedia());
    Harness h(gst_harness_new(tap::kAudioFilterFactory));
    gst_harness_set_src_caps_str(h.get(), caps.c_str());
    return h;
}

tap::AudioFilterCore& coreOf(const Harness& h) {
    return *tap::AudioFilterCoreOf(h->element);
}

GstBuffer* bufferOf(const std::vector<std::uint8_t>& bytes, GstClockTime pts) {
    GstBuffer* b = gst_buffer_new_memdup(bytes.data(), bytes.size());
    GST_BUFFER_PTS(b) = pts;
    GST_BUFFER_DURATION(b) = 10 * GST_MSECOND;
    GST_BUFFER_OFFSET(b) = 0;
    GST_BUFFER_OFFSET_END(b) = 441;
    return b;
}

std::vector<std::uint8_t> bytesOf(GstBuffer* b) {
    GstMapInfo map;
    gst_buffer_map(b, &map, GST_MAP_READ);
    std::vector<std::uint8_t> out(map.data, map.data + map.size);
    gst_buffer_unmap(b, &map);
    return out;
}

std::vector<std::uint8_t> ramp(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(i * 7);
    return v;
}

struct FormatCase {
    const char* format;
    std::uint32_t bits;
    bool isFloat;
};

TEST(DSAudioFilter, AcceptsEveryInterleavedFormatAndPassesSamplesUnchanged) {
    const FormatCase cases[] = {{"U8", 8, false},
                                {"S16LE", 16, false},
                                {"S24LE", 24, false},
                                {"S32LE", 32, false},
                                {"F32LE", 32, true}};
    for (const FormatCase& c : cases) {
        Harness h = makeHarness(std::string("audio/x-raw,format=") + c.format +
                                ",layout=interleaved,rate=22050,channels=3");
        const auto in = ramp(3 * (c.bits / 8) * 100);
        GstBuffer* out = gst_harness_push_and_pull(h.get(), bufferOf(in, 0));
        ASSERT_NE(out, nullptr) << c.format;
        EXPECT_EQ(bytesOf(out), in) << c.format;
        gst_buffer_unref(out);
        const dsp::DSStream& s = *coreOf(h).GetStream();
        EXPECT_EQ(s.Bits, c.bits) << c.format;
        EXPECT_EQ(s.Channels, 3u);
        EXPECT_EQ(s.SampleRate, 22050u);
        EXPECT_EQ(s.Float != 0, c.isFloat) << c.format;
        EXPECT_EQ(s.Size, in.size());
        EXPECT_EQ(coreOf(h).History().Fill(), in.size()) << c.format;
    }
}

TEST(DSAudioFilter, ProcessorWorksInPlaceAndMayShortenTheBlock) {
    Harness h = makeHarness("audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=2");
    Negate cb;
    cb.halve = true;
    coreOf(h).SetCallback(&cb);
    const auto in = ramp(441 * 4);
    GstBuffer* out = gst_harness_push_and_pull(h.get(), bufferOf(in, GST_SECOND));
    ASSERT_NE(out, nullptr);
    const auto got = bytesOf(out);
    ASSERT_EQ(got.size(), in.size() / 2);
    EXPECT_EQ(got[0], static_cast<std::uint8_t>(~in[0]));
    EXPECT_EQ(GST_BUFFER_DURATION(out), 5 * GST_MSECOND);
    EXPECT_EQ(GST_BUFFER_OFFSET_END(out), 220u);
    EXPECT_EQ(GST_BUFFER_PTS(out), GST_SECOND);
    EXPECT_FALSE(GST_BUFFER_FLAG_IS_SET(out, GST_BUFFER_FLAG_DELTA_UNIT));
    gst_buffer_unref(out);
    EXPECT_EQ(coreOf(h).History().Storage()[0], in[0]); // recorded as it arrived
    coreOf(h).SetCallback(nullptr);
}

TEST(DSAudioFilter, DelayShiftsTimestamps) {
    Harness h = makeHarness("audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=2");
    coreOf(h).SetDelay(500);
    GstBuffer* out = gst_harness_push_and_pull(h.get(), bufferOf(ramp(400), GST_SECOND));
    EXPECT_EQ(GST_BUFFER_PTS(out), GST_SECOND);
    gst_buffer_unref(out);
    coreOf(h).SetDelayEnabled(true);
    out = gst_harness_push_and_pull(h.get(), bufferOf(ramp(400), GST_SECOND));
    EXPECT_EQ(GST_BUFFER_PTS(out), GST_SECOND + 500 * GST_MSECOND);
    gst_buffer_unref(out);
}

TEST(DSAudioFilter, EncodedPassThroughIsUntouched) {
    Harness h = makeHarness("audio/x-ac3,framed=true,rate=48000,channels=6");
    Negate cb;
    coreOf(h).SetCallback(&cb);
    const auto in = ramp(1536);
    GstBuffer* out = gst_harness_push_and_pull(h.get(), bufferOf(in, 0));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(bytesOf(out), in);
    gst_buffer_unref(out);
    EXPECT_EQ(cb.pcmCalls, 0);
    EXPECT_NE(coreOf(h).GetStream()->SPDIF, 0u);
    EXPECT_EQ(coreOf(h).History().Fill(), 0u);
    coreOf(h).SetCallback(nullptr);
}

TEST(DSAudioFilter, RefusesOtherCaps) {
    tap::initialiseMedia();
    Harness h(gst_harness_new(tap::kAudioFilterFactory));
    gst_harness_set_src_caps_str(
        h.get(), "audio/x-raw,format=S16BE,layout=interleaved,rate=44100,channels=2");
    EXPECT_NE(gst_harness_push(h.get(), bufferOf(ramp(400), 0)), GST_FLOW_OK);
}

TEST(DSAudioFilter, FlushResetsHistoryAndTellsTheComponent) {
    Harness h = makeHarness("audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=2");
    Negate cb;
    coreOf(h).SetCallback(&cb);
    gst_buffer_unref(gst_harness_push_and_pull(h.get(), bufferOf(ramp(400), 0)));
    ASSERT_EQ(coreOf(h).History().Fill(), 400u);
    gst_harness_push_event(h.get(), gst_event_new_flush_start());
    gst_harness_push_event(h.get(), gst_event_new_flush_stop(TRUE));
    EXPECT_EQ(cb.flushes, 1);
    EXPECT_EQ(coreOf(h).History().Fill(), 0u);
    EXPECT_EQ(coreOf(h).History().TimeBase(), -1);
    coreOf(h).SetCallback(nullptr);
}

TEST(DSAudioFilter, InStreamFormatChangeResizesTheHistory) {
    Harness h = makeHarness("audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=2");
    gst_buffer_unref(gst_harness_push_and_pull(h.get(), bufferOf(ramp(400), 0)));
    EXPECT_EQ(coreOf(h).History().HistoryCapacity(), 44100u * 4 * 4);
    gst_harness_set_src_caps_str(
        h.get(), "audio/x-raw,format=F32LE,layout=interleaved,rate=48000,channels=1");
    gst_buffer_unref(gst_harness_push_and_pull(h.get(), bufferOf(ramp(400), 0)));
    EXPECT_EQ(coreOf(h).History().HistoryCapacity(), 48000u * 4 * 4);
    EXPECT_NE(coreOf(h).GetStream()->Float, 0u);
}

} // namespace
