#pragma once

#include "ByteBuilder.h"

#include <string>
#include <utility>
#include <vector>

namespace tags::test {

// Builds ASF headers object by object.
namespace asf {

inline const std::vector<std::uint8_t> kHeaderId = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline const std::vector<std::uint8_t> kFilePropertiesId = {
    0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline const std::vector<std::uint8_t> kStreamPropertiesId = {
    0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline const std::vector<std::uint8_t> kContentDescriptionId = {
    0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline const std::vector<std::uint8_t> kExtendedContentDescriptionId = {
    0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11, 0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
inline const std::vector<std::uint8_t> kPaddingId = {
    0x74, 0xD4, 0x06, 0x18, 0xDF, 0xCA, 0x09, 0x45, 0xA4, 0xBA, 0x9A, 0xAB, 0xCB, 0x96, 0xAA, 0xE8};

// An object: identifier, 64-bit size, body.
inline std::vector<std::uint8_t> object(const std::vector<std::uint8_t>& id,
                                        const std::vector<std::uint8_t>& body) {
    return ByteBuilder().bytes(id).le64(24 + body.size()).bytes(body);
}

// playDuration in 100 ns units, preroll in ms; 0 leaves them unset as some writers do.
inline std::vector<std::uint8_t> fileProperties(std::uint32_t maxBitRate,
                                                std::uint64_t playDuration = 0,
                                                std::uint64_t preroll = 0) {
    return object(
        kFilePropertiesId,
        ByteBuilder().fill(40).le64(playDuration).fill(8).le64(preroll).fill(12).le32(maxBitRate));
}

inline std::vector<std::uint8_t> streamProperties(std::uint16_t channels, std::uint32_t sampleRate,
                                                  std::uint32_t byteRate) {
    ByteBuilder b;
    b.fill(54).le16(0x161).le16(channels).le32(sampleRate).le32(byteRate).le16(2048).le16(16);
    return object(kStreamPropertiesId, b);
}

// UTF-16LE text with its terminating zero unit.
inline std::vector<std::uint8_t> wide(std::u16string_view s) {
    return ByteBuilder().utf16(s).le16(0);
}

inline std::vector<std::uint8_t> contentDescription(std::u16string_view title,
                                                    std::u16string_view author,
                                                    std::u16string_view copyright = u"",
                                                    std::u16string_view description = u"",
                                                    std::u16string_view rating = u"") {
    ByteBuilder lengths, strings;
    for (auto s : {title, author, copyright, description, rating}) {
        const auto w = s.empty() ? std::vector<std::uint8_t>{} : wide(s);
        lengths.le16(static_cast<std::uint16_t>(w.size()));
        strings.bytes(w);
    }
    return object(kContentDescriptionId, ByteBuilder().bytes(lengths).bytes(strings));
}

struct Descriptor {
    std::u16string name;
    std::uint16_t type = 0;               // 0 string, 3 32-bit number
    std::vector<std::uint8_t> value = {}; // raw value bytes
};

inline Descriptor text(std::u16string name, std::u16string_view value) {
    return {std::move(name), 0, wide(value)};
}

inline std::vector<std::uint8_t> extendedContentDescription(const std::vector<Descriptor>& ds) {
    ByteBuilder b;
    b.le16(static_cast<std::uint16_t>(ds.size()));
    for (const auto& d : ds) {
        const auto name = wide(d.name);
        b.le16(static_cast<std::uint16_t>(name.size())).bytes(name).le16(d.type);
        b.le16(static_cast<std::uint16_t>(d.value.size())).bytes(d.value);
    }
    return object(kExtendedContentDescriptionId, b);
}

// The header object holding `objects`, followed by `trailing` zero bytes of "data".
inline std::vector<std::uint8_t> file(const std::vector<std::vector<std::uint8_t>>& objects,
                                      std::size_t trailing = 0) {
    ByteBuilder body;
    for (const auto& o : objects)
        body.bytes(o);
    ByteBuilder b;
    b.bytes(kHeaderId).le64(30 + body.size()).le32(static_cast<std::uint32_t>(objects.size()));
    b.u8(1).u8(2).bytes(body).fill(trailing);
    return b;
}

// A usable stereo 44.1 kHz stream at 128 kbit/s with the given extra objects.
inline std::vector<std::uint8_t> stereoFile(std::vector<std::vector<std::uint8_t>> extra = {},
                                            std::size_t trailing = 0) {
    extra.insert(extra.begin(), streamProperties(2, 44100, 16000));
    extra.insert(extra.begin(), fileProperties(128'000));
    return file(extra, trailing);
}

} // namespace asf
} // namespace tags::test
