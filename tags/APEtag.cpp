#include "tags/APEtag.h"

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
    kCopyright,
    kSlotCount
};

constexpr std::array<std::string_view, kSlotCount> kKeys = {
    "Title", "Artist", "Album", "Track", "Year", "Genre", "Comment", "Copyright"};

constexpr std::int32_t kVersion1 = 1000;
constexpr std::size_t kId3v1Size = 128;
constexpr std::size_t kItemHeaderSize = 8; // value size, item flags
// Keys are at most 255 characters; a longer run without its zero is not a key.
constexpr std::size_t kMaxKeySize = 256;

using Slots = std::array<std::string, kSlotCount>;

// Version 2.0 values: sequences of two or three bytes (three when bit 5 of the lead byte is
// set), their value held in 16 bits; decoding ends at a broken or cut sequence.
std::string decodeUtf8Value(ByteSpan value) {
    std::string out;
    std::size_t i = 0;
    while (i < value.size()) {
        const std::uint8_t lead = value[i++];
        if (lead == 0)
            break;
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            continue;
        }
        std::uint32_t cp = lead & 0x3F;
        const int following = (lead & 0x20) ? 2 : 1;
        for (int k = 0; k < following; ++k) {
            if (i >= value.size() || (value[i] & 0xC0) != 0x80)
                return out;
            cp = ((cp << 6) | (value[i++] & 0x3F)) & 0xFFFF;
        }
        if (cp == 0)
            break;
        appendUtf8(out, cp);
    }
    return out;
}

void offer(ByteSpan key, ByteSpan value, std::int32_t version, Slots& slots) {
    const ByteSpan k = trimControls(key);
    const std::string_view keyText(reinterpret_cast<const char*>(k.data()), k.size());
    const ByteSpan v = paddedText(value);
    for (std::size_t s = 0; s < kSlotCount; ++s) {
        if (equalsIgnoreAsciiCase(keyText, kKeys[s]))
            slots[s] = version <= kVersion1 ? windows1252ToUtf8(v) : decodeUtf8Value(v);
    }
}

// Reads up to `count` items from `pos`. Stops at a failed read, a key without its zero, or a
// negative value size (which would step backwards).
void readItems(ByteSource& file, std::uint64_t pos, std::uint32_t count, std::int32_t version,
               Slots& slots) {
    for (std::uint32_t n = 0; n < count && pos < file.size(); ++n) {
        std::array<std::uint8_t, kItemHeaderSize> header{};
        if (!file.readExact(pos, header))
            return;
        const std::int32_t valueSize = readI32LE(header, 0).value_or(-1);
        std::array<std::uint8_t, kMaxKeySize> keyBytes{};
        const auto got = file.readAt(pos + kItemHeaderSize, keyBytes);
        if (!got || valueSize < 0)
            return;
        const ByteSpan key = untilNul(std::span(keyBytes).first(*got));
        if (key.size() == *got)
            return;
        const std::uint64_t valuePos = pos + kItemHeaderSize + key.size() + 1;
        std::array<std::uint8_t, TAPEtag::kValueBufferSize> value{};
        const std::size_t wanted =
            std::min<std::size_t>(static_cast<std::size_t>(valueSize), value.size());
        if (!file.readAt(valuePos, std::span(value).first(wanted)))
            return;
        offer(key, value, version, slots);
        pos = valuePos + static_cast<std::uint64_t>(valueSize);
    }
}

} // namespace

bool TAPEtag::parse(ByteSource& file) {
    Clear();
    const std::uint64_t length = file.size();
    std::array<std::uint8_t, 3> id3{};
    if (length < kId3v1Size || !file.readFromEnd(kId3v1Size, id3))
        return false;
    const std::uint64_t shift = matchesAt(id3, 0, "TAG") ? kId3v1Size : 0;
    std::array<std::uint8_t, kFooterSize> footer{};
    if (!file.readFromEnd(shift + kFooterSize, footer))
        return false;
    if (!matchesAt(footer, 0, "APETAGEX"))
        return true;
    m_found = true;
    m_version = readI32LE(footer, 8).value_or(0);
    m_size = readI32LE(footer, 12).value_or(0);
    const std::uint32_t count = readU32LE(footer, 16).value_or(0);

    Slots slots;
    const std::int64_t start =
        static_cast<std::int64_t>(length - shift) - static_cast<std::int64_t>(m_size);
    if (start >= 0)
        readItems(file, static_cast<std::uint64_t>(start), count, m_version, slots);

    m_title = slots[kTitle];
    m_artist = slots[kArtist];
    m_album = slots[kAlbum];
    m_track = static_cast<std::uint8_t>(trackNumber(slots[kTrack]));
    m_year = slots[kYear];
    m_genre = slots[kGenre];
    m_comment = slots[kComment];
    m_copyright = slots[kCopyright];
    return true;
}

} // namespace tags
