#include "tags/MPEGaudio.h"

#include <algorithm>
#include <cmath>

namespace tags {

namespace mpeg {

namespace {

constexpr std::uint8_t kMpeg1 = 3;
constexpr std::uint8_t kLayer2 = 2;
constexpr std::uint8_t kLayer1 = 3;
constexpr std::uint8_t kMono = 3;

// kbit/s by bit-rate index 0 to 15.
constexpr std::array<std::array<std::uint16_t, 16>, 5> kBitRates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}, // MPEG 1, I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},    // MPEG 1, II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},     // MPEG 1, III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},    // MPEG 2/2.5, I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}, // MPEG 2/2.5, II, III
}};

// Hz by version and sample-rate index 0 to 3.
constexpr std::array<std::array<std::uint16_t, 4>, 4> kSampleRates = {{
    {11025, 12000, 8000, 0},  // MPEG 2.5
    {0, 0, 0, 0},             // reserved
    {22050, 24000, 16000, 0}, // MPEG 2
    {44100, 48000, 32000, 0}, // MPEG 1
}};

std::optional<std::size_t> bitRateRow(const TMpegFrame& f) {
    if (f.LayerId == 0 || f.LayerId > kLayer1 || f.VersionId == 1 || f.VersionId > kMpeg1)
        return std::nullopt;
    if (f.VersionId == kMpeg1)
        return std::size_t{kLayer1} - f.LayerId; // Layer I row 0 ... Layer III row 2
    return f.LayerId == kLayer1 ? 3 : 4;
}

// Offset of a Xing or VBRI header from the frame start: after the side information.
std::size_t vbrOffset(const TMpegFrame& f) {
    const bool mono = f.ModeId == kMono;
    if (f.VersionId == kMpeg1)
        return mono ? 21 : 36;
    return mono ? 13 : 21;
}

std::int32_t be32(ByteSpan w, std::size_t at) {
    return static_cast<std::int32_t>(readU32BE(w, at).value_or(0));
}

TVbrHeader readVbrHeader(ByteSpan w, std::size_t at) {
    TVbrHeader vbr;
    if (matchesAt(w, at, "Xing")) {
        // The flags word is not consulted: writers put both counts at these offsets.
        vbr.Frames = be32(w, at + 8);
        vbr.Bytes = be32(w, at + 12);
        vbr.Scale = readU8(w, at + 119).value_or(0);
        vbr.Vendor = windows1252ToUtf8(subSpan(w, at + 120, 8).value_or(ByteSpan{}));
    } else if (matchesAt(w, at, "VBRI")) {
        vbr.Scale = readU8(w, at + 9).value_or(0);
        vbr.Bytes = be32(w, at + 10);
        vbr.Frames = be32(w, at + 14);
    } else {
        return vbr;
    }
    vbr.Found = true;
    vbr.Id = std::string(reinterpret_cast<const char*>(w.data() + at), 4);
    return vbr;
}

// Copies the bytes into a zero-filled array of N bytes, so reads past them give zero.
template <std::size_t N>
std::array<std::uint8_t, N> zeroExtended(ByteSpan bytes) {
    std::array<std::uint8_t, N> w{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), N), w.begin());
    return w;
}

} // namespace

bool isFrameHeader(ByteSpan b, std::size_t at) {
    if (at > b.size() || b.size() - at < 4)
        return false;
    const std::uint8_t b1 = b[at + 1], b2 = b[at + 2], b3 = b[at + 3];
    return b[at] == 0xFF && (b1 & 0xE0) == 0xE0 // 11-bit sync
           && ((b1 >> 3) & 3) != 1              // reserved version
           && ((b1 >> 1) & 3) != 0              // reserved layer
           && (b2 >> 4) != 0 && (b2 >> 4) != 15 // free format, bad bit rate
           && ((b2 >> 2) & 3) != 3              // reserved sample rate
           && (b3 & 3) != 2;                    // reserved emphasis
}

TMpegFrame decodeHeader(ByteSpan b, std::size_t at) {
    TMpegFrame f;
    std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(at), 4, f.HeaderBytes.begin());
    const std::uint8_t b1 = f.HeaderBytes[1], b2 = f.HeaderBytes[2], b3 = f.HeaderBytes[3];
    f.VersionId = (b1 >> 3) & 3;
    f.LayerId = (b1 >> 1) & 3;
    f.ProtectionBit = (b1 & 1) == 0;
    f.BitRateIndex = b2 >> 4;
    f.SampleRateIndex = (b2 >> 2) & 3;
    f.PaddingBit = (b2 & 2) != 0;
    f.PrivateBit = (b2 & 1) != 0;
    f.ModeId = b3 >> 6;
    f.ModeExtension = (b3 >> 4) & 3;
    f.CopyrightBit = (b3 & 8) != 0;
    f.OriginalBit = (b3 & 4) != 0;
    f.EmphasisId = b3 & 3;
    return f;
}

std::uint16_t tableBitRate(const TMpegFrame& f) {
    const auto row = bitRateRow(f);
    return row && f.BitRateIndex < 16 ? kBitRates[*row][f.BitRateIndex] : 0;
}

std::uint16_t tableSampleRate(const TMpegFrame& f) {
    return f.VersionId < 4 && f.SampleRateIndex < 4 ? kSampleRates[f.VersionId][f.SampleRateIndex]
                                                    : 0;
}

unsigned coefficient(const TMpegFrame& f) {
    if (!bitRateRow(f))
        return 0;
    if (f.VersionId == kMpeg1)
        return f.LayerId == kLayer1 ? 48 : 144;
    return f.LayerId == kLayer1 ? 24 : f.LayerId == kLayer2 ? 144 : 72;
}

unsigned paddingBytes(const TMpegFrame& f) {
    if (!f.PaddingBit)
        return 0;
    return f.LayerId == kLayer1 ? 4 : 1;
}

std::uint16_t frameLength(const TMpegFrame& f) {
    const std::uint32_t bitRate = tableBitRate(f) * 1000u;
    const std::uint32_t sampleRate = tableSampleRate(f);
    if (bitRate == 0 || sampleRate == 0)
        return 0;
    // Layer I frames are counted in 4-byte slots, the padding being one slot.
    if (f.LayerId == kLayer1)
        return static_cast<std::uint16_t>((12 * bitRate / sampleRate + (f.PaddingBit ? 1 : 0)) * 4);
    return static_cast<std::uint16_t>(coefficient(f) * bitRate / sampleRate + paddingBytes(f));
}

std::optional<SearchResult> searchFrame(ByteSpan window) {
    const auto w = zeroExtended<kSearchRead>(window);
    for (std::size_t p = 0; p <= kLastCandidate; ++p) {
        if (!isFrameHeader(w, p))
            continue;
        SearchResult r{decodeHeader(w, p), {}};
        const std::uint16_t length = frameLength(r.frame);
        if (!isFrameHeader(w, p + length))
            continue;
        r.frame.Found = true;
        r.frame.Position = static_cast<std::int32_t>(p);
        r.frame.Size = length;
        r.frame.ZeroSideInfo = std::all_of(w.begin() + static_cast<std::ptrdiff_t>(p + 4),
                                           w.begin() + static_cast<std::ptrdiff_t>(p + 10),
                                           [](auto b) { return b == 0; });
        r.vbr = readVbrHeader(w, p + vbrOffset(r.frame));
        return r;
    }
    return std::nullopt;
}

std::string searchVendor(ByteSpan window, std::uint16_t range) {
    const auto w = zeroExtended<kSearchWindow>(window);
    std::size_t r = range;
    if (r + 8 > kSearchWindow)
        r = kSearchWindow - 8;
    for (std::size_t i = 0; i <= r; ++i) {
        const std::size_t at = kSearchWindow - i - 8;
        if (w[at] == 'L' && matchesAt(w, at, "LAME"))
            return windows1252ToUtf8(ByteSpan(w).subspan(at, 8));
        if (w[at] == 'G' && matchesAt(w, at, "GOGO"))
            return "GOGO";
    }
    return {};
}

} // namespace mpeg

namespace {

constexpr std::array<std::string_view, 4> kVersionNames = {"MPEG 2.5", "MPEG ?", "MPEG 2",
                                                           "MPEG 1"};
constexpr std::array<std::string_view, 4> kLayerNames = {"Layer ?", "Layer III", "Layer II",
                                                         "Layer I"};
constexpr std::array<std::string_view, 5> kModeNames = {"Stereo", "Joint Stereo", "Dual Channel",
                                                        "Mono", "Unknown"};
constexpr std::array<std::string_view, 4> kEmphasisNames = {"None", "50/15 ms", "Unknown",
                                                            "CCIT J.17"};
constexpr std::array<std::string_view, 8> kEncoderNames = {"Unknown", "Xing", "FhG",   "LAME",
                                                           "Blade",   "GoGo", "Shine", "QDesign"};

template <std::size_t N>
std::string_view nameAt(const std::array<std::string_view, N>& names, unsigned index,
                        std::string_view unknown) {
    return index < N ? names[index] : unknown;
}

constexpr std::int64_t kId3v1Size = 128;
constexpr unsigned kLowestBitRate = 8;
constexpr unsigned kHighestBitRate = 448;
constexpr double kShortestDuration = 0.1;

} // namespace

bool TMPEGaudio::findFrame(ByteSource& file) {
    std::array<std::uint8_t, mpeg::kSearchRead> window{};
    const std::int64_t start = id3v2Size();
    const auto got = file.readAt(static_cast<std::uint64_t>(start), window);
    if (!got)
        return false;
    auto found = mpeg::searchFrame(ByteSpan(window).first(*got));
    m_windowOffset = start;
    // A stream with junk before its first frames may still show frames further on.
    if (!found && *got >= mpeg::kSearchWindow) {
        const std::int64_t middle = (m_fileSize - start) / 2;
        window.fill(0);
        const auto again = file.readAt(static_cast<std::uint64_t>(middle), window);
        if (!again)
            return false;
        found = mpeg::searchFrame(ByteSpan(window).first(*again));
        m_windowOffset = middle;
    }
    if (found) {
        m_frame = found->frame;
        m_vbr = found->vbr;
    }
    return true;
}

bool TMPEGaudio::findVendor(ByteSource& file) {
    const std::int64_t start = m_fileSize - static_cast<std::int64_t>(mpeg::kSearchWindow) -
                               (m_id3v1.Found() ? kId3v1Size : 0);
    std::array<std::uint8_t, mpeg::kSearchWindow> window{};
    if (start < 0 || !file.readExact(static_cast<std::uint64_t>(start), window))
        return false;
    m_vendor = mpeg::searchVendor(window, static_cast<std::uint16_t>(m_frame.Size * 5));
    return true;
}

bool TMPEGaudio::parse(ByteSource& file) {
    Clear();
    if (!m_id3v2.parse(file) || !m_id3v1.parse(file) || !m_ape.parse(file)) {
        Clear();
        return false;
    }
    m_fileSize = static_cast<std::int64_t>(file.size());
    bool ok = findFrame(file);
    if (ok && m_frame.Found && !m_vbr.Found)
        ok = findVendor(file);
    // Without a frame the file is no MPEG stream, and its tags are not kept either.
    if (!m_frame.Found)
        Clear();
    return ok;
}

bool TMPEGaudio::Valid() const {
    const unsigned bitRate = BitRate();
    return m_frame.Found && bitRate >= kLowestBitRate && bitRate <= kHighestBitRate &&
           Duration() >= kShortestDuration;
}

std::uint16_t TMPEGaudio::BitRate() const {
    if (!m_vbr.Found || m_vbr.Frames <= 0)
        return mpeg::tableBitRate(m_frame);
    const double sampleRate = mpeg::tableSampleRate(m_frame);
    const double coefficient = mpeg::coefficient(m_frame);
    if (coefficient == 0)
        return 0;
    const double kbits = (double(m_vbr.Bytes) / m_vbr.Frames - mpeg::paddingBytes(m_frame)) *
                         sampleRate / coefficient / 1000.0;
    // Rounded to nearest, ties to even; counts that make no sense give 0 or 65535, which
    // are never valid bit rates.
    return static_cast<std::uint16_t>(std::clamp(std::nearbyint(kbits), 0.0, 65535.0));
}

std::uint16_t TMPEGaudio::SampleRate() const {
    return mpeg::tableSampleRate(m_frame);
}

double TMPEGaudio::Duration() const {
    if (!m_frame.Found)
        return 0.0;
    const double sampleRate = mpeg::tableSampleRate(m_frame);
    if (m_vbr.Found && m_vbr.Frames > 0)
        return sampleRate > 0 ? m_vbr.Frames * double(mpeg::coefficient(m_frame)) * 8.0 / sampleRate
                              : 0.0;
    const double bitRate = mpeg::tableBitRate(m_frame);
    if (bitRate == 0)
        return 0.0;
    const double audioBytes =
        double(m_fileSize - id3v2Size() - (m_id3v1.Found() ? kId3v1Size : 0) - m_frame.Position);
    return audioBytes / bitRate / 1000.0 * 8.0;
}

std::uint8_t TMPEGaudio::Channels() const {
    if (!m_frame.Found)
        return 0;
    return m_frame.ModeId == 3 ? 1 : 2;
}

std::string_view TMPEGaudio::VersionName() const {
    return nameAt(kVersionNames, m_frame.VersionId, kVersionNames[1]);
}
std::string_view TMPEGaudio::LayerName() const {
    return nameAt(kLayerNames, m_frame.LayerId, kLayerNames[0]);
}
std::string_view TMPEGaudio::ChannelModeName() const {
    return nameAt(kModeNames, m_frame.ModeId, kModeNames[4]);
}
std::string_view TMPEGaudio::EmphasisName() const {
    return nameAt(kEmphasisNames, m_frame.EmphasisId, kEmphasisNames[2]);
}
std::string_view TMPEGaudio::encoderName(unsigned index) {
    return nameAt(kEncoderNames, index, kEncoderNames[0]);
}

} // namespace tags
