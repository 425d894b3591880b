#include "tags/TagBytes.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using namespace tags;
using Bytes = std::vector<std::uint8_t>;

TEST(TagBytes, IntegerReadsCheckTheBytesLeft) {
    const Bytes b = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    EXPECT_EQ(readU16LE(b, 0), 0x0201);
    EXPECT_EQ(readU16BE(b, 0), 0x0102);
    EXPECT_EQ(readU24BE(b, 1), 0x020304u);
    EXPECT_EQ(readU32LE(b, 4), 0x08070605u);
    EXPECT_EQ(readU32BE(b, 4), 0x05060708u);
    EXPECT_EQ(readU64LE(b, 0), 0x0807060504030201ull);
    EXPECT_EQ(readU64BE(b, 0), 0x0102030405060708ull);
    EXPECT_FALSE(readU32LE(b, 5));
    EXPECT_FALSE(readU64BE(b, 1));
    EXPECT_FALSE(readU8(b, 8));
    EXPECT_FALSE(readU16LE(b, SIZE_MAX));
    EXPECT_EQ(readI32LE(Bytes{0xFF, 0xFF, 0xFF, 0xFF}, 0), -1);
}

TEST(TagBytes, SyncsafeIgnoresTopBits) {
    EXPECT_EQ(readSyncsafe32(Bytes{0x00, 0x00, 0x02, 0x01}, 0), 257u);
    EXPECT_EQ(readSyncsafe32(Bytes{0x7F, 0x7F, 0x7F, 0x7F}, 0), 0x0FFFFFFFu);
    EXPECT_EQ(readSyncsafe32(Bytes{0xFF, 0xFF, 0xFF, 0xFF}, 0), 0x0FFFFFFFu);
    EXPECT_FALSE(readSyncsafe32(Bytes{0, 0, 0}, 0));
}

TEST(TagBytes, CursorStaysPutOnFailure) {
    const Bytes b = {'R', 'I', 'F', 'F', 0x10, 0x00, 0x00, 0x00, 0xAA};
    ByteReader r(b);
    EXPECT_FALSE(r.expect("RIFX"));
    EXPECT_TRUE(r.expect("RIFF"));
    EXPECT_EQ(r.u32le(), 16u);
    EXPECT_FALSE(r.u16le());
    EXPECT_EQ(r.position(), 8u);
    EXPECT_EQ(r.u8(), 0xAA);
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_FALSE(r.skip(1));
    EXPECT_FALSE(r.seek(10));
    EXPECT_TRUE(r.seek(0));
    EXPECT_FALSE(r.bytes(10));
    EXPECT_EQ(r.bytes(4)->size(), 4u);
}

TEST(TagBytes, GuidCompare) {
    const Guid g = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    Bytes b(g.begin(), g.end());
    b.insert(b.begin(), 0x00);
    EXPECT_TRUE(guidAt(b, 1, g));
    EXPECT_FALSE(guidAt(b, 0, g));
    EXPECT_FALSE(guidAt(b, 2, g));
    ByteReader r(b);
    r.skip(1);
    EXPECT_TRUE(r.expectGuid(g));
}

struct TextCase {
    const char* name;
    Bytes bytes;
    std::string expected;
};

TEST(TagBytes, Windows1252) {
    const TextCase cases[] = {
        {"ascii", {'a', 'b'}, "ab"},
        {"stops at NUL", {'a', 0, 'b'}, "a"},
        {"euro and quotes", {0x80, 0x93, 0x94}, "\u20AC\u201C\u201D"},
        {"latin-1 range", {0xE9, 0xFF}, "\u00E9\u00FF"},
        {"unassigned code", {0x81}, "\u0081"},
        {"y diaeresis capital", {0x9F}, "\u0178"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(windows1252ToUtf8(c.bytes), c.expected) << c.name;
}

TEST(TagBytes, Utf16) {
    const TextCase le[] = {
        {"ascii", {'H', 0, 'i', 0}, "Hi"},
        {"stops at zero unit", {'H', 0, 0, 0, 'i', 0}, "H"},
        {"odd byte ignored", {'H', 0, 'i'}, "H"},
        {"y diaeresis kept", {0xFF, 0x00}, "\u00FF"},
        {"surrogate pair", {0x3D, 0xD8, 0x00, 0xDE}, "\U0001F600"},
        {"lone high surrogate", {0x3D, 0xD8, 'a', 0}, "\uFFFDa"},
        {"lone low surrogate", {0x00, 0xDE}, "\uFFFD"},
    };
    for (const auto& c : le)
        EXPECT_EQ(utf16ToUtf8(c.bytes, ByteOrder::Little), c.expected) << c.name;
    EXPECT_EQ(utf16ToUtf8(Bytes{0, 'H', 0x00, 0xE9}, ByteOrder::Big), "H\u00E9");
}

TEST(TagBytes, Utf8) {
    struct Case {
        const char* name;
        Bytes bytes;
        bool valid;
        bool multiByte;
        bool cut;
    };
    const Case cases[] = {
        {"ascii", {'a'}, true, false, false},
        {"two bytes", {0xC3, 0xA9}, true, true, false},
        {"four bytes", {0xF0, 0x9F, 0x98, 0x80}, true, true, false},
        {"overlong", {0xC0, 0x80}, false, false, false},
        {"surrogate", {0xED, 0xA0, 0x80}, false, false, false},
        {"above range", {0xF4, 0x90, 0x80, 0x80}, false, false, false},
        {"cut", {'a', 0xE2, 0x82}, false, false, true},
        {"stray continuation", {0x80}, false, false, false},
        {"latin-1 word", {'c', 'a', 'f', 0xE9, '!'}, false, false, false},
    };
    for (const auto& c : cases) {
        const Utf8Scan s = scanUtf8(c.bytes);
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.name;
        EXPECT_EQ(s.multiByte, c.multiByte) << c.name;
        EXPECT_EQ(s.cutAtEnd, c.cut) << c.name;
    }
    EXPECT_EQ(utf8ToUtf8(Bytes{'a', 0xE9, 'b', 0, 'c'}), "a\uFFFDb");
    EXPECT_EQ(utf8ToUtf8(Bytes{0xC3, 0xA9}), "\u00E9");
}

TEST(TagBytes, TrimAndNumbers) {
    const Bytes b = {0, ' ', 'a', ' ', 'b', 0x1F, 0};
    EXPECT_EQ(trimControls(ByteSpan(b)).size(), 3u);
    EXPECT_EQ(trimTrailingControls(ByteSpan(b)).size(), 5u);
    EXPECT_EQ(trimControls(std::string_view("  x \t")), "x");
    const Bytes padded = {0, ' ', 'a', ' ', 'b', ' ', 0, 'c', 0, 0};
    EXPECT_EQ(paddedText(padded).size(), 3u);
    EXPECT_EQ(paddedText(padded)[0], 'a');
    EXPECT_TRUE(paddedText(Bytes(8, 0)).empty());
    EXPECT_EQ(trimControls(std::string_view("   ")), "");
    EXPECT_EQ(trackNumber("3/12"), 3u);
    EXPECT_EQ(trackNumber("12"), 12u);
    EXPECT_EQ(trackNumber("A3"), 0u);
    EXPECT_EQ(trackNumber(""), 0u);
    EXPECT_EQ(trackNumber("99999999999"), 0u);
    EXPECT_EQ(utf8Prefix("\u00E9t\u00E9s", 3), "\u00E9t\u00E9");
    EXPECT_EQ(utf8Prefix("ab", 4), "ab");
    EXPECT_TRUE(equalsIgnoreAsciiCase("TiTLE", "title"));
    EXPECT_FALSE(equalsIgnoreAsciiCase("Title", "Titles"));
}

} // namespace
