#include "tags/WMAfile.h"

#include "tags/ChannelName.h"
#include "tags/SourceReader.h"
#include "tags/TagBytes.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace tags {

namespace {

enum class Object {
    Header,
    FileProperties,
    StreamProperties,
    ContentDescription,
    ExtendedContentDescription,
    Other,
};

struct KnownObject {
    Guid id; // bytes in file order
    Object kind;
};

constexpr std::array<KnownObject, 5> kObjects = {{
    // 75B22630-668E-11CF-A6D9-00AA0062CE6C
    {{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE,
      0x6C},
     Object::Header},
    // 8CABDCA1-A947-11CF-8EE4-00C00C205365
    {{0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53,
      0x65},
     Object::FileProperties},
    // B7DC0791-A9B7-11CF-8EE6-00C00C205365
    {{0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53,
      0x65},
     Object::StreamProperties},
    // 75B22633-668E-11CF-A6D9-00AA0062CE6C
    {{0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE,
      0x6C},
     Object::ContentDescription},
    // D2D0A440-E307-11D2-97F0-00A0C95EA850
    {{0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11, 0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8,
      0x50},
     Object::ExtendedContentDescription},
}};

std::optional<Object> readObjectId(SourceReader& in) {
    Guid id;
    if (!in.read(id))
        return std::nullopt;
    for (const auto& known : kObjects)
        if (known.id == id)
            return known.kind;
    return Object::Other;
}

// Every object starts with its identifier and a 64-bit size.
constexpr std::uint32_t kObjectHeaderBytes = 24;
// Strings longer than this many UTF-16 units are cut.
constexpr std::size_t kMaxStringUnits = 250;

enum Slot { kTitle, kArtist, kAlbum, kTrack, kYear, kGenre, kComment, kSlotCount };

struct NamedSlot {
    std::u16string_view name;
    Slot slot;
};

// Extended descriptor names (upper case) and the slot each fills.
constexpr std::array<NamedSlot, 7> kDescriptorSlots = {{
    {u"WM/TITLE", kTitle},
    {u"WM/AUTHOR", kArtist},
    {u"WM/ALBUMTITLE", kAlbum},
    {u"WM/TRACK", kTrack},
    {u"WM/YEAR", kYear},
    {u"WM/GENRE", kGenre},
    {u"WM/DESCRIPTION", kComment},
}};

struct Header {
    std::uint32_t maxBitRate = 0;   // bit/s
    std::uint64_t playDuration = 0; // 100 ns units, preroll included
    std::uint64_t preroll = 0;      // ms
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t byteRate = 0; // average bytes per second
    std::array<std::u16string, kSlotCount> slots;

    bool usable() const {
        return maxBitRate > 0 && maxBitRate < 320000 && (channels == 1 || channels == 2) &&
               sampleRate >= 8000 && sampleRate <= 96000 && byteRate > 0 && byteRate < 40000;
    }
};

std::u16string trimmed(std::u16string_view s) {
    const auto isBlank = [](char16_t c) {
        return c <= 32;
    };
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return std::u16string(s);
}

std::u16string upperAscii(std::u16string s) {
    for (auto& c : s)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    return s;
}

// A string of n bytes: at most kMaxStringUnits UTF-16LE units are kept, up to the first
// zero unit; the rest of the n bytes is skipped.
std::optional<std::u16string> readString(SourceReader& in, std::uint16_t n) {
    const std::size_t units = std::min<std::size_t>(n / 2, kMaxStringUnits);
    std::array<std::uint8_t, kMaxStringUnits * 2> raw;
    if (!in.read(std::span(raw).first(units * 2)))
        return std::nullopt;
    in.skip(n - units * 2);
    std::u16string s;
    for (std::size_t k = 0; k < units; ++k) {
        const auto unit = static_cast<char16_t>(raw[2 * k] | raw[2 * k + 1] << 8);
        if (unit == 0)
            break;
        s.push_back(unit);
    }
    return s;
}

// Entered 20 bytes into the object; the play duration is at 64, the preroll at 80 and the
// maximum bit rate at 100.
bool readFileProperties(SourceReader& in, Header& h) {
    in.skip(44);
    h.playDuration = in.u64le().value_or(0);
    in.skip(8);
    h.preroll = in.u64le().value_or(0);
    in.skip(12);
    const auto rate = in.u32le();
    h.maxBitRate = rate.value_or(0);
    return rate.has_value();
}

// The stream's own play time when the file says it; else the length over the maximum bit
// rate, which also counts the header and the packets' padding (8 to 22 % long on common
// files).
double durationOf(const Header& h, std::int64_t fileSize) {
    constexpr std::uint64_t kUnitsPerMs = 10'000;
    if (h.preroll < h.playDuration / kUnitsPerMs)
        return double(h.playDuration - h.preroll * kUnitsPerMs) / 1e7;
    return double(fileSize) * 8.0 / h.maxBitRate;
}

bool readStreamProperties(SourceReader& in, Header& h) {
    in.skip(60);
    const auto channels = in.u16le();
    const auto sampleRate = in.u32le();
    const auto byteRate = in.u32le();
    if (!channels || !sampleRate || !byteRate)
        return false;
    h.channels = *channels;
    h.sampleRate = *sampleRate;
    h.byteRate = *byteRate;
    return true;
}

bool readContentDescription(SourceReader& in, Header& h) {
    // Title, author, copyright, description, rating; copyright and rating are dropped.
    constexpr std::array<int, 5> kTargets = {kTitle, kArtist, -1, kComment, -1};
    in.skip(4);
    std::array<std::uint16_t, 5> lengths{};
    for (auto& n : lengths) {
        const auto v = in.u16le();
        if (!v)
            return false;
        n = *v;
    }
    for (std::size_t k = 0; k < lengths.size(); ++k) {
        if (lengths[k] == 0)
            continue;
        auto s = readString(in, lengths[k]);
        if (!s)
            return false;
        if (kTargets[k] >= 0)
            h.slots[kTargets[k]] = std::move(*s);
    }
    return true;
}

bool readDescriptor(SourceReader& in, Header& h) {
    const auto nameLength = in.u16le();
    if (!nameLength)
        return false;
    const auto name = readString(in, *nameLength);
    const auto valueType = in.u16le();
    const auto valueLength = in.u16le();
    if (!name || !valueType || !valueLength)
        return false;
    if (*valueType != 0) {
        in.skip(*valueLength);
        return true;
    }
    auto value = readString(in, *valueLength);
    if (!value)
        return false;
    const std::u16string key = upperAscii(trimmed(*name));
    for (const auto& entry : kDescriptorSlots)
        if (entry.name == key)
            h.slots[entry.slot] = std::move(*value);
    return true;
}

bool readExtendedContentDescription(SourceReader& in, Header& h) {
    in.skip(4);
    const auto count = in.u16le();
    if (!count)
        return false;
    for (unsigned k = 0; k < *count; ++k)
        if (!readDescriptor(in, h))
            return false;
    return true;
}

bool readObject(SourceReader& in, Object kind, Header& h) {
    switch (kind) {
    case Object::FileProperties:
        return readFileProperties(in, h);
    case Object::StreamProperties:
        return readStreamProperties(in, h);
    case Object::ContentDescription:
        return readContentDescription(in, h);
    case Object::ExtendedContentDescription:
        return readExtendedContentDescription(in, h);
    case Object::Header:
    case Object::Other:
        break;
    }
    return true;
}

// The walk of the header objects; false when the source ends before a needed field.
bool walk(ByteSource& source, Header& h) {
    SourceReader in(source);
    const auto header = readObjectId(in);
    if (!header)
        return false;
    if (*header != Object::Header)
        return true;
    in.skip(8);
    const auto count = in.u32le();
    if (!count)
        return false;
    in.skip(2);
    for (std::uint32_t k = 0; k < *count; ++k) {
        const std::uint64_t start = in.position();
        const auto kind = readObjectId(in);
        const auto size = in.u32le();
        if (!kind || !size)
            return false;
        if (!readObject(in, *kind, h))
            return false;
        // An object is at least its own header; a smaller size would never move on.
        if (*size < kObjectHeaderBytes)
            return true;
        in.seek(start + *size);
    }
    return true;
}

std::int32_t decimalOrZero(const std::u16string& text) {
    std::string ascii;
    for (char16_t c : text) {
        if (c > 127)
            return 0;
        ascii.push_back(static_cast<char>(c));
    }
    const char* first = ascii.data();
    const char* last = first + ascii.size();
    if (first != last && *first == '+')
        ++first;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc{} && end == last && first != last ? value : 0;
}

} // namespace

bool TWMAfile::parse(ByteSource& source) {
    Clear();
    Header h;
    if (!walk(source, h))
        return false;
    if (!h.usable())
        return true;
    m_valid = true;
    m_fileSize = static_cast<std::int64_t>(source.size());
    m_channels = static_cast<std::uint8_t>(h.channels);
    m_sampleRate = static_cast<std::int32_t>(h.sampleRate);
    m_duration = durationOf(h, m_fileSize);
    m_bitRate = static_cast<std::int32_t>(h.byteRate * 8 / 1000);
    m_title = trimmed(h.slots[kTitle]);
    m_artist = trimmed(h.slots[kArtist]);
    m_album = trimmed(h.slots[kAlbum]);
    m_track = decimalOrZero(trimmed(h.slots[kTrack]));
    m_year = trimmed(h.slots[kYear]);
    m_genre = trimmed(h.slots[kGenre]);
    m_comment = trimmed(h.slots[kComment]);
    return true;
}

std::string_view TWMAfile::ChannelModeName() const {
    return channelName(m_channels);
}

} // namespace tags
