// Broken and mutated stream headers: the readers must neither crash, hang nor read outside
// what they were given, whatever the bytes say. Run under AddressSanitizer and UBSan.

#include "AsfBuilder.h"
#include "MpegBuilder.h"
#include "Mutator.h"
#include "TagFixtures.h"
#include "tags/MPEGaudio.h"
#include "tags/WAVfile.h"
#include "tags/WMAfile.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace tags {
namespace {

using test::ByteBuilder;
using Bytes = std::vector<std::uint8_t>;
namespace asf = test::asf;
namespace mp3 = test::mp3;

std::vector<Bytes> mutations(const Bytes& seed, int count, std::uint32_t rngSeed) {
    std::mt19937 rng(rngSeed);
    std::vector<Bytes> out;
    for (int k = 0; k < count; ++k)
        out.push_back(test::mutate(seed, rng));
    return out;
}

Bytes wavSeed() {
    ByteBuilder b;
    b.text("RIFF").le32(1000).text("WAVE").text("fmt ").le32(18).le16(1).le16(2).le32(44100);
    b.le32(176400).le16(4).le16(16).le16(0).text("fact").le32(4).le32(4410).text("data");
    return b.le32(100).fill(100);
}

Bytes wmaSeed() {
    return asf::stereoFile({asf::contentDescription(u"Titre", u"Artiste", u"", u"Note"),
                            asf::extendedContentDescription({
                                asf::text(u"WM/AlbumTitle", u"Album"),
                                {u"WM/TrackNumber", 3, ByteBuilder().le32(4)},
                                asf::text(u"WM/Track", u"4"),
                                asf::text(u"WM/Genre", u"Jazz"),
                            })},
                           200);
}

Bytes mpegSeed() {
    namespace tf = tagfixtures;
    ByteBuilder b;
    b.bytes(tf::id3v2(3, {tf::frame(3, "TIT2", tf::latin1Text("Titre"))}, 14));
    b.bytes(mp3::xingStream(20, 8340, 36, mp3::kStereo128, 417, 12));
    b.bytes(tf::ape(2000, {tf::apeItem("Title", tf::bytes("Titre"))}, true));
    return b.bytes(tf::id3v1("Titre", "Artiste"));
}

// Every reader, over the same bytes; the checks are those of the sanitizers.
void readAll(const Bytes& bytes) {
    TWAVfile wav;
    wav.parse(bytes);
    (void)wav.Duration();
    TWMAfile wma;
    wma.parse(bytes);
    TMPEGaudio mpeg;
    mpeg.parse(bytes);
    (void)mpeg.Valid();
    (void)mpeg.BitRate();
    (void)mpeg.Duration();
}

TEST(StreamMutation, SeedsAreValid) {
    TWAVfile wav;
    EXPECT_TRUE(wav.parse(wavSeed()));
    EXPECT_TRUE(wav.Valid());
    TWMAfile wma;
    EXPECT_TRUE(wma.parse(wmaSeed()));
    EXPECT_TRUE(wma.Valid());
    TMPEGaudio mpeg;
    mpeg.parse(mpegSeed());
    EXPECT_TRUE(mpeg.Valid());
    EXPECT_TRUE(mpeg.Vbr().Found);
}

TEST(StreamMutation, MutatedHeadersAreReadSafely) {
    const std::pair<const char*, Bytes> seeds[] = {
        {"wav", wavSeed()}, {"wma", wmaSeed()}, {"mpeg", mpegSeed()}};
    std::uint32_t rngSeed = 1;
    for (const auto& [name, seed] : seeds) {
        SCOPED_TRACE(name);
        for (const Bytes& variant : mutations(seed, 3000, rngSeed++))
            readAll(variant);
    }
}

TEST(StreamMutation, CraftedBrokenInputs) {
    auto withLe32 = [](Bytes b, std::size_t at, std::uint32_t v) {
        for (std::size_t i = 0; i < 4; ++i)
            b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
        return b;
    };
    const Bytes wma = wmaSeed();
    // The first object starts at 30, the content description after the two stream objects.
    const std::size_t firstObject = 30;
    const std::size_t description = firstObject + 104 + 94;
    const std::pair<const char*, Bytes> cases[] = {
        {"asf object size 0", withLe32(wma, firstObject + 16, 0)},
        {"asf object size past the end", withLe32(wma, firstObject + 16, 0xFFFFFFF0)},
        {"asf object count 2^32-1", withLe32(wma, 24, 0xFFFFFFFF)},
        {"asf string length past the object", withLe32(wma, description + 24, 0xFFFFFFFF)},
        {"asf descriptor count past the object", withLe32(wma, wma.size() - 200 - 150, 0xFFFFFFFF)},
        {"wav fmt size overflowing its offset", withLe32(wavSeed(), 16, 0xFFFFFFFF)},
        {"wav fmt size pointing past the end", withLe32(wavSeed(), 16, 0x7FFFFFFF)},
        {"mpeg header in the last window bytes",
         ByteBuilder().fill(1729, 0).u8(0xFF).u8(0xE5).u8(0xE8).u8(0).fill(300).data()},
        {"mpeg xing counts of -1",
         mp3::xingStream(0xFFFFFFFF, 0xFFFFFFFF, 36, mp3::kStereo128, 417, 3).data()},
        {"mpeg just headers", Bytes(5000, 0xFF)},
        {"empty", Bytes{}},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        readAll(bytes);
    }
}

} // namespace
} // namespace tags
