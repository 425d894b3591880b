// Real-time factors of the equaliser and the compressor (audio seconds per CPU second, one
// deck, one core), next to GStreamer's own equalizer-10bands and audiodynamic on the same
// audio, driven in-process through appsrc ! element ! fakesink. The counter "x_realtime" is
// the real-time factor; process CPU time is measured so that GStreamer's streaming thread is
// counted as well.

#include "dsp/dspCompressor.h"
#include "dsp/dspEqualizer.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <mutex>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr double kSeconds = 4.0;

enum Format { kS16 = 0, kF32 = 1 };

int bytesPerSample(Format f) {
    return f == kS16 ? 2 : 4;
}

// Four seconds of music-like stereo: a few partials, a beat and some noise, around -6 dBFS.
std::vector<std::uint8_t> makeAudio(Format format) {
    const std::size_t frames = std::size_t(kSeconds * kRate);
    std::vector<std::uint8_t> bytes(frames * kChannels * std::size_t(bytesPerSample(format)));
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0.0, 0.02);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = double(i) / kRate;
        const double beat = 0.6 + 0.4 * std::abs(std::sin(std::numbers::pi * 2.0 * t));
        for (int c = 0; c < kChannels; ++c) {
            double v = 0.0;
            for (double f : {110.0, 220.0, 330.0, 440.0 * (1 + c * 0.01), 1760.0, 5000.0}) {
                v += 0.09 * std::sin(2.0 * std::numbers::pi * f * t + c);
            }
            v = beat * v + noise(random);
            const std::size_t at = (i * kChannels + std::size_t(c)) * bytesPerSample(format);
            if (format == kS16) {
                const auto s = std::int16_t(std::lrint(std::clamp(v, -1.0, 0.99997) * 32768.0));
                std::memcpy(&bytes[at], &s, 2);
            } else {
                const auto s = float(v);
                std::memcpy(&bytes[at], &s, 4);
            }
        }
    }
    return bytes;
}

const std::vector<std::uint8_t>& audio(Format format) {
    static const std::vector<std::uint8_t> audio[2] = {makeAudio(kS16), makeAudio(kF32)};
    return audio[format];
}

// The same ten band settings for ours and for equalizer-10bands (dB, at about 30 Hz .. 15 kHz).
constexpr double kBandsDB[10] = {6.0, 4.0, 2.0, 0.0, -2.0, -4.0, -2.0, 2.0, 4.0, 6.0};

void shapeEqualizer(dsp::TDCEqualizer& eq) {
    // Bins of 43 Hz at N = 1024; the band edges double from 0 up to the Nyquist bin.
    const int edges[11] = {0, 1, 2, 3, 6, 12, 24, 48, 96, 192, 512};
    for (int band = 0; band < 10; ++band) {
        for (int k = edges[band]; k < edges[band + 1]; ++k) {
            eq.SetBand(0, k, std::int8_t(std::lrint(kBandsDB[band] * 5.0))); // 0.2 dB units
        }
    }
}

// Runs `process` on successive blocks of the audio, copied in first (the copy is timed too).
template <class Process>
void runBlocks(benchmark::State& state, Format format, Process&& process) {
    const auto& source = audio(format);
    const std::size_t blockBytes = std::size_t(state.range(1)) * kChannels * bytesPerSample(format);
    std::vector<std::uint8_t> block(blockBytes);
    std::size_t at = 0;
    for (auto _ : state) {
        if (at + blockBytes > source.size())
            at = 0;
        std::memcpy(block.data(), source.data() + at, blockBytes);
        at += blockBytes;
        process(block);
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["x_realtime"] = benchmark::Counter(
        double(state.iterations()) * double(state.range(1)) / kRate, benchmark::Counter::kIsRate);
}

void BM_Equalizer(benchmark::State& state) {
    const auto format = Format(state.range(0));
    dsp::TDCEqualizer eq;
    eq.SetEnabled(true);
    shapeEqualizer(eq);
    runBlocks(state, format, [&](std::vector<std::uint8_t>& block) {
        eq.Process(block.data(), std::uint32_t(block.size()), format == kS16 ? 16 : 32, kChannels,
                   format == kF32);
    });
}

// The ratio is the third argument: 2 (the usual value, whose gain law is a square root) or
// another one, which needs the general power.
void BM_Compressor(benchmark::State& state) {
    const auto format = Format(state.range(0));
    dsp::TDCCompressor compressor;
    compressor.setEnabled(true);
    compressor.setRatio(float(state.range(2)));
    compressor.setThresholdDB(-30.0f); // the whole signal is above the threshold
    runBlocks(state, format, [&](std::vector<std::uint8_t>& block) {
        compressor.Process(block.data(), std::uint32_t(block.size()), kRate,
                           format == kS16 ? 16 : 32, kChannels, format == kF32);
    });
}

// appsrc ! <element> ! fakesink, kept playing for the whole benchmark. Each iteration pushes
// the four seconds in blocks and waits until the sink has received the last one.
class GstChain {
public:
    GstChain(const std::string& element, Format format) {
        gst_init(nullptr, nullptr);
        const std::string description = "appsrc name=src is-live=false format=time ! " + element +
                                        " ! fakesink name=sink sync=false async=false";
        GError* error = nullptr;
        m_pipeline = gst_parse_launch(description.c_str(), &error);
        if (error != nullptr) {
            m_error = error->message;
            g_error_free(error);
            return;
        }
        m_source = gst_bin_get_by_name(GST_BIN(m_pipeline), "src");
        GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING,
                                            format == kS16 ? "S16LE" : "F32LE", "rate", G_TYPE_INT,
                                            kRate, "channels", G_TYPE_INT, kChannels, "layout",
                                            G_TYPE_STRING, "interleaved", nullptr);
        gst_app_src_set_caps(GST_APP_SRC(m_source), caps);
        gst_caps_unref(caps);
        GstElement* sink = gst_bin_get_by_name(GST_BIN(m_pipeline), "sink");
        GstPad* pad = gst_element_get_static_pad(sink, "sink");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &GstChain::arrived, this, nullptr);
        gst_object_unref(pad);
        gst_object_unref(sink);
        gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
    }

    ~GstChain() {
        if (m_pipeline == nullptr)
            return;
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        if (m_source != nullptr)
            gst_object_unref(m_source);
        gst_object_unref(m_pipeline);
    }

    const std::string& error() const { return m_error; }
    GstElement* element(const char* name) const {
        return gst_bin_get_by_name(GST_BIN(m_pipeline), name);
    }

    void push(const std::vector<std::uint8_t>& source, std::size_t blockBytes,
              std::size_t frameBytes) {
        std::size_t pushed = 0;
        for (std::size_t at = 0; at + blockBytes <= source.size(); at += blockBytes) {
            GstBuffer* buffer = gst_buffer_new_allocate(nullptr, blockBytes, nullptr);
            gst_buffer_fill(buffer, 0, source.data() + at, blockBytes);
            const std::uint64_t frame = m_frames;
            m_frames += blockBytes / frameBytes;
            GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(frame, GST_SECOND, kRate);
            GST_BUFFER_DURATION(buffer) =
                gst_util_uint64_scale(m_frames, GST_SECOND, kRate) - GST_BUFFER_PTS(buffer);
            gst_app_src_push_buffer(GST_APP_SRC(m_source), buffer);
            ++pushed;
        }
        std::unique_lock lock(m_mutex);
        m_wanted += pushed;
        m_done.wait(lock, [&] { return m_arrived >= m_wanted; });
    }

private:
    static GstPadProbeReturn arrived(GstPad*, GstPadProbeInfo*, gpointer self) {
        auto* chain = static_cast<GstChain*>(self);
        std::lock_guard lock(chain->m_mutex);
        if (++chain->m_arrived >= chain->m_wanted)
            chain->m_done.notify_one();
        return GST_PAD_PROBE_OK;
    }

    GstElement* m_pipeline = nullptr;
    GstElement* m_source = nullptr;
    std::string m_error;
    std::uint64_t m_frames = 0;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::size_t m_arrived = 0;
    std::size_t m_wanted = 0;
};

void runGst(benchmark::State& state, const std::string& element, void (*configure)(GstChain&)) {
    const auto format = Format(state.range(0));
    GstChain chain(element, format);
    if (!chain.error().empty()) {
        state.SkipWithError(chain.error().c_str());
        return;
    }
    if (configure != nullptr)
        configure(chain);
    const auto& source = audio(format);
    const std::size_t frameBytes = std::size_t(kChannels * bytesPerSample(format));
    const std::size_t blockBytes = std::size_t(state.range(1)) * frameBytes;
    const std::size_t blocks = source.size() / blockBytes;
    for (auto _ : state)
        chain.push(source, blockBytes, frameBytes);
    state.counters["x_realtime"] = benchmark::Counter(
        double(state.iterations()) * double(blocks * blockBytes / frameBytes) / kRate,
        benchmark::Counter::kIsRate);
}

void BM_GstPassThrough(benchmark::State& state) {
    runGst(state, "identity name=fx", nullptr);
}

void BM_GstEqualizer10Bands(benchmark::State& state) {
    runGst(state, "equalizer-10bands name=fx", [](GstChain& chain) {
        GstElement* fx = chain.element("fx");
        for (int band = 0; band < 10; ++band)
            g_object_set(fx, ("band" + std::to_string(band)).c_str(), kBandsDB[band], nullptr);
        gst_object_unref(fx);
    });
}

void BM_GstAudioDynamicCompressor(benchmark::State& state) {
    runGst(state,
           "audiodynamic name=fx mode=compressor characteristics=hard-knee "
           "threshold=0.03 ratio=0.5",
           nullptr);
}

void formatsAndBlocks(benchmark::internal::Benchmark* b) {
    b->ArgNames({"f32", "frames"});
    for (int format : {kS16, kF32})
        for (int frames : {1152, 16384})
            b->Args({format, frames});
    b->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK(BM_Equalizer)->Apply(formatsAndBlocks);
BENCHMARK(BM_GstEqualizer10Bands)->Apply(formatsAndBlocks);
BENCHMARK(BM_Compressor)->Apply([](benchmark::internal::Benchmark* b) {
    b->ArgNames({"f32", "frames", "ratio"});
    for (int ratio : {2, 3})
        for (int format : {kS16, kF32})
            for (int frames : {1152, 16384})
                b->Args({format, frames, ratio});
    b->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);
});
BENCHMARK(BM_GstAudioDynamicCompressor)->Apply(formatsAndBlocks);
BENCHMARK(BM_GstPassThrough)->Apply(formatsAndBlocks);

BENCHMARK_MAIN();
