#include "tags/WAVfile.h"

#include "ByteBuilder.h"
#include "TempFile.h"

#include <gtest/gtest.h>

namespace tags {
namespace {

using test::ByteBuilder;

struct Format {
    std::uint16_t tag = 1;
    std::uint16_t channels = 2;
    std::uint32_t sampleRate = 44100;
    std::uint16_t bits = 16;
};

// "RIFF", size, "WAVE", then a "fmt " chunk of fmtSize bytes (16 canonical, more adds zeros).
ByteBuilder riffStart(std::uint32_t riffSize, const Format& f, std::uint32_t fmtSize = 16) {
    const std::uint16_t align = f.channels * (f.bits / 8);
    ByteBuilder b;
    b.text("RIFF").le32(riffSize).text("WAVE").text("fmt ").le32(fmtSize);
    b.le16(f.tag).le16(f.channels).le32(f.sampleRate).le32(f.sampleRate * align).le16(align);
    b.le16(f.bits);
    b.fill(fmtSize > 16 ? fmtSize - 16 : 0);
    return b;
}

ByteBuilder canonical(std::uint32_t riffSize, const Format& f = {}) {
    return riffStart(riffSize, f).text("data").le32(riffSize - 36).fill(64);
}

std::vector<std::uint8_t> cut(const std::vector<std::uint8_t>& b, std::size_t n) {
    return {b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n)};
}

TEST(WAVfile, CanonicalHeaderGivesDurationFromRiffSize) {
    TWAVfile wav;
    ASSERT_TRUE(wav.parse(canonical(1'764'036).data()));
    EXPECT_TRUE(wav.Valid());
    EXPECT_EQ(wav.FormatTag(), 1);
    EXPECT_EQ(wav.Channels(), 2);
    EXPECT_EQ(wav.SampleRate(), 44100u);
    EXPECT_EQ(wav.BytesPerSecond(), 176'400u);
    EXPECT_EQ(wav.BlockAlign(), 4);
    EXPECT_EQ(wav.BitsPerSample(), 16);
    EXPECT_EQ(wav.SampleCount(), 0);
    EXPECT_EQ(wav.HeaderSize(), 44);
    EXPECT_EQ(wav.FileSize(), 1'764'044u);
    EXPECT_DOUBLE_EQ(wav.Duration(), 10.0);
    EXPECT_EQ(wav.ChannelModeName(), "Stereo");
}

TEST(WAVfile, FactChunkSampleCountTakesPrecedence) {
    const ByteBuilder b = riffStart(999, {}, 18).text("fact").le32(4).le32(441'000).text("data");
    TWAVfile wav;
    ASSERT_TRUE(wav.parse(b.data()));
    EXPECT_TRUE(wav.Valid());
    EXPECT_EQ(wav.SampleCount(), 441'000);
    EXPECT_EQ(wav.HeaderSize(), 58);
    EXPECT_DOUBLE_EQ(wav.Duration(), 10.0);
}

// Writers often put a "LIST" chunk after "fmt "; its first bytes are no sample count.
TEST(WAVfile, ChunkOtherThanFactAfterFmtGivesNoSampleCount) {
    const std::uint32_t riffSize = 1'764'036 + 26;
    const ByteBuilder b = riffStart(riffSize, {})
                              .text("LIST")
                              .le32(18)
                              .text("INFOISFT")
                              .le32(6)
                              .text(std::string_view("Lavf\0\0", 6))
                              .text("data")
                              .le32(1'764'000);
    TWAVfile wav;
    ASSERT_TRUE(wav.parse(b.data()));
    EXPECT_TRUE(wav.Valid());
    EXPECT_EQ(wav.SampleCount(), 0);
    EXPECT_EQ(wav.HeaderSize(), 56);
    EXPECT_NEAR(wav.Duration(), 10.0, 0.001);
}

TEST(WAVfile, ValidityAndSizeCases) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        bool result;
        bool valid;
        double duration;
    };
    ByteBuilder notRiff = canonical(1000);
    notRiff.putLe32At(0, 0x58464952); // "RIFX"
    ByteBuilder notWave = canonical(1000);
    notWave.putLe32At(8, 0x49564120); // " AVI"
    const std::vector<Case> cases = {
        {"mono", canonical(88'236, {1, 1, 44100, 16}), true, true, 1.0},
        {"six channels", canonical(1000, {1, 6, 48000, 16}), true, false, 0.0},
        {"no channels", canonical(1000, {1, 0, 48000, 16}), true, false, 0.0},
        {"float format tag", canonical(352'836, {3, 2, 44100, 32}), true, true, 1.0},
        {"RIFF size below header", canonical(20), true, true, 0.0},
        {"not RIFF", notRiff, true, false, 0.0},
        {"not WAVE", notWave, true, false, 0.0},
        {"39 bytes", cut(canonical(1000), 39), false, false, 0.0},
        {"fmt 18 cut before the sample count", riffStart(1000, {}, 18).text("fact").le32(4), false,
         false, 0.0},
        {"fmt size overflowing its offset",
         riffStart(1000, {}, 16).putLe32At(16, 0xFFFFFFF0).fill(8), false, false, 0.0},
        {"empty", {}, false, false, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TWAVfile wav;
        EXPECT_EQ(wav.parse(c.bytes), c.result);
        EXPECT_EQ(wav.Valid(), c.valid);
        EXPECT_DOUBLE_EQ(wav.Duration(), c.duration);
    }
}

TEST(WAVfile, HeaderSizeIsCutToFileSize) {
    TWAVfile wav;
    ASSERT_TRUE(wav.parse(canonical(20).data()));
    EXPECT_EQ(wav.FileSize(), 28u);
    EXPECT_EQ(wav.HeaderSize(), 28);
}

TEST(WAVfile, LoadFromFileReadsTheHeaderAndClearsOnFailure) {
    const test::TempFile file(canonical(1'764'036), ".wav");
    TWAVfile wav;
    EXPECT_TRUE(wav.LoadFromFile(file.path()));
    EXPECT_DOUBLE_EQ(wav.Duration(), 10.0);
    EXPECT_FALSE(wav.LoadFromFile(file.path() + ".missing"));
    EXPECT_FALSE(wav.Valid());
    EXPECT_EQ(wav.SampleRate(), 0u);
}

} // namespace
} // namespace tags
