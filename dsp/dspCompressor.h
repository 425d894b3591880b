#pragma once

#include "dsp/dspBlockChunker.h"
#include "dsp/dspTypes.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dsp {

// Dynamic range compressor of one deck. A 100-sample RMS detector over the interleaved
// samples of all channels feeds an envelope that may rise by 60 dB over the attack time and
// fall by 60 dB over the decay time; when the level rises faster than the attack allows, up
// to 48 earlier envelope values of the same chunk are raised along the attack ramp, so the
// gain starts to fall before a loud onset. Above the threshold the gain is
// (threshold / envelope)^(1 / Ratio); the make-up gain applies everywhere and the result is
// clipped to full scale. All channels share the detector, so a stereo image keeps its balance.
//
// Threads: Process runs on the streaming thread. The properties are written on the UI thread
// without a lock (each is one atomic value) and read once per block, Ratio once per chunk.
class TDCCompressor : public BlockChunker {
public:
    static constexpr int kWindowLength = 100;
    static constexpr double kFloor = 0.001;

    TDCCompressor();

    bool Enabled() const { return m_enabled.load(std::memory_order_relaxed); }
    void setEnabled(bool value) { m_enabled.store(value, std::memory_order_relaxed); }
    // Seconds.
    float AttackTime() const { return m_attackTime.load(std::memory_order_relaxed); }
    void SetAttackTime(float value); // the detector is left as it is
    float DecayTime() const { return m_decayTime.load(std::memory_order_relaxed); }
    void setDecayTime(float value) { m_decayTime.store(value, std::memory_order_relaxed); }
    float ThresholdDB() const { return m_thresholdDB.load(std::memory_order_relaxed); }
    void setThresholdDB(float value) { m_thresholdDB.store(value, std::memory_order_relaxed); }
    float Ratio() const { return m_ratio.load(std::memory_order_relaxed); }
    void setRatio(float value) { m_ratio.store(value, std::memory_order_relaxed); }
    // Make-up gain in dB.
    float GainDB() const { return m_gainDB.load(std::memory_order_relaxed); }
    void setGainDB(float value) { m_gainDB.store(value, std::memory_order_relaxed); }

    // Compresses `size` bytes of interleaved samples in place (streaming thread). Returns
    // false when the block was left untouched: disabled, no channels, or a sample format
    // other than 8-, 16-, 24-, 32-bit integer or 32-bit float.
    bool Process(void* buffer, std::uint32_t size, std::uint32_t sampleRate, std::uint32_t bits,
                 std::uint32_t channels, bool isFloat);
    bool Process(void* buffer, std::uint32_t size, const DSStream& stream) {
        return Process(buffer, size, stream.SampleRate, stream.Bits, stream.Channels,
                       stream.Float != 0);
    }

    // Coefficients of the last processed block.
    double ThresholdLevel() const { return m_thresholdLevel; }
    double MakeupGain() const { return m_makeupGain; }
    double AttackFactor() const { return m_attackFactor; }
    double DecayFactor() const { return m_decayFactor; }
    double LastEnvelope() const { return m_lastEnvelope; }
    double SquareSum() const { return m_squareSum; }

private:
    void UpdateCoefficients(double samplesPerSecond);
    template <class S>
    void ProcessChunk(std::uint8_t* data, std::size_t count);
    float Detect(float x);
    void FollowEnvelope(std::size_t count);
    void LookBack(std::size_t j, float level);

    std::atomic<bool> m_enabled{false};
    std::atomic<float> m_attackTime{0.2f};
    std::atomic<float> m_decayTime{1.0f};
    std::atomic<float> m_thresholdDB{-12.0f};
    std::atomic<float> m_ratio{2.0f};
    std::atomic<float> m_gainDB{0.0f};

    // Streaming thread only.
    int m_windowIndex = 0;
    double m_squareSum = 0.0;
    double m_thresholdLevel = 0.0;
    double m_makeupGain = 1.0;
    double m_attackFactor = 0.0;
    double m_decayFactor = 1.0;
    std::array<double, kWindowLength> m_squares{};
    static constexpr std::size_t kLookBackReach = 50;
    std::array<double, kLookBackReach> m_rampUp{};   // AttackFactor^k
    std::array<double, kLookBackReach> m_rampDown{}; // AttackFactor^-k
    double m_lastEnvelope = 0.0;
    std::vector<double> m_envelope; // per sample of the current chunk; grows, never shrinks
    std::vector<double> m_samples;  // the current chunk normalised to +-1
};

} // namespace dsp
