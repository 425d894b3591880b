#include "tags/MPEGaudio.h"

#include "MpegBuilder.h"
#include "TagFixtures.h"
#include "TempFile.h"

#include <gtest/gtest.h>
#include <vector>

namespace tags {
namespace {

using test::ByteBuilder;
namespace mp3 = test::mp3;

TMpegFrame decoded(const mp3::Header& h) {
    return mpeg::decodeHeader(h, 0);
}

TEST(MpegFrame, HeaderFieldsAreDecoded) {
    const TMpegFrame f = mpeg::decodeHeader(std::array<std::uint8_t, 4>{0xFF, 0xFA, 0x93, 0x6D}, 0);
    EXPECT_EQ(f.VersionId, 3);
    EXPECT_EQ(f.LayerId, 1);
    EXPECT_TRUE(f.ProtectionBit);
    EXPECT_EQ(f.BitRateIndex, 9);
    EXPECT_EQ(f.SampleRateIndex, 0);
    EXPECT_TRUE(f.PaddingBit);
    EXPECT_TRUE(f.PrivateBit);
    EXPECT_EQ(f.ModeId, 1);
    EXPECT_EQ(f.ModeExtension, 2);
    EXPECT_TRUE(f.CopyrightBit);
    EXPECT_TRUE(f.OriginalBit);
    EXPECT_EQ(f.EmphasisId, 1);
}

TEST(MpegFrame, HeaderTest) {
    struct Case {
        const char* what;
        mp3::Header h;
        bool header;
    };
    const Case cases[] = {
        {"MPEG 1 Layer III", mp3::kStereo128, true},
        {"MPEG 2.5 Layer II", mp3::kMpeg25Layer2, true},
        {"sync cut short", {0xFF, 0xDB, 0x90, 0x00}, false},
        {"no sync", {0xFE, 0xFB, 0x90, 0x00}, false},
        {"reserved version", {0xFF, 0xEB, 0x90, 0x00}, false},
        {"reserved layer", {0xFF, 0xF9, 0x90, 0x00}, false},
        {"free format", {0xFF, 0xFB, 0x00, 0x00}, false},
        {"bit-rate index 15", {0xFF, 0xFB, 0xF0, 0x00}, false},
        {"sample-rate index 3", {0xFF, 0xFB, 0x9C, 0x00}, false},
        {"reserved emphasis", {0xFF, 0xFB, 0x90, 0x02}, false},
        {"emphasis CCIT", {0xFF, 0xFB, 0x90, 0x03}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(mpeg::isFrameHeader(c.h, 0), c.header);
    }
    EXPECT_FALSE(mpeg::isFrameHeader(std::array<std::uint8_t, 3>{0xFF, 0xFB, 0x90}, 0));
}

TEST(MpegFrame, TablesAndFrameLength) {
    struct Case {
        const char* what;
        mp3::Header h;
        unsigned bitRate, sampleRate, coefficient, padding, length;
    };
    const Case cases[] = {
        {"MPEG 1 III 128k 44.1k", mp3::kStereo128, 128, 44100, 144, 0, 417},
        {"same, padded", mp3::kStereo128Padded, 128, 44100, 144, 1, 418},
        {"MPEG 1 III 320k 48k", {0xFF, 0xFB, 0xE4, 0x00}, 320, 48000, 144, 0, 960},
        {"MPEG 1 II 384k 32k padded", {0xFF, 0xFD, 0xEA, 0x00}, 384, 32000, 144, 1, 1729},
        {"MPEG 1 I 128k 44.1k", mp3::kLayer1, 128, 44100, 48, 0, 136},
        {"MPEG 1 I padded", {0xFF, 0xFF, 0x42, 0x00}, 128, 44100, 48, 4, 140},
        {"MPEG 1 I 448k 32k", {0xFF, 0xFF, 0xE8, 0x00}, 448, 32000, 48, 0, 672},
        {"MPEG 2 I 256k 22.05k", {0xFF, 0xF7, 0xE0, 0x00}, 256, 22050, 24, 0, 556},
        {"MPEG 2 III 64k 24k", mp3::kMpeg2Stereo64, 64, 24000, 72, 0, 192},
        {"MPEG 2 II 160k 16k", {0xFF, 0xF5, 0xE8, 0x00}, 160, 16000, 144, 0, 1440},
        {"MPEG 2.5 III 8k 8k", {0xFF, 0xE3, 0x18, 0x00}, 8, 8000, 72, 0, 72},
        {"MPEG 2.5 II 160k 8k padded", {0xFF, 0xE5, 0xEA, 0x00}, 160, 8000, 144, 1, 2881},
        {"MPEG 2.5 III 12k", {0xFF, 0xE3, 0x54, 0x00}, 40, 12000, 72, 0, 240},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TMpegFrame f = decoded(c.h);
        EXPECT_EQ(mpeg::tableBitRate(f), c.bitRate);
        EXPECT_EQ(mpeg::tableSampleRate(f), c.sampleRate);
        EXPECT_EQ(mpeg::coefficient(f), c.coefficient);
        EXPECT_EQ(mpeg::paddingBytes(f), c.padding);
        EXPECT_EQ(mpeg::frameLength(f), c.length);
    }
    const TMpegFrame cleared;
    EXPECT_EQ(mpeg::tableBitRate(cleared), 0);
    EXPECT_EQ(mpeg::tableSampleRate(cleared), 0);
    EXPECT_EQ(mpeg::frameLength(cleared), 0);
}

TEST(MpegFrameSearch, NeedsTwoConsecutiveHeaders) {
    ByteBuilder b;
    b.fill(10, 0x55);
    mp3::frames(b, mp3::kStereo128, 300, 1); // a lone header: 417 bytes on is no header
    b.fill(7);
    mp3::frames(b, mp3::kStereo128, 417, 3);
    const auto r = mpeg::searchFrame(b.data());
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->frame.Found);
    EXPECT_EQ(r->frame.Position, 317);
    EXPECT_EQ(r->frame.Size, 417);
    EXPECT_TRUE(r->frame.ZeroSideInfo);
    EXPECT_FALSE(r->vbr.Found);
}

TEST(MpegFrameSearch, CandidatesStopAtPosition1729) {
    for (std::size_t junk : {1729u, 1730u}) {
        ByteBuilder b;
        b.fill(junk, 0x11);
        mp3::frames(b, mp3::kStereo128, 417, 3);
        EXPECT_EQ(mpeg::searchFrame(b.data()).has_value(), junk == 1729) << junk;
    }
}

TEST(MpegFrameSearch, NextHeaderPastTheWindowIsLookedAt) {
    ByteBuilder b;
    b.fill(1000, 0x22);
    mp3::frames(b, mp3::kMpeg25Layer2, 2880, 2); // second header at 3880
    const auto r = mpeg::searchFrame(b.data());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->frame.Position, 1000);
    EXPECT_EQ(r->frame.Size, 2880);
    // A window that ends before the second header holds zeros there.
    EXPECT_FALSE(mpeg::searchFrame(std::span(b.data()).first(3800)));
}

TEST(MpegFrameSearch, VbrHeaders) {
    {
        SCOPED_TRACE("Xing, MPEG 1 stereo");
        const auto r = mpeg::searchFrame(mp3::xingStream(1000, 417'000).data());
        ASSERT_TRUE(r);
        EXPECT_TRUE(r->vbr.Found);
        EXPECT_EQ(r->vbr.Id, "Xing");
        EXPECT_EQ(r->vbr.Frames, 1000);
        EXPECT_EQ(r->vbr.Bytes, 417'000);
        EXPECT_EQ(r->vbr.Scale, 57);
        EXPECT_EQ(r->vbr.Vendor, "LAME3.10");
    }
    {
        SCOPED_TRACE("Xing, MPEG 1 mono");
        const auto r = mpeg::searchFrame(mp3::xingStream(10, 4170, 21, mp3::kMono128).data());
        ASSERT_TRUE(r);
        EXPECT_TRUE(r->vbr.Found);
        EXPECT_EQ(r->vbr.Frames, 10);
    }
    {
        SCOPED_TRACE("Xing, MPEG 2 stereo");
        const auto r =
            mpeg::searchFrame(mp3::xingStream(7, 1344, 21, mp3::kMpeg2Stereo64, 192).data());
        ASSERT_TRUE(r);
        EXPECT_TRUE(r->vbr.Found);
        EXPECT_EQ(r->vbr.Bytes, 1344);
    }
    {
        SCOPED_TRACE("Xing at the stereo offset of a mono frame");
        const auto r = mpeg::searchFrame(mp3::xingStream(10, 4170, 36, mp3::kMono128).data());
        ASSERT_TRUE(r);
        EXPECT_FALSE(r->vbr.Found);
    }
    {
        SCOPED_TRACE("VBRI");
        ByteBuilder b;
        b.u8(0xFF).u8(0xFB).u8(0x90).u8(0x00).fill(32);
        b.text("VBRI").u8(0).u8(1).u8(0).u8(0).u8(0).u8(75).be32(300'000).be32(777);
        b.fill(417 - b.size());
        mp3::frames(b, mp3::kStereo128, 417, 3);
        const auto r = mpeg::searchFrame(b.data());
        ASSERT_TRUE(r);
        EXPECT_TRUE(r->vbr.Found);
        EXPECT_EQ(r->vbr.Id, "VBRI");
        EXPECT_EQ(r->vbr.Scale, 75);
        EXPECT_EQ(r->vbr.Bytes, 300'000);
        EXPECT_EQ(r->vbr.Frames, 777);
        EXPECT_EQ(r->vbr.Vendor, "");
    }
}

TEST(MpegVendorSearch, NearestTheEndWithinRange) {
    auto window = [](std::vector<std::pair<std::size_t, std::string_view>> marks) {
        std::vector<std::uint8_t> w(mpeg::kSearchWindow, 0x55);
        for (auto [at, text] : marks)
            std::copy(text.begin(), text.end(), w.begin() + static_cast<std::ptrdiff_t>(at));
        return w;
    };
    EXPECT_EQ(mpeg::searchVendor(window({{3000, "LAME3.98"}, {3300, "LAME3.99"}}), 2085),
              "LAME3.99");
    EXPECT_EQ(mpeg::searchVendor(window({{3450, "LAME3.97"}}), 0), "LAME3.97");
    EXPECT_EQ(mpeg::searchVendor(window({{3000, "GOGO-x"}}), 2085), "GOGO");
    // 3458 - i - 8 = 1000 needs i = 2450, outside a range of 2085.
    EXPECT_EQ(mpeg::searchVendor(window({{1000, "LAME3.99"}}), 2085), "");
    // A range past the window start is cut to the window.
    EXPECT_EQ(mpeg::searchVendor(window({{0, "LAME3.99"}}), 60000), "LAME3.99");
    EXPECT_EQ(mpeg::searchVendor(window({}), 60000), "");
}

// ---- The whole reader over byte-built files ------------------------------------------------

std::vector<std::uint8_t> id3v1Tag(std::string_view title, std::string_view artist) {
    return tagfixtures::id3v1(title, artist);
}

std::vector<std::uint8_t> id3v2Tag(std::string_view title) {
    return tagfixtures::id3v2(3, {tagfixtures::frame(3, "TIT2", tagfixtures::latin1Text(title))},
                              20);
}

TEST(MPEGaudio, ConstantBitRateStreamWithTags) {
    const auto v2 = id3v2Tag("Titre v2");
    ByteBuilder b;
    b.bytes(v2);
    mp3::frames(b, mp3::kStereo128, 417, 200);
    b.text("LAME3.99r").fill(100);
    b.bytes(id3v1Tag("Titre v1", "Artiste"));
    TMPEGaudio mp3;
    ASSERT_TRUE(mp3.parse(b.data()));
    ASSERT_TRUE(mp3.Valid());
    EXPECT_EQ(mp3.FileSize(), static_cast<std::int64_t>(b.size()));
    EXPECT_EQ(mp3.WindowOffset(), static_cast<std::int64_t>(v2.size()));
    EXPECT_EQ(mp3.Frame().Position, 0);
    EXPECT_EQ(mp3.BitRate(), 128);
    EXPECT_EQ(mp3.SampleRate(), 44100);
    EXPECT_EQ(mp3.Channels(), 2);
    EXPECT_FALSE(mp3.Vbr().Found);
    EXPECT_EQ(mp3.Vendor(), "LAME3.99");
    EXPECT_TRUE(mp3.Id3v1().Found());
    EXPECT_EQ(mp3.Id3v1().Title(), "Titre v1");
    EXPECT_TRUE(mp3.Id3v2().Found());
    EXPECT_EQ(mp3.Id3v2().Title(), "Titre v2");
    const double audio = double(b.size() - v2.size() - 128);
    EXPECT_DOUBLE_EQ(mp3.Duration(), audio / 128 / 1000 * 8);
    EXPECT_EQ(mp3.VersionName(), "MPEG 1");
    EXPECT_EQ(mp3.LayerName(), "Layer III");
    EXPECT_EQ(mp3.ChannelModeName(), "Stereo");
    EXPECT_EQ(mp3.EmphasisName(), "None");
}

TEST(MPEGaudio, XingStreamTakesBitRateAndDurationFromItsCounts) {
    ByteBuilder b = mp3::xingStream(1000, 400'000);
    TMPEGaudio mp3;
    ASSERT_TRUE(mp3.parse(b.data()));
    ASSERT_TRUE(mp3.Valid());
    EXPECT_TRUE(mp3.Vbr().Found);
    // 400 bytes a frame * 44100 / 144 / 1000 = 122.5, rounded to even.
    EXPECT_EQ(mp3.BitRate(), 122);
    EXPECT_DOUBLE_EQ(mp3.Duration(), 1000 * 1152 / 44100.0);
    EXPECT_EQ(mp3.Vendor(), ""); // no end search for VBR files
}

TEST(MPEGaudio, VbrCountsThatMakeNoSenseAreNotValid) {
    TMPEGaudio mp3;
    ASSERT_TRUE(mp3.parse(mp3::xingStream(1, 2'000'000'000).data()));
    EXPECT_EQ(mp3.BitRate(), 65535);
    EXPECT_FALSE(mp3.Valid());
    ASSERT_TRUE(mp3.parse(mp3::xingStream(1000, 0x80000000u).data()));
    EXPECT_EQ(mp3.BitRate(), 0);
    EXPECT_FALSE(mp3.Valid());
    // Zero frames: the constant bit-rate formulas.
    ASSERT_TRUE(mp3.parse(mp3::xingStream(0, 0).data()));
    EXPECT_TRUE(mp3.Vbr().Found);
    EXPECT_EQ(mp3.BitRate(), 128);
    EXPECT_TRUE(mp3.Valid());
}

TEST(MPEGaudio, MiddleSearchFindsFramesAfterJunk) {
    ByteBuilder b;
    b.fill(20'000, 0x33);
    mp3::frames(b, mp3::kStereo128, 417, 60);
    TMPEGaudio mp3;
    ASSERT_TRUE(mp3.parse(b.data()));
    ASSERT_TRUE(mp3.Valid());
    const std::int64_t middle = static_cast<std::int64_t>(b.size()) / 2;
    EXPECT_EQ(mp3.WindowOffset(), middle);
    const std::int64_t firstFrameAfterMiddle = 20'000 + (middle - 20'000 + 416) / 417 * 417;
    EXPECT_EQ(mp3.WindowOffset() + mp3.Frame().Position, firstFrameAfterMiddle);
}

TEST(MPEGaudio, ShortFileIsNotSearchedTwice) {
    ByteBuilder b;
    b.fill(1800, 0x33);
    mp3::frames(b, mp3::kStereo128, 417, 3); // 3051 bytes: under a window
    TMPEGaudio mp3;
    EXPECT_TRUE(mp3.parse(b.data()));
    EXPECT_FALSE(mp3.Valid());
    EXPECT_FALSE(mp3.Frame().Found);
}

TEST(MPEGaudio, Layer1StreamIsRecognised) {
    ByteBuilder b;
    mp3::frames(b, mp3::kLayer1, 136, 400);
    TMPEGaudio mp3;
    mp3.parse(b.data());
    ASSERT_TRUE(mp3.Valid());
    EXPECT_EQ(mp3.Frame().Size, 136);
    EXPECT_EQ(mp3.LayerName(), "Layer I");
}

TEST(MPEGaudio, TooShortOrNoFrameIsNotValid) {
    TMPEGaudio mp3;
    {
        SCOPED_TRACE("two frames last 0.05 s");
        ByteBuilder b;
        mp3::frames(b, mp3::kStereo128, 417, 2);
        mp3.parse(b.data());
        EXPECT_TRUE(mp3.Frame().Found);
        EXPECT_FALSE(mp3.Valid());
    }
    {
        SCOPED_TRACE("ID3v1 tag without a frame: the tag is dropped too");
        ByteBuilder b;
        b.fill(5000, 0x44).bytes(id3v1Tag("Titre", "Artiste"));
        EXPECT_TRUE(mp3.parse(b.data()));
        EXPECT_FALSE(mp3.Valid());
        EXPECT_FALSE(mp3.Id3v1().Found());
        EXPECT_EQ(mp3.Id3v1().Title(), "");
    }
    {
        SCOPED_TRACE("shorter than an ID3v1 tag: the tag readers fail");
        ByteBuilder b;
        mp3::frames(b, mp3::kMpeg2Stereo64, 100, 1);
        EXPECT_FALSE(mp3.parse(b.data()));
        EXPECT_FALSE(mp3.Valid());
    }
    {
        SCOPED_TRACE("cleared state");
        mp3.Clear();
        EXPECT_EQ(mp3.SampleRate(), 0);
        EXPECT_EQ(mp3.Duration(), 0.0);
        EXPECT_EQ(mp3.VersionName(), "MPEG ?");
        EXPECT_EQ(mp3.LayerName(), "Layer ?");
        EXPECT_EQ(mp3.ChannelModeName(), "Unknown");
        EXPECT_EQ(mp3.EmphasisName(), "Unknown");
    }
}

TEST(MPEGaudio, EndSearchOfAFileShorterThanTheWindowFailsButKeepsTheFrame) {
    ByteBuilder b;
    mp3::frames(b, mp3::kStereo128, 417, 8); // 3336 bytes, 0.2 s
    TMPEGaudio mp3;
    EXPECT_FALSE(mp3.parse(b.data()));
    EXPECT_TRUE(mp3.Valid());
}

TEST(MPEGaudio, LoadFromFile) {
    ByteBuilder b;
    mp3::frames(b, mp3::kStereo128, 417, 100);
    const test::TempFile file(b, ".mp3");
    TMPEGaudio mp3;
    EXPECT_TRUE(mp3.LoadFromFile(file.path()));
    EXPECT_TRUE(mp3.Valid());
    EXPECT_FALSE(mp3.LoadFromFile(file.path() + ".missing"));
    EXPECT_FALSE(mp3.Valid());
    EXPECT_EQ(TMPEGaudio::encoderName(3), "LAME");
    EXPECT_EQ(TMPEGaudio::encoderName(8), "Unknown");
}

} // namespace
} // namespace tags
