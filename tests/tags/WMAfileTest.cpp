#include "tags/WMAfile.h"

#include "AsfBuilder.h"
#include "TempFile.h"

#include <gtest/gtest.h>

namespace tags {
namespace {

namespace asf = test::asf;
using test::ByteBuilder;

TEST(WMAfile, StreamValuesAndFormulas) {
    std::vector<std::vector<std::uint8_t>> objects = {asf::fileProperties(96'000),
                                                      asf::streamProperties(2, 44100, 16000)};
    const std::size_t headerBytes = asf::file(objects).size();
    TWMAfile wma;
    ASSERT_TRUE(wma.parse(asf::file(objects, 1'200'000 - headerBytes)));
    EXPECT_TRUE(wma.Valid());
    EXPECT_EQ(wma.FileSize(), 1'200'000);
    EXPECT_EQ(wma.Channels(), 2);
    EXPECT_EQ(wma.ChannelModeName(), "Stereo");
    EXPECT_EQ(wma.SampleRate(), 44100);
    EXPECT_EQ(wma.BitRate(), 128);
    EXPECT_DOUBLE_EQ(wma.Duration(), 100.0);
}

TEST(WMAfile, DurationIsThePlayTimeLessThePrerollWhenTheFileGivesIt) {
    struct Case {
        std::uint64_t playDuration; // 100 ns
        std::uint64_t preroll;      // ms
        double duration;
    };
    // 1 200 000 bytes at 96 kbit/s: 100 s by length when the play time is missing or
    // not longer than the preroll.
    const Case cases[] = {
        {63'250'000'000, 3'000, 6'322.0},
        {12'345'678, 0, 1.2345678},
        {0, 0, 100.0},
        {30'000'000, 3'000, 100.0},
        {~std::uint64_t{0}, ~std::uint64_t{0}, 100.0},
    };
    TWMAfile wma;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.playDuration);
        std::vector<std::vector<std::uint8_t>> objects = {
            asf::fileProperties(96'000, c.playDuration, c.preroll),
            asf::streamProperties(2, 44100, 16000)};
        const std::size_t headerBytes = asf::file(objects).size();
        ASSERT_TRUE(wma.parse(asf::file(objects, 1'200'000 - headerBytes)));
        ASSERT_TRUE(wma.Valid());
        EXPECT_NEAR(wma.Duration(), c.duration, 1e-9);
    }
}

TEST(WMAfile, ContentDescriptionGivesTitleArtistComment) {
    TWMAfile wma;
    ASSERT_TRUE(wma.parse(asf::stereoFile(
        {asf::contentDescription(u" Ma chanson ", u"L\u00e9a", u"(c)", u"Bonne", u"PG")})));
    ASSERT_TRUE(wma.Valid());
    EXPECT_EQ(wma.Title(), u"Ma chanson");
    EXPECT_EQ(wma.Artist(), u"L\u00e9a");
    EXPECT_EQ(wma.Comment(), u"Bonne");
}

TEST(WMAfile, ExtendedDescriptorsFillTheirSlots) {
    const auto ecd = asf::extendedContentDescription({
        asf::text(u"WM/AlbumTitle", u"Album"),
        asf::text(u" wm/year ", u"2004"),
        asf::text(u"WM/Genre", u"Jazz"),
        asf::text(u"WM/Track", u" 7 "),
        asf::text(u"WM/Description", u"Note"),
        asf::text(u"WM/Composer", u"Ignored"),
    });
    TWMAfile wma;
    ASSERT_TRUE(wma.parse(asf::stereoFile({ecd})));
    ASSERT_TRUE(wma.Valid());
    EXPECT_EQ(wma.Album(), u"Album");
    EXPECT_EQ(wma.Year(), u"2004");
    EXPECT_EQ(wma.Genre(), u"Jazz");
    EXPECT_EQ(wma.Track(), 7);
    EXPECT_EQ(wma.Comment(), u"Note");
}

TEST(WMAfile, LaterDescriptionObjectWins) {
    const auto cd = asf::contentDescription(u"From CD", u"CD artist");
    const auto ecd = asf::extendedContentDescription(
        {asf::text(u"WM/TITLE", u"From ECD"), asf::text(u"WM/AUTHOR", u"ECD artist")});
    TWMAfile wma;
    ASSERT_TRUE(wma.parse(asf::stereoFile({cd, ecd})));
    EXPECT_EQ(wma.Title(), u"From ECD");
    EXPECT_EQ(wma.Artist(), u"ECD artist");
    ASSERT_TRUE(wma.parse(asf::stereoFile({ecd, cd})));
    EXPECT_EQ(wma.Title(), u"From CD");
    EXPECT_EQ(wma.Artist(), u"CD artist");
}

TEST(WMAfile, NonStringDescriptorIsSkippedAndTheNextOneRead) {
    const auto ecd = asf::extendedContentDescription({
        {u"WM/TRACK", 3, ByteBuilder().le32(5)},
        {u"WM/Picture", 1, std::vector<std::uint8_t>(300, 0xAB)},
        asf::text(u"WM/AlbumTitle", u"After"),
    });
    TWMAfile wma;
    ASSERT_TRUE(wma.parse(asf::stereoFile({ecd})));
    EXPECT_EQ(wma.Track(), 0);
    EXPECT_EQ(wma.Album(), u"After");
}

TEST(WMAfile, TrackThatIsNoNumberIsZero) {
    TWMAfile wma;
    ASSERT_TRUE(wma.parse(
        asf::stereoFile({asf::extendedContentDescription({asf::text(u"WM/Track", u"A3")})})));
    EXPECT_EQ(wma.Track(), 0);
}

TEST(WMAfile, LongStringKeeps250UnitsAndTheWalkGoesOn) {
    const std::u16string longTitle(300, u'x');
    TWMAfile wma;
    ASSERT_TRUE(wma.parse(
        asf::stereoFile({asf::contentDescription(longTitle, u"Artist"),
                         asf::extendedContentDescription({asf::text(u"WM/Genre", u"Rock")})})));
    EXPECT_EQ(wma.Title(), std::u16string(250, u'x'));
    EXPECT_EQ(wma.Artist(), u"Artist");
    EXPECT_EQ(wma.Genre(), u"Rock");
}

TEST(WMAfile, ValidityTest) {
    struct Case {
        const char* what;
        std::uint32_t maxBitRate;
        std::uint16_t channels;
        std::uint32_t sampleRate;
        std::uint32_t byteRate;
        bool valid;
    };
    const Case cases[] = {
        {"stereo", 128'000, 2, 44100, 16000, true},
        {"mono", 64'000, 1, 22050, 8000, true},
        {"six channels", 128'000, 6, 44100, 16000, false},
        {"no channels", 128'000, 0, 44100, 16000, false},
        {"no bit rate", 0, 2, 44100, 16000, false},
        {"bit rate 319999", 319'999, 2, 44100, 16000, true},
        {"bit rate 320000", 320'000, 2, 44100, 16000, false},
        {"8000 Hz", 128'000, 2, 8000, 16000, true},
        {"7999 Hz", 128'000, 2, 7999, 16000, false},
        {"96000 Hz", 128'000, 2, 96000, 16000, true},
        {"96001 Hz", 128'000, 2, 96001, 16000, false},
        {"no byte rate", 128'000, 2, 44100, 0, false},
        {"byte rate 39999", 128'000, 2, 44100, 39999, true},
        {"byte rate 40000", 128'000, 2, 44100, 40000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TWMAfile wma;
        EXPECT_TRUE(
            wma.parse(asf::file({asf::fileProperties(c.maxBitRate),
                                 asf::streamProperties(c.channels, c.sampleRate, c.byteRate)})));
        EXPECT_EQ(wma.Valid(), c.valid);
        if (!c.valid) {
            EXPECT_EQ(wma.SampleRate(), 0);
            EXPECT_EQ(wma.Duration(), 0.0);
        }
    }
}

TEST(WMAfile, BrokenHeaders) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        bool result;
    };
    auto cut = [](std::vector<std::uint8_t> b, std::size_t n) {
        b.resize(n);
        return b;
    };
    const auto good = asf::stereoFile({asf::contentDescription(u"T", u"A")});
    auto zeroSize = good;
    // The first object (file properties) starts at 30; its size follows its identifier.
    for (int k = 0; k < 8; ++k)
        zeroSize[30 + 16 + k] = 0;
    auto manyObjects = good;
    manyObjects[24] = manyObjects[25] = manyObjects[26] = manyObjects[27] = 0xFF;
    const Case cases[] = {
        {"not ASF", std::vector<std::uint8_t>(64, 0x41), true},
        {"empty", {}, false},
        {"identifier only", cut(good, 16), false},
        {"cut inside the stream properties", cut(good, 30 + 104 + 60), false},
        {"cut inside a string", cut(good, good.size() - 3), false},
        {"object size 0 ends the walk", zeroSize, true},
        {"object count 2^32-1 runs into the end of the file", manyObjects, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TWMAfile wma;
        EXPECT_EQ(wma.parse(c.bytes), c.result);
        EXPECT_FALSE(wma.Valid());
        EXPECT_TRUE(wma.Title().empty());
    }
}

TEST(WMAfile, LoadFromFile) {
    const test::TempFile file(asf::stereoFile({asf::contentDescription(u"Titre", u"Artiste")}),
                              ".wma");
    TWMAfile wma;
    EXPECT_TRUE(wma.LoadFromFile(file.path()));
    EXPECT_TRUE(wma.Valid());
    EXPECT_EQ(wma.Title(), u"Titre");
    EXPECT_FALSE(wma.LoadFromFile(file.path() + ".missing"));
    EXPECT_FALSE(wma.Valid());
    EXPECT_TRUE(wma.Title().empty());
}

} // namespace
} // namespace tags
