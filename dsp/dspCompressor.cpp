#include "dsp/dspCompressor.h"

#include "dsp/dspSampleFormat.h"
#include "dsp/dspUtils.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace dsp {

namespace {

constexpr float kDefaultAttackTime = 0.2f;
constexpr float kDefaultDecayTime = 1.0f;
constexpr float kDefaultThresholdDB = -12.0f;
constexpr float kDefaultRatio = 2.0f;
constexpr float kDecibelLimit = 400.0f; // keeps 10^(dB/10) finite and non-zero

// The properties come straight from a dialog or the settings; whatever they hold, the
// coefficients stay finite, the attack factor at least 1 and the decay factor at most 1.
float sanitizedTime(float seconds, float fallback) {
    if (std::isnan(seconds)) {
        return fallback;
    }
    return seconds > 0.0f ? seconds : 0.0f;
}

float sanitizedDecibels(float db, float fallback) {
    if (std::isnan(db)) {
        return fallback;
    }
    return std::clamp(db, -kDecibelLimit, kDecibelLimit);
}

// G(e) = (threshold / e)^exponent above the threshold, 1 below, in double precision, which is
// far more exact than the 24 bits any output format keeps. The exponents of the usual ratios
// 2 and 1 need no power function at all.
class GainLaw {
public:
    GainLaw(double threshold, double exponent)
        : m_threshold(threshold)
        , m_log2Threshold(std::log2(threshold))
        , m_exponent(exponent) {}

    double operator()(double e) const {
        if (!(e > m_threshold)) {
            return 1.0;
        }
        if (m_exponent == 0.5) {
            return std::sqrt(m_threshold / e);
        }
        if (m_exponent == 1.0) {
            return m_threshold / e;
        }
        return std::exp2(m_exponent * (m_log2Threshold - std::log2(e)));
    }

private:
    double m_threshold;
    double m_log2Threshold;
    double m_exponent;
};

} // namespace

TDCCompressor::TDCCompressor() = default;

// UI thread. The detector does not depend on the attack time, so its window and running sum
// are left as they are: they stay consistent whenever and however often this is called.
void TDCCompressor::SetAttackTime(float value) {
    m_attackTime.store(value, std::memory_order_relaxed);
}

void TDCCompressor::UpdateCoefficients(double samplesPerSecond) {
    const double attack = sanitizedTime(AttackTime(), kDefaultAttackTime);
    const double decay = sanitizedTime(DecayTime(), kDefaultDecayTime);
    m_thresholdLevel = std::pow(10.0, sanitizedDecibels(ThresholdDB(), kDefaultThresholdDB) / 10.0);
    m_makeupGain = std::pow(10.0, sanitizedDecibels(GainDB(), 0.0f) / 20.0);
    const double attackFactor = std::exp(-std::log(kFloor) / (samplesPerSecond * attack + 0.5));
    if (attackFactor != m_attackFactor) {
        m_attackFactor = attackFactor;
        m_rampUp[0] = 1.0;
        m_rampDown[0] = 1.0;
        for (std::size_t k = 1; k < m_rampUp.size(); ++k) {
            m_rampUp[k] = m_rampUp[k - 1] * attackFactor;
            m_rampDown[k] = m_rampDown[k - 1] / attackFactor;
        }
    }
    m_decayFactor = std::exp(std::log(kFloor) / (samplesPerSecond * decay + 0.5));
}

bool TDCCompressor::Process(void* buffer, std::uint32_t size, std::uint32_t sampleRate,
                            std::uint32_t bits, std::uint32_t channels, bool isFloat) {
    const SampleFormat format = ToSampleFormat(bits, isFloat);
    if (!Enabled() || format == SampleFormat::Unsupported || channels == 0 || buffer == nullptr) {
        return false;
    }
    UpdateCoefficients(double(sampleRate) * channels);

    auto* data = static_cast<std::uint8_t*>(buffer);
    return VisitSampleFormat(format, [&](auto sample) {
        using S = decltype(sample);
        ForEachChunk(data, size, S::kBytes * channels, [&](std::uint8_t* chunk, std::size_t bytes) {
            ProcessChunk<S>(chunk, bytes / S::kBytes);
        });
    });
}

template <class S>
void TDCCompressor::ProcessChunk(std::uint8_t* data, std::size_t count) {
    if (m_samples.size() < count) {
        m_samples.resize(count);
        m_envelope.resize(count);
    }
    for (std::size_t j = 0; j < count; ++j) {
        const auto value = S::Load(data + j * S::kBytes);
        if constexpr (std::is_same_v<S, Float32Sample>) {
            m_samples[j] = std::isnan(value) ? 0.0 : double(value);
        } else {
            m_samples[j] = value * (1.0 / S::kFullScale);
        }
    }

    // Before the very first chunk the detector's window is empty; filling it once with the
    // chunk's first samples keeps the start from reading as a rise from silence.
    if (m_lastEnvelope == 0.0) {
        for (std::size_t j = 0; j < std::min<std::size_t>(count, kWindowLength); ++j) {
            Detect(float(m_samples[j]));
        }
    }
    FollowEnvelope(count);

    const float ratio = Ratio();
    const double exponent = 1.0 / double(std::isnan(ratio) ? kDefaultRatio : ratio);
    const GainLaw law(m_thresholdLevel, exponent);
    for (std::size_t j = 0; j < count; ++j) {
        float y = float(m_samples[j] * law(m_envelope[j]) * m_makeupGain);
        y = std::isnan(y) ? 0.0f : ClipFloat(y); // 0 x infinite gain
        if constexpr (std::is_same_v<S, Float32Sample>) {
            S::Store(data + j * S::kBytes, y);
        } else {
            S::StoreRounded(data + j * S::kBytes, double(y) * S::kFullScale);
        }
    }
}

// One sample of the RMS detector. The input is clipped to full scale so that a wild float
// sample cannot swamp the running sum, whose rounding then stays far below the smallest
// square it holds; the sum is still kept from reading below zero.
float TDCCompressor::Detect(float x) {
    x = ClipFloat(x);
    const double square = double(x) * double(x);
    m_squareSum -= m_squares[m_windowIndex];
    m_squares[m_windowIndex] = square;
    m_squareSum += square;
    if (++m_windowIndex == kWindowLength) {
        m_windowIndex = 0;
    }
    return float(std::sqrt(std::max(m_squareSum, 0.0) / kWindowLength));
}

void TDCCompressor::FollowEnvelope(std::size_t count) {
    double last = m_lastEnvelope;
    for (std::size_t j = 0; j < count; ++j) {
        const float level = Detect(float(m_samples[j]));
        const double up = last * m_attackFactor;
        const double down = std::max(last * m_decayFactor, kFloor);
        if (level < float(down)) {
            m_envelope[j] = down;
        } else if (level < float(up)) {
            m_envelope[j] = level;
        } else {
            LookBack(j, level);
        }
        last = m_envelope[j];
    }
    if (count > 0) {
        m_lastEnvelope = last;
    }
}

// The level rose faster than the attack allows: raise the envelope of up to 48 earlier
// samples of this chunk along the attack ramp that ends at `level`, so that their gain
// already falls before the onset. The walk first looks for the point where the ramp meets
// the earlier envelope, then writes once; the ramp's steps come from the power tables.
void TDCCompressor::LookBack(std::size_t j, float level) {
    double* envelope = m_envelope.data();
    const std::size_t reach = std::min(j, kLookBackReach);
    if (reach <= 1) {
        envelope[j] = level;
        return;
    }
    const std::size_t steps = reach - 2;
    std::size_t s = 1;
    while (s <= steps && float(envelope[j - s]) < float(level * m_rampDown[s])) {
        ++s;
    }
    if (s <= steps || float(envelope[j - s]) >= float(level * m_rampDown[s])) {
        for (std::size_t t = 1; t < s; ++t) {
            envelope[j - t] = level * m_rampDown[t];
        }
        envelope[j] = level;
        return;
    }
    // The ramp is longer than the reach: climb from the last untouched value instead, which
    // leaves this sample's envelope below the level.
    const double base = envelope[j - s];
    for (std::size_t k = 1; k <= s; ++k) {
        envelope[j - s + k] = base * m_rampUp[k];
    }
}

} // namespace dsp
