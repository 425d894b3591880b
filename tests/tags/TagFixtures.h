#pragma once

// Byte builders for tag tests: each returns the literal bytes a writer would store.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tagfixtures {

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytes(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes be32(std::uint32_t v) {
    return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}
inline Bytes le32(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}
inline Bytes syncsafe(std::uint32_t v) {
    return {std::uint8_t((v >> 21) & 0x7F), std::uint8_t((v >> 14) & 0x7F),
            std::uint8_t((v >> 7) & 0x7F), std::uint8_t(v & 0x7F)};
}

// ---- ID3v1: the 128 bytes of a tag, fields padded with NUL.
inline Bytes id3v1(std::string_view title, std::string_view artist = "",
                   std::string_view album = "", std::string_view year = "",
                   std::string_view comment = "", std::uint8_t genre = 255) {
    Bytes t(128, 0);
    t[0] = 'T', t[1] = 'A', t[2] = 'G';
    const auto put = [&](std::size_t at, std::size_t width, std::string_view s) {
        for (std::size_t i = 0; i < width && i < s.size(); ++i)
            t[at + i] = static_cast<std::uint8_t>(s[i]);
    };
    put(3, 30, title);
    put(33, 30, artist);
    put(63, 30, album);
    put(93, 4, year);
    put(97, 30, comment);
    t[127] = genre;
    return t;
}

// ---- ID3v2
inline Bytes latin1Text(std::string_view s) {
    return cat({{0}, bytes(s)});
}
inline Bytes utf8Text(std::string_view s) {
    return cat({{3}, bytes(s)});
}
// UTF-16 text of ASCII or Latin-1 characters, with or without a byte-order mark.
enum class Bom { LittleEndian, BigEndian, None };
inline Bytes utf16Chars(std::u16string_view s, Bom bom, bool bigEndian) {
    Bytes out;
    if (bom == Bom::LittleEndian)
        out = {0xFF, 0xFE};
    if (bom == Bom::BigEndian)
        out = {0xFE, 0xFF};
    for (const char16_t c : s) {
        const std::uint8_t lo = std::uint8_t(c), hi = std::uint8_t(c >> 8);
        if (bigEndian)
            out.insert(out.end(), {hi, lo});
        else
            out.insert(out.end(), {lo, hi});
    }
    return out;
}
inline Bytes utf16Text(std::u16string_view s, Bom bom = Bom::LittleEndian) {
    return cat({{1}, utf16Chars(s, bom, bom == Bom::BigEndian)});
}

inline Bytes frame(std::uint8_t version, std::string_view id, const Bytes& data,
                   std::uint8_t flags1 = 0) {
    if (version == 2) {
        const auto n = static_cast<std::uint32_t>(data.size());
        return cat(
            {bytes(id), {std::uint8_t(n >> 16), std::uint8_t(n >> 8), std::uint8_t(n)}, data});
    }
    const auto n = static_cast<std::uint32_t>(data.size());
    return cat({bytes(id), version == 4 ? syncsafe(n) : be32(n), {0, flags1}, data});
}

inline Bytes id3v2(std::uint8_t version, std::initializer_list<Bytes> frames,
                   std::size_t padding = 0, std::uint8_t flags = 0) {
    Bytes body;
    for (const Bytes& f : frames)
        body.insert(body.end(), f.begin(), f.end());
    body.resize(body.size() + padding, 0);
    Bytes tag =
        cat({bytes("ID3"), {version, 0, flags}, syncsafe(std::uint32_t(body.size())), body});
    if (flags & 0x10)
        tag = cat({tag, bytes("3DI"), {version, 0, flags}, syncsafe(std::uint32_t(body.size()))});
    return tag;
}

// ---- APE
inline Bytes apeItem(std::string_view key, const Bytes& value) {
    return cat({le32(std::uint32_t(value.size())), le32(0), bytes(key), {0}, value});
}

inline Bytes apeFooter(std::uint32_t version, std::uint32_t size, std::uint32_t count,
                       std::string_view magic = "APETAGEX") {
    return cat({bytes(magic), le32(version), le32(size), le32(count), Bytes(12, 0)});
}

// Items followed by their footer (and preceded by a header when asked).
inline Bytes ape(std::uint32_t version, std::initializer_list<Bytes> items, bool header = false) {
    Bytes body;
    for (const Bytes& i : items)
        body.insert(body.end(), i.begin(), i.end());
    const auto size = std::uint32_t(body.size() + 32);
    const auto count = std::uint32_t(items.size());
    return cat({header ? apeFooter(version, size, count) : Bytes{}, body,
                apeFooter(version, size, count)});
}

} // namespace tagfixtures
