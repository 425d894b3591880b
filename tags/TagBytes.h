#pragma once

// The bounds-checked byte toolkit of the readers: fixed-width integer reads at an offset or
// through a cursor, magic and GUID comparison, and text decoding into UTF-8. Every read
// checks the bytes left and reports failure; nothing here indexes outside the span it is given.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tags {

using ByteSpan = std::span<const std::uint8_t>;
using Guid = std::array<std::uint8_t, 16>;

namespace detail {
template <typename T, std::size_t N, bool BigEndian>
std::optional<T> readInt(ByteSpan data, std::size_t offset) {
    if (offset > data.size() || data.size() - offset < N)
        return std::nullopt;
    T value = 0;
    for (std::size_t i = 0; i < N; ++i) {
        const std::size_t shift = BigEndian ? 8 * (N - 1 - i) : 8 * i;
        value |= static_cast<T>(static_cast<T>(data[offset + i]) << shift);
    }
    return value;
}
} // namespace detail

inline std::optional<std::uint8_t> readU8(ByteSpan d, std::size_t at) {
    return detail::readInt<std::uint8_t, 1, false>(d, at);
}
inline std::optional<std::uint16_t> readU16LE(ByteSpan d, std::size_t at) {
    return detail::readInt<std::uint16_t, 2, false>(d, at);
}
inline std::optional<std::uint16_t> readU16BE(ByteSpan d, std::size_t at) {
    return detail::readInt<std::uint16_t, 2, true>(d, at);
}
inline std::optional<std::uint32_t> readU24BE(ByteSpan d, std::size_t at) {
    return detail::readInt<std::uint32_t, 3, true>(d, at);
}
inline std::optional<std::uint32_t> readU32LE(ByteSpan d, std::size_t at) {
    return detail::readInt<std::uint32_t, 4, false>(d, at);
}
inline std::optional<std::uint32_t> readU32BE(ByteSpan d, std::size_t at) {
    return detail::readInt<std::uint32_t, 4, true>(d, at);
}
inline std::optional<std::uint64_t> readU64LE(ByteSpan d, std::size_t at) {
    return detail::readInt<std::uint64_t, 8, false>(d, at);
}
inline std::optional<std::uint64_t> readU64BE(ByteSpan d, std::size_t at) {
    return detail::readInt<std::uint64_t, 8, true>(d, at);
}
inline std::optional<std::int32_t> readI32LE(ByteSpan d, std::size_t at) {
    const auto v = readU32LE(d, at);
    return v ? std::optional<std::int32_t>(static_cast<std::int32_t>(*v)) : std::nullopt;
}

// Four bytes of seven bits each, most significant first; the top bit of each byte is ignored.
std::optional<std::uint32_t> readSyncsafe32(ByteSpan d, std::size_t at);

// The sub-span [at, at + length), or nullopt when it does not lie inside d.
std::optional<ByteSpan> subSpan(ByteSpan d, std::size_t at, std::size_t length);

// True when the bytes at `at` spell `magic` exactly.
bool matchesAt(ByteSpan d, std::size_t at, std::string_view magic);
// True when the 16 bytes at `at` equal `guid` (compared byte for byte, as stored in the file).
bool guidAt(ByteSpan d, std::size_t at, const Guid& guid);

// A read cursor over a span. A failed read leaves the position unchanged.
class ByteReader {
public:
    explicit ByteReader(ByteSpan data)
        : m_data(data) {}

    std::size_t position() const { return m_pos; }
    std::size_t remaining() const { return m_data.size() - m_pos; }
    bool seek(std::size_t position);
    bool skip(std::size_t count);

    std::optional<std::uint8_t> u8() { return take<1>(readU8(m_data, m_pos)); }
    std::optional<std::uint16_t> u16le() { return take<2>(readU16LE(m_data, m_pos)); }
    std::optional<std::uint16_t> u16be() { return take<2>(readU16BE(m_data, m_pos)); }
    std::optional<std::uint32_t> u24be() { return take<3>(readU24BE(m_data, m_pos)); }
    std::optional<std::uint32_t> u32le() { return take<4>(readU32LE(m_data, m_pos)); }
    std::optional<std::uint32_t> u32be() { return take<4>(readU32BE(m_data, m_pos)); }
    std::optional<std::uint64_t> u64le() { return take<8>(readU64LE(m_data, m_pos)); }
    std::optional<std::uint64_t> u64be() { return take<8>(readU64BE(m_data, m_pos)); }
    std::optional<std::uint32_t> syncsafe32() { return take<4>(readSyncsafe32(m_data, m_pos)); }
    std::optional<ByteSpan> bytes(std::size_t count);
    // Consumes `magic` when the next bytes spell it.
    bool expect(std::string_view magic);
    bool expectGuid(const Guid& guid);

private:
    template <std::size_t N, typename T>
    std::optional<T> take(std::optional<T> v) {
        if (v)
            m_pos += N;
        return v;
    }

    ByteSpan m_data;
    std::size_t m_pos = 0;
};

// ---- Text ----------------------------------------------------------------------------------
// Decoders stop at the first NUL character; characters that cannot be decoded become U+FFFD.

enum class ByteOrder { Little, Big };

void appendUtf8(std::string& out, char32_t codePoint);
std::string windows1252ToUtf8(ByteSpan text);
std::string utf16ToUtf8(ByteSpan text, ByteOrder order);
// Valid sequences are copied, each invalid byte becomes U+FFFD.
std::string utf8ToUtf8(ByteSpan text);

struct Utf8Scan {
    std::size_t validLength = 0; // bytes forming complete, valid sequences from the start
    bool cutAtEnd = false;       // the rest is the valid beginning of a sequence cut by the end
    bool multiByte = false;      // the valid part holds at least one multi-byte sequence
};
Utf8Scan scanUtf8(ByteSpan text);
bool isValidUtf8(ByteSpan text);

// The bytes before the first NUL.
ByteSpan untilNul(ByteSpan text);
// Without leading and/or trailing bytes of value 0 to 32 (controls, spaces, NUL padding).
ByteSpan trimControls(ByteSpan text);
ByteSpan trimTrailingControls(ByteSpan text);
std::string_view trimControls(std::string_view text);
// The text held in a zero-padded buffer: leading controls skipped, up to the first NUL, trailing
// controls removed. (Stopping at the NUL first spares scanning the padding.)
ByteSpan paddedText(ByteSpan buffer);

// A decimal number made of digits only; nullopt for anything else or for overflow.
std::optional<std::uint32_t> parseDecimal(std::string_view text);
// The number before the first "/" of a track text such as "3/12"; 0 when it is not a number.
std::uint32_t trackNumber(std::string_view text);
// The first `count` characters of a UTF-8 text.
std::string_view utf8Prefix(std::string_view text, std::size_t count);
bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b);

inline ByteSpan asBytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

} // namespace tags
