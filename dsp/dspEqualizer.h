#pragma once

#include "dsp/dspBlockChunker.h"
#include "dsp/dspFastFourier.h"
#include "dsp/dspTypes.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace dsp {

// FFT graphic equaliser of one deck: a nearly linear-phase FIR filter of N/4 + 1 taps drawn
// point by point, one gain per FFT bin and channel, designed by frequency sampling and
// applied by overlap-add fast convolution on segments of 3N/4 frames. The filter delays the
// sound by N/8 frames (128 at the default N = 1024); there is no other buffering, and the
// carried tails make the output independent of how the stream is cut into blocks.
//
// Threads: Process runs on the streaming thread. SetBand, SetEnabled, SetSeperate,
// SetFFTSize and the plain properties are called on the UI thread; Flush on whichever thread
// flushes or reconfigures the stream. None of them takes a lock: they publish atomic values
// and requests that the streaming thread takes up at the start of its next block, so the
// tails and filter spectra are touched by the streaming thread only.
class TDCEqualizer : public BlockChunker {
public:
    static constexpr int kMaxChannels = 10;
    static constexpr int kMaxBins = kMaxFFTLength;

    TDCEqualizer();
    ~TDCEqualizer();
    TDCEqualizer(const TDCEqualizer&) = delete;
    TDCEqualizer& operator=(const TDCEqualizer&) = delete;

    // Each channel has its own filter; otherwise channel 0's gains serve every channel.
    bool Seperate() const { return m_seperate.load(std::memory_order_relaxed); }
    void SetSeperate(bool value);
    bool Enabled() const { return m_enabled.load(std::memory_order_relaxed); }
    // Switching on flushes the tails first.
    void SetEnabled(bool value);
    TDCFFTSize FFTSize() const { return m_requestedSize.load(std::memory_order_relaxed); }
    // Takes effect at the next block, which designs the filters for the new size afresh and
    // starts with empty tails.
    void SetFFTSize(TDCFFTSize value);

    // Gain of one bin of one channel: 2 x 10^(value / 100), so 0 is unity, 100 is +20 dB and
    // one unit is 0.2 dB. Out-of-range channels or bins are ignored (GetBand gives 0). Only
    // the first N/2 bins take part at size N.
    void SetBand(int channel, int index, std::int8_t value);
    std::int8_t GetBand(int channel, int index) const;

    // Clears the overlap-add tails before the next block.
    void Flush();

    // Filters `size` bytes of interleaved samples in place (streaming thread). Returns false
    // when the block was left untouched: disabled, no channels, or a sample format other
    // than 8-, 16-, 24-, 32-bit integer or 32-bit float. Channels beyond the tenth pass
    // through unchanged.
    bool Process(void* buffer, std::uint32_t size, std::uint32_t bits, std::uint32_t channels,
                 bool isFloat);
    bool Process(void* buffer, std::uint32_t size, const DSStream& stream) {
        return Process(buffer, size, stream.Bits, stream.Channels, stream.Float != 0);
    }

    int FFTLength() const { return dsp::FFTLength(FFTSize()); }

private:
    struct State;

    void ApplyRequests(int filtersNeeded);
    void ApplySize(TDCFFTSize size);
    void DesignFilters(int count);
    void DesignFilter(int f);
    template <class S>
    void ProcessChunk(std::uint8_t* data, std::size_t size, std::uint32_t channels);
    template <class S, bool kPair>
    void FilterChannels(std::uint8_t* data, std::size_t frames, std::uint32_t channels, int c);

    std::atomic<bool> m_seperate{false};
    std::atomic<bool> m_enabled{false};
    std::atomic<TDCFFTSize> m_requestedSize{TDCFFTSize::fts1024};
    std::atomic<bool> m_filterDirty{true};
    std::atomic<bool> m_flushRequested{false};

    // Streaming thread only.
    TDCFFTSize m_size = TDCFFTSize::fts1024;
    int m_fftLength = 0;   // N
    int m_blockLength = 0; // 3N/4: frames per segment
    int m_halfLength = 0;  // N/2: gains that enter the design
    int m_tailLength = 0;  // N/4: filter length minus one
    int m_shiftLength = 0; // N/8: the filter's delay
    int m_designedFilters = 0;
    bool m_designedSeperate = false; // the filters serve one channel each
    std::unique_ptr<State> m_state;
};

} // namespace dsp
