#include "tags/APEtag.h"

#include "TagFixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace tagfixtures;
using tags::TAPEtag;

Bytes audio() {
    return Bytes(400, 0xAA);
}
Bytes file(const Bytes& tag) {
    return cat({audio(), tag});
}

Bytes fullTag(std::uint32_t version) {
    return ape(version, {apeItem("Title", bytes("T")), apeItem("Artist", bytes("A")),
                         apeItem("Album", bytes("L")), apeItem("Track", bytes("3/12")),
                         apeItem("Year", bytes("2001")), apeItem("Genre", bytes("Jazz")),
                         apeItem("Comment", bytes("C")), apeItem("Copyright", bytes("(c)")),
                         apeItem("Other", bytes("ignored"))});
}

void expectFull(const TAPEtag& r, std::uint32_t version) {
    EXPECT_TRUE(r.Found());
    EXPECT_EQ(r.Version(), static_cast<std::int32_t>(version));
    EXPECT_EQ(r.Title(), "T");
    EXPECT_EQ(r.Artist(), "A");
    EXPECT_EQ(r.Album(), "L");
    EXPECT_EQ(r.Track(), 3);
    EXPECT_EQ(r.Year(), "2001");
    EXPECT_EQ(r.Genre(), "Jazz");
    EXPECT_EQ(r.Comment(), "C");
    EXPECT_EQ(r.Copyright(), "(c)");
}

TEST(APEtag, AtTheEndOrBeforeAnId3v1Tag) {
    const Bytes tag = fullTag(2000);
    Bytes id3v1(128, 0);
    id3v1[0] = 'T', id3v1[1] = 'A', id3v1[2] = 'G';
    const Bytes files[] = {file(tag), cat({audio(), tag, id3v1}),
                           cat({audio(), ape(2000, {apeItem("Title", bytes("T"))}, true)})};
    TAPEtag r;
    ASSERT_TRUE(r.parse(files[0]));
    expectFull(r, 2000);
    EXPECT_EQ(r.Size(), static_cast<std::int32_t>(tag.size()));
    ASSERT_TRUE(r.parse(files[1]));
    expectFull(r, 2000);
    ASSERT_TRUE(r.parse(files[2])); // a header before the items is not read
    EXPECT_EQ(r.Title(), "T");
    ASSERT_TRUE(r.parse(file(fullTag(1000))));
    expectFull(r, 1000);
}

TEST(APEtag, Values) {
    struct Case {
        const char* name;
        std::uint32_t version;
        Bytes item;
        std::string title;
    };
    const Bytes elegie = bytes("\xC3\x89l\xC3\xA9gie");
    const Case cases[] = {
        {"UTF-8 in 2.0", 2000, apeItem("Title", elegie), "\u00C9l\u00E9gie"},
        {"unchanged 8-bit text in 1.0", 1000, apeItem("Title", elegie),
         "\u00C3\u2030l\u00C3\u00A9gie"},
        {"three-byte sequence", 2000, apeItem("Title", bytes("\xE2\x82\xAC")), "\u20AC"},
        {"broken sequence ends the text", 2000, apeItem("Title", bytes("Ab\xC3xyz")), "Ab"},
        {"cut sequence ends the text", 2000, apeItem("Title", bytes("Ab\xE2\x82")), "Ab"},
        {"key in capitals", 2000, apeItem("TITLE", bytes("Caps")), "Caps"},
        {"key in lower case", 2000, apeItem("title", bytes("low")), "low"},
        {"value trimmed", 2000, apeItem("Title", bytes("  padded \x01")), "padded"},
        {"second value of a list not shown", 2000,
         apeItem("Title", bytes(std::string_view("a\0b", 3))), "a"},
        {"300-byte value keeps 250", 2000, apeItem("Title", Bytes(300, 'v')),
         std::string(250, 'v')},
    };
    for (const auto& c : cases) {
        TAPEtag r;
        ASSERT_TRUE(r.parse(file(ape(c.version, {c.item})))) << c.name;
        EXPECT_EQ(r.Title(), c.title) << c.name;
    }
}

TEST(APEtag, ItemWalk) {
    TAPEtag r;
    // The next item is read after the whole 300-byte value.
    ASSERT_TRUE(r.parse(
        file(ape(2000, {apeItem("Comment", Bytes(300, 'v')), apeItem("Title", bytes("Next"))}))));
    EXPECT_EQ(r.Title(), "Next");
    // A later item with the same key replaces an earlier one.
    ASSERT_TRUE(
        r.parse(file(ape(2000, {apeItem("Title", bytes("One")), apeItem("title", bytes("Two"))}))));
    EXPECT_EQ(r.Title(), "Two");

    const std::pair<const char*, int> tracks[] = {{"7", 7}, {"300", 44}, {"x1", 0}, {"", 0}};
    for (const auto& [text, track] : tracks) {
        ASSERT_TRUE(r.parse(file(ape(2000, {apeItem("Track", bytes(text))}))));
        EXPECT_EQ(r.Track(), track) << text;
    }
}

TEST(APEtag, NoTagShortFilesAndBrokenFooters) {
    TAPEtag r;
    ASSERT_TRUE(r.parse(file(fullTag(2000))));
    EXPECT_TRUE(r.parse(Bytes(500, 'x')));
    EXPECT_FALSE(r.Found());
    EXPECT_EQ(r.Version(), 0);
    EXPECT_EQ(r.Size(), 0);
    EXPECT_EQ(r.Title(), "");

    EXPECT_FALSE(r.parse(Bytes(127, 'x')));
    EXPECT_TRUE(r.parse(Bytes(128, 'x')));
    // An ID3v1 tag and nothing before it: no room for a footer.
    Bytes onlyId3v1(130, 0);
    onlyId3v1[2] = 'T', onlyId3v1[3] = 'A', onlyId3v1[4] = 'G';
    EXPECT_FALSE(r.parse(onlyId3v1));

    struct Case {
        const char* name;
        Bytes tagBytes;
    };
    const Bytes item = apeItem("Title", bytes("T"));
    const Case broken[] = {
        {"size past the start of the file", cat({item, apeFooter(2000, 100000, 1)})},
        {"negative size", cat({item, apeFooter(2000, 0x80000000u, 1)})},
        {"item count 2^32-1",
         cat({item, apeFooter(2000, std::uint32_t(item.size() + 32), 0xFFFFFFFFu)})},
        {"negative value size",
         cat({le32(0xFFFFFFF0u), le32(0), bytes("Title"), {0}, apeFooter(2000, 46, 3)})},
        {"key without a zero", cat({le32(1), le32(0), Bytes(300, 'K'), apeFooter(2000, 340, 1)})},
        {"value size past the end",
         cat({le32(0x7FFFFFFF), le32(0), bytes("Title"), {0}, bytes("V"), apeFooter(2000, 47, 2)})},
    };
    for (const auto& c : broken) {
        ASSERT_TRUE(r.parse(file(c.tagBytes))) << c.name;
        EXPECT_TRUE(r.Found()) << c.name;
    }
    EXPECT_FALSE(r.LoadFromFile("/nonexistent/tuval.mp3"));
}

} // namespace
