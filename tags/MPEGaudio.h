#pragma once

// MPEG audio streams (MPEG 1, 2 and 2.5, Layers I to III): the first real frame, a Xing or
// VBRI header inside it, and the tags around the stream.

#include "tags/APEtag.h"
#include "tags/ByteSource.h"
#include "tags/FileRange.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/TagBytes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tags {

// A decoded frame header. The defaults are the cleared state, which selects the unknown
// entry of every name table and a sample rate of 0.
struct TMpegFrame {
    bool Found = false;
    std::int32_t Position = 0; // offset of the header inside the search window
    std::uint16_t Size = 0;    // frame length in bytes
    bool ZeroSideInfo = false; // the six bytes after the header are all zero
    std::array<std::uint8_t, 4> HeaderBytes{};
    std::uint8_t VersionId = 1; // 0 MPEG 2.5, 1 reserved, 2 MPEG 2, 3 MPEG 1
    std::uint8_t LayerId = 0;   // 0 reserved, 1 Layer III, 2 Layer II, 3 Layer I
    bool ProtectionBit = false; // a CRC follows the header
    std::uint16_t BitRateIndex = 0;
    std::uint16_t SampleRateIndex = 3;
    bool PaddingBit = false;
    bool PrivateBit = false;
    std::uint8_t ModeId = 4; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    std::uint8_t ModeExtension = 4;
    bool CopyrightBit = false;
    bool OriginalBit = false;
    std::uint8_t EmphasisId = 2; // 0 none, 1 50/15 ms, 2 reserved, 3 CCIT J.17
};

struct TVbrHeader {
    bool Found = false;
    std::string Id; // "Xing" or "VBRI"
    std::int32_t Frames = 0;
    std::int32_t Bytes = 0;
    std::uint8_t Scale = 0;
    std::string Vendor; // 8 characters of a Xing header, empty for VBRI
};

// The frame header rules and the two searches, over bytes already read.
namespace mpeg {

// Bytes searched for a first frame: twice the longest frame allowed for.
constexpr std::size_t kSearchWindow = 3458;
constexpr std::size_t kLastCandidate = 1729;
// The longest frame (MPEG 2.5 Layer II, 160 kbit/s, 8000 Hz, padded).
constexpr std::size_t kLongestFrame = 2881;
// Bytes a search reads: the window and the following header of a long last candidate.
constexpr std::size_t kSearchRead = kLastCandidate + kLongestFrame + 4;

bool isFrameHeader(ByteSpan bytes, std::size_t at);
// Decodes the four bytes at `at` (which must be there); Found stays false.
TMpegFrame decodeHeader(ByteSpan bytes, std::size_t at);

std::uint16_t tableBitRate(const TMpegFrame& f);    // kbit/s, 0 for reserved values
std::uint16_t tableSampleRate(const TMpegFrame& f); // Hz, 0 for reserved values
// Frame bytes per unit of bit rate over sample rate; times 8, the samples per frame.
unsigned coefficient(const TMpegFrame& f);
unsigned paddingBytes(const TMpegFrame& f);
std::uint16_t frameLength(const TMpegFrame& f);

struct SearchResult {
    TMpegFrame frame;
    TVbrHeader vbr; // Found false when the first frame holds no VBR header
};
// The first candidate among positions 0 to kLastCandidate whose frame is followed by
// another header. Bytes past the end of `window` count as zero.
std::optional<SearchResult> searchFrame(ByteSpan window);

// The encoder string near the end of a CBR stream: "LAME" and the four characters after
// it, or "GOGO", nearest the end of the kSearchWindow bytes of `window`; empty when none.
std::string searchVendor(ByteSpan window, std::uint16_t range);

} // namespace mpeg

class TMPEGaudio {
public:
    TMPEGaudio() = default;

    // Clears, runs the three tag readers, then finds the first frame. True when every read
    // succeeded; Valid tells whether the file is a usable MPEG audio stream.
    bool LoadFromFile(const std::string& path) {
        Clear();
        return parseFile(*this, path);
    }
    // The same over an open file or a buffer holding a whole file.
    bool parse(ByteSource& file);
    bool parse(ByteSpan fileBytes) { return parseBytes(*this, fileBytes); }
    void Clear() { *this = TMPEGaudio(); }

    bool Valid() const;
    std::uint16_t BitRate() const; // kbit/s
    std::uint16_t SampleRate() const;
    double Duration() const; // seconds
    // 1 for a mono stream, 2 for the other modes, 0 when no frame was found.
    std::uint8_t Channels() const;

    std::int64_t FileSize() const { return m_fileSize; }
    const std::string& Vendor() const { return m_vendor; }
    const TVbrHeader& Vbr() const { return m_vbr; }
    const TMpegFrame& Frame() const { return m_frame; }
    // File offset of the search window the frame was found in (after the ID3v2 tag, or
    // the middle of the file).
    std::int64_t WindowOffset() const { return m_windowOffset; }
    const TID3v1& Id3v1() const { return m_id3v1; }
    const TID3v2& Id3v2() const { return m_id3v2; }
    const TAPEtag& Ape() const { return m_ape; }

    std::string_view VersionName() const;     // "MPEG 1", ... "MPEG ?"
    std::string_view LayerName() const;       // "Layer I", ... "Layer ?"
    std::string_view ChannelModeName() const; // "Stereo", ... "Unknown"
    std::string_view EmphasisName() const;    // "None", ... "Unknown"
    // "Unknown", "Xing", "FhG", "LAME", "Blade", "GoGo", "Shine", "QDesign" for 0 to 7.
    static std::string_view encoderName(unsigned index);

private:
    std::int64_t id3v2Size() const { return m_id3v2.Found() ? m_id3v2.Size() : 0; }
    bool findFrame(ByteSource& file);
    bool findVendor(ByteSource& file);

    std::int64_t m_fileSize = 0;
    std::string m_vendor;
    TVbrHeader m_vbr;
    TMpegFrame m_frame;
    std::int64_t m_windowOffset = 0;
    TID3v1 m_id3v1;
    TID3v2 m_id3v2;
    TAPEtag m_ape;
};

} // namespace tags
