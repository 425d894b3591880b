#include "tags/ID3v1.h"

#include "TagFixtures.h"
#include "tags/FileRange.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace tagfixtures;
using tags::TID3v1;

// A file: some audio bytes, then the tag.
Bytes withAudio(const Bytes& tag) {
    return cat({Bytes(300, 0xAB), tag});
}

Bytes setBytes(Bytes tag, std::size_t at, std::initializer_list<std::uint8_t> values) {
    for (const std::uint8_t v : values)
        tag[at++] = v;
    return tag;
}

TEST(ID3v1, ReadsAllFields) {
    TID3v1 r;
    ASSERT_TRUE(r.parse(withAudio(id3v1("Title", "Artist", "Album", "1999", "A comment", 17))));
    EXPECT_TRUE(r.Found());
    EXPECT_EQ(r.VersionId(), TID3v1::kVersion10);
    EXPECT_EQ(r.Title(), "Title");
    EXPECT_EQ(r.Artist(), "Artist");
    EXPECT_EQ(r.Album(), "Album");
    EXPECT_EQ(r.Year(), "1999");
    EXPECT_EQ(r.Comment(), "A comment");
    EXPECT_EQ(r.Track(), 0);
    EXPECT_EQ(r.GenreId(), 17);
    EXPECT_EQ(TID3v1::genreName(r.GenreId()), "Rock");
}

TEST(ID3v1, VersionFromBytes125And126) {
    const std::string spaces30(30, ' ');
    struct Case {
        const char* name;
        Bytes tag;
        std::uint8_t version;
        std::uint8_t track;
        std::string comment;
    };
    const Case cases[] = {
        {"zero then track", setBytes(id3v1("t", "", "", "", "Nice"), 125, {0, 7}),
         TID3v1::kVersion11, 7, "Nice"},
        {"space padded, last byte not a space",
         setBytes(id3v1("t", "", "", "", "Hi" + spaces30), 125, {' ', 5}), TID3v1::kVersion11, 5,
         "Hi"},
        {"both zero", id3v1("t", "", "", "", "Nice"), TID3v1::kVersion10, 0, "Nice"},
        {"both spaces", id3v1("t", "", "", "", "Hi" + spaces30), TID3v1::kVersion10, 0, "Hi"},
        {"full 30-byte comment", id3v1("t", "", "", "", "abcdefghijklmnopqrstuvwxyz0123"),
         TID3v1::kVersion10, 0, "abcdefghijklmnopqrstuvwxyz0123"},
        {"28 bytes kept in 1.1",
         setBytes(id3v1("t", "", "", "", "abcdefghijklmnopqrstuvwxyz01"), 125, {0, 2}),
         TID3v1::kVersion11, 2, "abcdefghijklmnopqrstuvwxyz01"},
        {"other byte at 125", setBytes(id3v1("t", "", "", "", "Hi"), 125, {'x', 3}),
         TID3v1::kVersion10, 0, "Hi"},
    };
    for (const auto& c : cases) {
        TID3v1 r;
        ASSERT_TRUE(r.parse(c.tag)) << c.name;
        EXPECT_EQ(r.VersionId(), c.version) << c.name;
        EXPECT_EQ(r.Track(), c.track) << c.name;
        EXPECT_EQ(r.Comment(), c.comment) << c.name;
    }
}

TEST(ID3v1, FieldTexts) {
    struct Case {
        const char* name;
        std::string title;
        std::string expected;
    };
    const Case cases[] = {
        {"trailing spaces", "Hello" + std::string(25, ' '), "Hello"},
        {"trailing NULs", "Hello" + std::string(25, '\0'), "Hello"},
        {"trailing controls", "Hello\x01\x1F ", "Hello"},
        {"leading spaces kept", "  Hi", "  Hi"},
        {"inner NUL ends the text", std::string("ab\0cd", 5), "ab"},
        {"Windows-1252", "Caf\xE9 \x93noir\x94", "Caf\u00E9 \u201Cnoir\u201D"},
        {"UTF-8", "Caf\xC3\xA9", "Caf\u00E9"},
        {"UTF-8 four bytes", "\xF0\x9F\x8E\xB5", "\U0001F3B5"},
        {"invalid UTF-8 is Windows-1252", "\xC3\xA9\xE9", "\u00C3\u00A9\u00E9"},
        {"ASCII only", "plain", "plain"},
        {"UTF-8 cut by the full field", "abcdefghijklmnopqrstuvwxyz\xC3\xA9\xE2\x82",
         "abcdefghijklmnopqrstuvwxyz\u00E9"},
        {"Windows-1252 ending in a lead byte", "Caf\xC3\xA9 \xE9", "Caf\u00C3\u00A9 \u00E9"},
    };
    for (const auto& c : cases) {
        TID3v1 r;
        ASSERT_TRUE(r.parse(id3v1(c.title))) << c.name;
        EXPECT_EQ(r.Title(), c.expected) << c.name;
    }
}

TEST(ID3v1, NoTagAndShortFiles) {
    TID3v1 r;
    ASSERT_TRUE(r.parse(withAudio(id3v1("x"))));
    // The same reader, reused on a file without a tag, is back to the cleared state.
    EXPECT_TRUE(r.parse(Bytes(500, 'x')));
    EXPECT_FALSE(r.Found());
    EXPECT_EQ(r.VersionId(), TID3v1::kVersion10);
    EXPECT_EQ(r.Title(), "");
    EXPECT_EQ(r.GenreId(), 255);

    EXPECT_TRUE(r.parse(id3v1("Exact")));
    EXPECT_EQ(r.Title(), "Exact");
    const Bytes tag = id3v1("Short");
    EXPECT_FALSE(r.parse(tags::ByteSpan(tag).subspan(1)));
    EXPECT_FALSE(r.Found());
    EXPECT_FALSE(r.parse(Bytes{}));
}

TEST(ID3v1, GenreNames) {
    EXPECT_EQ(TID3v1::genreName(0), "Blues");
    EXPECT_EQ(TID3v1::genreName(92), "Progessive Rock");
    EXPECT_EQ(TID3v1::genreName(147), "Synthpop");
    EXPECT_EQ(TID3v1::genreName(148), "");
    EXPECT_EQ(TID3v1::genreName(255), "");
}

TEST(ID3v1, LoadFromFile) {
    const auto path =
        (std::filesystem::temp_directory_path() / ("id3v1-" + std::to_string(::getpid()) + ".mp3"))
            .string();
    const Bytes file = withAudio(id3v1("On disk", "Me"));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    TID3v1 r;
    EXPECT_TRUE(r.LoadFromFile(path));
    EXPECT_EQ(r.Title(), "On disk");
    EXPECT_EQ(r.Artist(), "Me");
    // A file emptied between open and read.
    auto opened = tags::FileRange::open(path);
    ASSERT_TRUE(opened);
    std::filesystem::resize_file(path, 0);
    EXPECT_FALSE(r.parse(*opened));
    EXPECT_FALSE(r.Found());
    std::filesystem::remove(path);
    EXPECT_FALSE(r.LoadFromFile(path));
    EXPECT_FALSE(r.Found());
    EXPECT_EQ(r.Title(), "");
}

} // namespace
