#include "tags/ID3v2.h"

#include "TagFixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace tagfixtures;
using tags::TID3v2;
using Field = const std::string& (TID3v2::*)() const;

// A file: the tag, then some audio bytes.
Bytes file(const Bytes& tag) {
    return cat({tag, Bytes(200, 0xFF)});
}

struct TextCase {
    const char* name;
    Bytes tag;
    Field field;
    std::string expected;
};

void runCases(std::initializer_list<TextCase> cases) {
    for (const auto& c : cases) {
        TID3v2 r;
        ASSERT_TRUE(r.parse(file(c.tag))) << c.name;
        EXPECT_TRUE(r.Found()) << c.name;
        EXPECT_EQ((r.*c.field)(), c.expected) << c.name;
    }
}

TEST(ID3v2, TextEncodings) {
    runCases({
        {"8-bit", id3v2(3, {frame(3, "TIT2", latin1Text("Hello"))}), &TID3v2::Title, "Hello"},
        {"8-bit is Windows-1252", id3v2(3, {frame(3, "TIT2", latin1Text("\x80 \xE9"))}),
         &TID3v2::Title, "\u20AC \u00E9"},
        {"UTF-16 FF FE", id3v2(3, {frame(3, "TIT2", utf16Text(u"Hello"))}), &TID3v2::Title,
         "Hello"},
        {"UTF-16 FE FF is big-endian",
         id3v2(3, {frame(3, "TIT2", utf16Text(u"Hello", Bom::BigEndian))}), &TID3v2::Title,
         "Hello"},
        {"UTF-16 without mark", id3v2(3, {frame(3, "TIT2", utf16Text(u"Hello", Bom::None))}),
         &TID3v2::Title, "Hello"},
        {"UTF-16 keeps U+00FF and U+01FF",
         id3v2(3, {frame(3, "TIT2", utf16Text(u"\u00FFa\u01FF"))}), &TID3v2::Title,
         "\u00FFa\u01FF"},
        {"UTF-16 accented", id3v2(3, {frame(3, "TIT2", utf16Text(u"\u00C9t\u00E9"))}),
         &TID3v2::Title, "\u00C9t\u00E9"},
        {"UTF-16 surrounded by spaces", id3v2(3, {frame(3, "TIT2", utf16Text(u"  Hi  "))}),
         &TID3v2::Title, "Hi"},
        {"2.4 UTF-8", id3v2(4, {frame(4, "TIT2", utf8Text("\xC3\x89t\xC3\xA9"))}), &TID3v2::Title,
         "\u00C9t\u00E9"},
        {"2.4 UTF-16BE",
         id3v2(4, {frame(4, "TIT2", cat({{2}, utf16Chars(u"Hi", Bom::None, true)}))}),
         &TID3v2::Title, "Hi"},
        {"2.3 UTF-8 not kept", id3v2(3, {frame(3, "TIT2", utf8Text("Hi"))}), &TID3v2::Title, ""},
        {"unknown encoding not kept", id3v2(4, {frame(4, "TIT2", cat({{5}, bytes("Hi")}))}),
         &TID3v2::Title, ""},
        {"leading and trailing controls removed",
         id3v2(3, {frame(3, "TIT2", latin1Text(std::string("\x01 Hi \0\0", 7)))}), &TID3v2::Title,
         "Hi"},
    });
}

TEST(ID3v2, FieldsAndFallbacks) {
    runCases({
        {"TIT1 alone", id3v2(3, {frame(3, "TIT1", latin1Text("Group"))}), &TID3v2::Title, "Group"},
        {"TIT2 wins over TIT1",
         id3v2(3, {frame(3, "TIT2", latin1Text("Main")), frame(3, "TIT1", latin1Text("Group"))}),
         &TID3v2::Title, "Main"},
        {"TOPE alone", id3v2(3, {frame(3, "TOPE", latin1Text("Orig"))}), &TID3v2::Artist, "Orig"},
        {"TPE1 wins",
         id3v2(3, {frame(3, "TOPE", latin1Text("Orig")), frame(3, "TPE1", latin1Text("Art"))}),
         &TID3v2::Artist, "Art"},
        {"TOAL alone", id3v2(3, {frame(3, "TOAL", latin1Text("Old"))}), &TID3v2::Album, "Old"},
        {"TALB", id3v2(3, {frame(3, "TALB", latin1Text("New"))}), &TID3v2::Album, "New"},
        {"genre after number", id3v2(3, {frame(3, "TCON", latin1Text("(17)Rock"))}), &TID3v2::Genre,
         "Rock"},
        {"genre number only", id3v2(3, {frame(3, "TCON", latin1Text("(17)"))}), &TID3v2::Genre, ""},
        {"genre text", id3v2(3, {frame(3, "TCON", latin1Text("Rock"))}), &TID3v2::Genre, "Rock"},
        {"genre after last parenthesis", id3v2(3, {frame(3, "TCON", latin1Text("(1)(17)Jazz"))}),
         &TID3v2::Genre, "Jazz"},
        {"TDRC gives year", id3v2(4, {frame(4, "TDRC", latin1Text("2004-05-01"))}), &TID3v2::Year,
         "2004"},
        {"TYER wins over TDRC",
         id3v2(4,
               {frame(4, "TDRC", latin1Text("2004-05-01")), frame(4, "TYER", latin1Text("1999"))}),
         &TID3v2::Year, "1999"},
        {"composer", id3v2(3, {frame(3, "TCOM", latin1Text("Bach"))}), &TID3v2::Composer, "Bach"},
        {"encoder", id3v2(3, {frame(3, "TENC", latin1Text("enc"))}), &TID3v2::Encoder, "enc"},
        {"copyright", id3v2(3, {frame(3, "TCOP", latin1Text("(c)"))}), &TID3v2::Copyright, "(c)"},
        {"language", id3v2(3, {frame(3, "TLAN", latin1Text("fra"))}), &TID3v2::Language, "fra"},
        {"track text", id3v2(3, {frame(3, "TRCK", latin1Text("3/12"))}), &TID3v2::TrackText,
         "3/12"},
        {"later frame replaces earlier",
         id3v2(3, {frame(3, "TIT2", latin1Text("One")), frame(3, "TIT2", latin1Text("Two"))}),
         &TID3v2::Title, "Two"},
    });
}

TEST(ID3v2, CommentAndLink) {
    const Bytes eng = bytes("eng");
    runCases({
        {"comment without description",
         id3v2(3, {frame(3, "COMM", cat({{0}, eng, {0}, bytes("Text")}))}), &TID3v2::Comment,
         "Text"},
        {"comment with description",
         id3v2(3, {frame(3, "COMM", cat({{0}, eng, bytes("desc"), {0}, bytes("Text")}))}),
         &TID3v2::Comment, "Text"},
        {"UTF-16 comment, empty description",
         id3v2(3, {frame(3, "COMM",
                         cat({{1},
                              eng,
                              utf16Chars(u"", Bom::LittleEndian, false),
                              {0, 0},
                              utf16Chars(u"Text", Bom::LittleEndian, false)}))}),
         &TID3v2::Comment, "Text"},
        {"UTF-16 comment, description ending in an ASCII character",
         id3v2(3, {frame(3, "COMM",
                         cat({{1},
                              eng,
                              utf16Chars(u"AB", Bom::LittleEndian, false),
                              {0, 0},
                              utf16Chars(u"Text", Bom::LittleEndian, false)}))}),
         &TID3v2::Comment, "Text"},
        {"two comments: the later one",
         id3v2(3, {frame(3, "COMM", cat({{0}, eng, {0}, bytes("First")})),
                   frame(3, "COMM", cat({{0}, eng, {0}, bytes("Second")}))}),
         &TID3v2::Comment, "Second"},
        {"link", id3v2(3, {frame(3, "WXXX", cat({{0}, bytes("site"), {0}, bytes("http://a.b")}))}),
         &TID3v2::Link, "http://a.b"},
        {"link after a UTF-16 description",
         id3v2(3, {frame(3, "WXXX",
                         cat({{1},
                              utf16Chars(u"d", Bom::LittleEndian, false),
                              {0, 0},
                              bytes("http://a.b")}))}),
         &TID3v2::Link, "http://a.b"},
    });
}

TEST(ID3v2, TrackNumber) {
    const std::pair<const char*, int> cases[] = {{"3/12", 3}, {"12", 12}, {"A3", 0}, {"", 0}};
    for (const auto& [text, track] : cases) {
        TID3v2 r;
        ASSERT_TRUE(r.parse(file(id3v2(3, {frame(3, "TRCK", latin1Text(text))}))));
        EXPECT_EQ(r.Track(), track) << text;
    }
}

TEST(ID3v2, FrameWalk) {
    const Bytes big = cat({{0}, Bytes(699, 'A')});
    Bytes compressed = frame(3, "TIT2", latin1Text("Hidden"), 0x80);
    // An extended header reads as a frame whose ID starts with a zero byte.
    const Bytes extended = cat({be32(6), Bytes(6, 0)});
    runCases({
        {"a 700-byte frame keeps 500 bytes", id3v2(3, {frame(3, "TIT2", big)}), &TID3v2::Title,
         std::string(499, 'A')},
        {"the walk goes on after a 700-byte frame",
         id3v2(3, {frame(3, "TIT2", big), frame(3, "TPE1", latin1Text("Next"))}), &TID3v2::Artist,
         "Next"},
        {"compressed frame skipped", id3v2(3, {compressed}), &TID3v2::Title, ""},
        {"walk goes on after a compressed frame",
         id3v2(3, {compressed, frame(3, "TPE1", latin1Text("After"))}), &TID3v2::Artist, "After"},
        {"empty frame", id3v2(3, {frame(3, "TIT2", {}), frame(3, "TPE1", latin1Text("A"))}),
         &TID3v2::Artist, "A"},
        {"padding ends the walk", id3v2(3, {frame(3, "TIT2", latin1Text("T"))}, 64), &TID3v2::Title,
         "T"},
        {"lower-case ID ends the walk",
         id3v2(3, {frame(3, "tIT2", latin1Text("x")), frame(3, "TPE1", latin1Text("A"))}),
         &TID3v2::Artist, ""},
        {"extended header ends the walk",
         id3v2(3, {extended, frame(3, "TIT2", latin1Text("T"))}, 0, 0x40), &TID3v2::Title, ""},
        {"version 2.2 frames",
         id3v2(2, {frame(2, "TT2", latin1Text("Old")), frame(2, "TP1", latin1Text("Who"))}),
         &TID3v2::Artist, "Who"},
        {"version 2.2 UTF-16", id3v2(2, {frame(2, "TT2", utf16Text(u"Wide"))}), &TID3v2::Title,
         "Wide"},
        {"version 2.2 ID in a 2.3 tag is ignored", id3v2(3, {frame(3, "TT2 ", latin1Text("x"))}),
         &TID3v2::Title, ""},
        {"version 2.4 syncsafe frame sizes",
         id3v2(4,
               {frame(4, "TIT2", cat({{0}, Bytes(199, 'B')})), frame(4, "TPE1", latin1Text("Z"))}),
         &TID3v2::Artist, "Z"},
        {"version 2.3 sizes are plain",
         id3v2(3,
               {frame(3, "TIT2", cat({{0}, Bytes(199, 'B')})), frame(3, "TPE1", latin1Text("Z"))}),
         &TID3v2::Artist, "Z"},
    });
}

TEST(ID3v2, HeaderAndSize) {
    TID3v2 r;
    const Bytes tag = id3v2(3, {frame(3, "TIT2", latin1Text("T"))});
    ASSERT_TRUE(r.parse(file(tag)));
    EXPECT_EQ(r.VersionId(), 3);
    EXPECT_EQ(r.Size(), static_cast<std::int32_t>(tag.size()));

    const Bytes withFooter = id3v2(4, {frame(4, "TIT2", latin1Text("T"))}, 0, 0x10);
    ASSERT_TRUE(r.parse(file(withFooter)));
    EXPECT_EQ(r.Size(), 10 + 12 + 10); // header, one 12-byte frame, footer
    EXPECT_EQ(r.Title(), "T");

    // The size bytes are taken whole: 0x80 in the last byte counts 128.
    Bytes unmasked = file(id3v2(3, {}, 20));
    unmasked[9] = 0x80;
    ASSERT_TRUE(r.parse(unmasked));
    EXPECT_EQ(r.Size(), 138);

    // Larger than the file: found, size 0, nothing read.
    Bytes tooBig = tag;
    tooBig[6] = 0x7F;
    ASSERT_TRUE(r.parse(tooBig));
    EXPECT_TRUE(r.Found());
    EXPECT_EQ(r.Size(), 0);
    EXPECT_EQ(r.Title(), "");

    Bytes v5 = file(tag);
    v5[3] = 5;
    ASSERT_TRUE(r.parse(v5));
    EXPECT_TRUE(r.Found());
    EXPECT_EQ(r.VersionId(), 5);
    EXPECT_EQ(r.Title(), "");
}

TEST(ID3v2, NoTagAndShortFiles) {
    TID3v2 r;
    ASSERT_TRUE(r.parse(file(id3v2(3, {frame(3, "TIT2", latin1Text("T"))}))));
    EXPECT_TRUE(r.parse(Bytes(10, 'x')));
    EXPECT_FALSE(r.Found());
    EXPECT_EQ(r.VersionId(), 0);
    EXPECT_EQ(r.Size(), 0);
    EXPECT_EQ(r.Title(), "");
    EXPECT_FALSE(r.parse(bytes("ID3\x03\x00\x00\x00\x00\x00")));
    EXPECT_FALSE(r.Found());
    // Exactly a header, no body.
    EXPECT_TRUE(r.parse(bytes(std::string_view("ID3\x03\x00\x00\x00\x00\x00\x00", 10))));
    EXPECT_TRUE(r.Found());
    EXPECT_EQ(r.Size(), 10);
    EXPECT_FALSE(r.LoadFromFile("/nonexistent/tuval.mp3"));
}

TEST(ID3v2, FrameSizesPastTheEnd) {
    // A frame that claims 0xFFFFFFFF bytes: its available bytes are read and the walk ends.
    Bytes tag = id3v2(3, {frame(3, "TIT2", latin1Text("Huge"))});
    const Bytes size = be32(0xFFFFFFFF);
    std::copy(size.begin(), size.end(), tag.begin() + 14);
    TID3v2 r;
    ASSERT_TRUE(r.parse(file(tag)));
    EXPECT_EQ(r.Title().substr(0, 4), "Huge");
}

} // namespace
