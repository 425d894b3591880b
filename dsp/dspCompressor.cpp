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
constexpr std::size_t kLookBackReach = 50;

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
    m_attackFactor = std::exp(-std::log(kFloor) / (samplesPerSecond * attack + 0.5));
    m_decayFactor = std::exp(std::log(kFloor) / (samplesPerSecond * decay + 0.5));
}

bool TDCCompressor::Process(void* buffer, std::uint32_t size, std::uint32_t sampleRate,
                            std::uint32_t bits, std::uint32_t channels, bool isFloat) {
    const SampleFormat format = ToSampleFormat(bits, isFloat);
    if (!Enabled() || format == SampleFormat::Unsupported || channels == 0 || buffer == nullptr) {
        return false;
    }
    UpdateCoefficients(double(sampleRate) * channels);

    const std::uint64_t frames = SampleSize();
    const std::uint64_t chunk = frames == 0 ? size : std::uint64_t(bits / 8) * frames * channels;
    const std::size_t piece = std::size_t(std::min<std::uint64_t>(chunk, size));
    auto* data = static_cast<std::uint8_t*>(buffer);
    return VisitSampleFormat(format, [&](auto sample) {
        using S = decltype(sample);
        for (std::size_t offset = 0; offset < size; offset += piece) {
            const std::size_t length = std::min<std::size_t>(piece, size - offset);
            ProcessChunk<S>(data + offset, length / S::kBytes);
            if (ProcessMessages() && m_messagePump) {
                m_messagePump();
            }
        }
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
    for (std::size_t j = 0; j < count; ++j) {
        const double e = m_envelope[j];
        const double gain = e > m_thresholdLevel ? std::pow(m_thresholdLevel / e, exponent) : 1.0;
        float y = float(m_samples[j] * gain * m_makeupGain);
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
// already falls before the onset.
void TDCCompressor::LookBack(std::size_t j, float level) {
    const std::size_t reach = std::min(j, kLookBackReach);
    if (reach <= 1) {
        m_envelope[j] = level;
        return;
    }
    double ramp = level / m_attackFactor;
    std::size_t p = j - 1;
    for (std::size_t step = 0; step + 2 < reach; ++step) {
        if (float(m_envelope[p]) >= float(ramp)) {
            m_envelope[j] = level; // the ramp meets the earlier envelope
            return;
        }
        m_envelope[p] = ramp;
        ramp /= m_attackFactor;
        --p;
    }
    if (float(m_envelope[p]) >= float(ramp)) {
        m_envelope[j] = level;
        return;
    }
    // The ramp is longer than the reach: climb from the last untouched value instead, which
    // leaves this sample's envelope below the level.
    for (std::size_t q = p + 1; q <= j; ++q) {
        m_envelope[q] = m_envelope[q - 1] * m_attackFactor;
    }
}

} // namespace dsp
