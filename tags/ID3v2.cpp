#include "tags/ID3v2.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

namespace tags {

namespace {

enum Slot : std::size_t {
    kTitle,
    kArtist,
    kAlbum,
    kTrack,
    kYear,
    kGenre,
    kComment,
    kComposer,
    kEncoder,
    kCopyright,
    kLanguage,
    kLink,
    kRecordingTime,  // year when there is no year frame
    kOriginalArtist, // artist when there is no artist frame
    kContentGroup,   // title when there is no title frame
    kOriginalAlbum,  // album when there is no album frame
    kSlotCount
};

struct FrameIds {
    std::string_view v3; // versions 2.3 and 2.4
    std::string_view v2; // version 2.2
};

constexpr std::array<FrameIds, kSlotCount> kFrameIds = {{
    {"TIT2", "TT2"},
    {"TPE1", "TP1"},
    {"TALB", "TAL"},
    {"TRCK", "TRK"},
    {"TYER", "TYE"},
    {"TCON", "TCO"},
    {"COMM", "COM"},
    {"TCOM", "TCM"},
    {"TENC", "TEN"},
    {"TCOP", "TCR"},
    {"TLAN", "TLA"},
    {"WXXX", "WXX"},
    {"TDRC", "TOR"},
    {"TOPE", "TOA"},
    {"TIT1", "TT1"},
    {"TOAL", "TOT"},
}};

// Text encodings of the first data byte.
enum Encoding : std::uint8_t { kLatin1 = 0, kUtf16 = 1, kUtf16BE = 2, kUtf8 = 3 };

// A slot keeps the first bytes of the last frame of its kind, zero-padded.
using FrameData = std::array<std::uint8_t, TID3v2::kFrameBufferSize>;
using Slots = std::array<std::optional<FrameData>, kSlotCount>;

constexpr std::uint8_t kFooterFlag = 0x10;
constexpr std::uint8_t kCompressedFrame = 0x80; // second flags byte, version 2.3

std::int32_t tagSize(ByteSpan header, std::uint64_t fileSize) {
    // The size bytes are taken whole, as the tag states them.
    std::int64_t size = header[6] * (1 << 21) + header[7] * (1 << 14) + header[8] * (1 << 7) +
                        header[9] + static_cast<std::int64_t>(TID3v2::kHeaderSize);
    if (header[5] & kFooterFlag)
        size += 10;
    return static_cast<std::uint64_t>(size) > fileSize ? 0 : static_cast<std::int32_t>(size);
}

std::optional<std::size_t> slotOf(ByteSpan id, std::uint8_t version) {
    for (std::size_t s = 0; s < kSlotCount; ++s) {
        const std::string_view want = version == 2 ? kFrameIds[s].v2 : kFrameIds[s].v3;
        if (id.size() == want.size() && matchesAt(id, 0, want))
            return s;
    }
    return std::nullopt;
}

bool keptEncoding(std::uint8_t encoding, std::uint8_t version) {
    return encoding == kLatin1 || encoding == kUtf16 ||
           (version == 4 && (encoding == kUtf16BE || encoding == kUtf8));
}

bool isWide(std::uint8_t encoding) {
    return encoding == kUtf16 || encoding == kUtf16BE;
}

std::string trimmed(const std::string& text) {
    return std::string(trimControls(text));
}

// UTF-16 honouring a leading byte-order mark; without one, `byDefault`.
std::string utf16Text(ByteSpan body, ByteOrder byDefault) {
    ByteOrder order = byDefault;
    if (body.size() >= 2 && body[0] == 0xFF && body[1] == 0xFE) {
        order = ByteOrder::Little;
        body = body.subspan(2);
    } else if (body.size() >= 2 && body[0] == 0xFE && body[1] == 0xFF) {
        order = ByteOrder::Big;
        body = body.subspan(2);
    }
    return trimmed(utf16ToUtf8(body, order));
}

// The text of the bytes that follow an encoding byte, without leading and trailing controls.
std::string plainText(std::uint8_t encoding, ByteSpan body) {
    switch (encoding) {
    case kUtf16:
        return utf16Text(body, ByteOrder::Little);
    case kUtf16BE:
        return utf16Text(body, ByteOrder::Big);
    case kUtf8:
        return utf8ToUtf8(paddedText(body));
    default:
        return windows1252ToUtf8(paddedText(body));
    }
}

std::string plainText(const std::optional<FrameData>& data) {
    if (!data)
        return {};
    return plainText((*data)[0], ByteSpan(*data).subspan(1));
}

// What follows the description of a COMM or WXXX frame. A wide description ends with a zero
// code unit, which is searched at unit boundaries so the last character's zero high byte is not
// taken for it.
ByteSpan afterDescription(ByteSpan rest, bool wide) {
    if (!wide) {
        const ByteSpan description = untilNul(rest);
        return description.size() < rest.size() ? rest.subspan(description.size() + 1) : rest;
    }
    for (std::size_t i = 0; i + 1 < rest.size(); i += 2) {
        if (rest[i] == 0 && rest[i + 1] == 0)
            return rest.subspan(i + 2);
    }
    return rest.empty() ? rest : rest.subspan(1);
}

// Encoding byte, 3-byte language, description, text.
std::string commentText(const std::optional<FrameData>& data) {
    if (!data)
        return {};
    const std::uint8_t encoding = (*data)[0];
    return plainText(encoding, afterDescription(ByteSpan(*data).subspan(4), isWide(encoding)));
}

// Encoding byte, description, link. The link itself is always 8-bit text.
std::string linkText(const std::optional<FrameData>& data) {
    if (!data)
        return {};
    const std::uint8_t encoding = (*data)[0];
    return plainText(kLatin1, afterDescription(ByteSpan(*data).subspan(1), isWide(encoding)));
}

// Reads frame after frame from just after the tag header. An extended header, padding or
// garbage ends the walk, as does any failed read.
void walkFrames(ByteSource& file, std::uint8_t version, std::uint64_t tagEnd, Slots& slots) {
    const std::size_t headerSize = version == 2 ? 6 : 10;
    std::uint64_t pos = TID3v2::kHeaderSize;
    while (pos < tagEnd && pos < file.size()) {
        std::array<std::uint8_t, 10> headerBytes{};
        const auto header = std::span(headerBytes).first(headerSize);
        if (!file.readExact(pos, header))
            return;
        if (header[0] < 'A' || header[0] > 'Z')
            return;
        const ByteSpan h(header);
        const std::uint64_t frameSize = version == 2   ? readU24BE(h, 3).value_or(0)
                                        : version == 3 ? readU32BE(h, 4).value_or(0)
                                                       : readSyncsafe32(h, 4).value_or(0);
        const std::uint64_t dataPos = pos + headerSize;
        FrameData data{};
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(frameSize, TID3v2::kFrameBufferSize));
        if (!file.readAt(dataPos, std::span(data).first(wanted)))
            return;
        const bool compressed = version != 2 && (header[9] & kCompressedFrame) != 0;
        if (!compressed && keptEncoding(data[0], version)) {
            if (const auto slot = slotOf(h.first(headerSize == 6 ? 3 : 4), version))
                slots[*slot] = data;
        }
        pos = dataPos + frameSize;
    }
}

std::string orElse(std::string text, const std::optional<FrameData>& fallback) {
    return text.empty() ? plainText(fallback) : text;
}

} // namespace

bool TID3v2::parse(ByteSource& file) {
    Clear();
    std::array<std::uint8_t, kHeaderSize> header{};
    if (!file.readExact(0, header))
        return false;
    if (!matchesAt(header, 0, "ID3"))
        return true;
    m_found = true;
    m_versionId = header[3];
    m_size = tagSize(header, file.size());
    if (m_versionId < 2 || m_versionId > 4 || m_size <= 0)
        return true;

    Slots slots;
    walkFrames(file, m_versionId, static_cast<std::uint64_t>(m_size), slots);

    m_title = orElse(plainText(slots[kTitle]), slots[kContentGroup]);
    m_artist = orElse(plainText(slots[kArtist]), slots[kOriginalArtist]);
    m_album = orElse(plainText(slots[kAlbum]), slots[kOriginalAlbum]);
    m_trackText = plainText(slots[kTrack]);
    m_track = static_cast<std::uint16_t>(trackNumber(m_trackText));
    m_year = plainText(slots[kYear]);
    if (m_year.empty())
        m_year = std::string(utf8Prefix(plainText(slots[kRecordingTime]), 4));
    m_genre = plainText(slots[kGenre]);
    if (const auto close = m_genre.rfind(')'); close != std::string::npos)
        m_genre.erase(0, close + 1);
    m_comment = commentText(slots[kComment]);
    m_link = linkText(slots[kLink]);
    m_composer = plainText(slots[kComposer]);
    m_encoder = plainText(slots[kEncoder]);
    m_copyright = plainText(slots[kCopyright]);
    m_language = plainText(slots[kLanguage]);
    return true;
}

} // namespace tags
