// Thousands of damaged variants of valid tags (bit flips, truncations at either end, length
// fields forced to huge or odd values) fed to every reader. Under the sanitizers this shows the
// readers never read outside the bytes they were given, never hang, and always produce sound
// UTF-8 text of bounded length.

#include "Mutator.h"
#include "TagFixtures.h"
#include "tags/APEtag.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

namespace {

using namespace tagfixtures;
using tags::test::mutate;

std::vector<Bytes> validFiles() {
    const Bytes audio(64, 0xFF);
    const Bytes eng = bytes("eng");
    Bytes v11 = id3v1("Title", "Artist", "Album", "2001", "Comment", 17);
    v11[125] = 0, v11[126] = 4;
    const Bytes apeV2 =
        ape(2000, {apeItem("Title", bytes("T\xC3\xA9")), apeItem("Artist", bytes("A")),
                   apeItem("Track", bytes("3/9")), apeItem("Comment", Bytes(260, 'c'))});
    const Bytes apeV1 =
        ape(1000, {apeItem("TITLE", bytes("x")), apeItem("Year", bytes("1990"))}, true);
    return {
        cat({audio, id3v1("Title", "Artist", "Album", "1999", "Comment", 3)}),
        cat({audio, v11}),
        cat({audio, id3v1("Caf\xC3\xA9", "\xE9t\xE9")}),
        cat({id3v2(2,
                   {frame(2, "TT2", latin1Text("Old")), frame(2, "TP1", utf16Text(u"Who")),
                    frame(2, "COM", cat({{0}, eng, {0}, bytes("c")}))},
                   16),
             audio}),
        cat({id3v2(3,
                   {frame(3, "TIT2", utf16Text(u"Wide")), frame(3, "TPE1", latin1Text("A")),
                    frame(3, "COMM",
                          cat({{1},
                               eng,
                               utf16Chars(u"d", Bom::LittleEndian, false),
                               {0, 0},
                               utf16Chars(u"t", Bom::LittleEndian, false)})),
                    frame(3, "WXXX", cat({{0}, {0}, bytes("http://x")})),
                    frame(3, "TALB", latin1Text("comp"), 0x80),
                    frame(3, "TCON", cat({{0}, Bytes(700, 'g')})),
                    frame(3, "TRCK", latin1Text("1/2"))},
                   32),
             audio}),
        cat({id3v2(4,
                   {frame(4, "TIT2", utf8Text("\xC3\x89t\xC3\xA9")),
                    frame(4, "TPE1", cat({{2}, utf16Chars(u"BE", Bom::None, true)})),
                    frame(4, "TDRC", latin1Text("2004-01-01"))},
                   0, 0x10),
             audio}),
        cat({audio, apeV2}),
        cat({audio, apeV1, id3v1("Both")}),
        cat({id3v2(3, {frame(3, "TIT2", latin1Text("All"))}), audio, apeV2, v11}),
    };
}

void expectSoundText(const std::string& text, std::size_t maxBytes, std::size_t variant) {
    EXPECT_TRUE(tags::isValidUtf8(tags::asBytes(text))) << "variant " << variant;
    EXPECT_LE(text.size(), maxBytes) << "variant " << variant;
}

struct Readers {
    tags::TID3v1 id3v1;
    tags::TID3v2 id3v2;
    tags::TAPEtag ape;
};

void checkReaders(const Readers& r, const Bytes& b, std::size_t variant) {
    constexpr std::size_t kV1 = 30 * 3, kV2 = 500 * 3, kApe = 250 * 3;
    for (const std::string* t : {&r.id3v1.Title(), &r.id3v1.Artist(), &r.id3v1.Album(),
                                 &r.id3v1.Year(), &r.id3v1.Comment()})
        expectSoundText(*t, kV1, variant);
    for (const std::string* t :
         {&r.id3v2.Title(), &r.id3v2.Artist(), &r.id3v2.Album(), &r.id3v2.TrackText(),
          &r.id3v2.Year(), &r.id3v2.Genre(), &r.id3v2.Comment(), &r.id3v2.Composer(),
          &r.id3v2.Encoder(), &r.id3v2.Copyright(), &r.id3v2.Language(), &r.id3v2.Link()})
        expectSoundText(*t, kV2, variant);
    for (const std::string* t : {&r.ape.Title(), &r.ape.Artist(), &r.ape.Album(), &r.ape.Year(),
                                 &r.ape.Genre(), &r.ape.Comment(), &r.ape.Copyright()})
        expectSoundText(*t, kApe, variant);
    EXPECT_GE(r.id3v2.Size(), 0) << "variant " << variant;
    EXPECT_LE(static_cast<std::size_t>(r.id3v2.Size()), b.size()) << "variant " << variant;
    EXPECT_EQ(r.id3v2.Found(), b.size() >= 10 && b[0] == 'I' && b[1] == 'D' && b[2] == '3')
        << "variant " << variant;
    EXPECT_EQ(r.id3v1.Found(), b.size() >= 128 && tags::matchesAt(b, b.size() - 128, "TAG"))
        << "variant " << variant;
}

TEST(TagMutations, ReadersSurviveDamagedTags) {
    constexpr std::size_t kVariantsPerFile = 600;
    constexpr std::size_t kEveryNthOnDisk = 25;
    const auto path = (std::filesystem::temp_directory_path() /
                       ("tag-mutation-" + std::to_string(::getpid()) + ".mp3"))
                          .string();
    std::mt19937 rng(20261210);
    Readers inMemory, onDisk;
    std::size_t variant = 0;
    for (const Bytes& valid : validFiles()) {
        for (std::size_t n = 0; n < kVariantsPerFile; ++n, ++variant) {
            const Bytes b = mutate(valid, rng);
            EXPECT_EQ(inMemory.id3v1.parse(b), b.size() >= 128) << "variant " << variant;
            EXPECT_EQ(inMemory.id3v2.parse(b), b.size() >= 10) << "variant " << variant;
            const bool apeResult = inMemory.ape.parse(b);
            EXPECT_TRUE(!apeResult || b.size() >= 128) << "variant " << variant;
            checkReaders(inMemory, b, variant);
            if (n % kEveryNthOnDisk != 0)
                continue;
            // The file path gives the same result as the byte path.
            std::ofstream(path, std::ios::binary | std::ios::trunc)
                .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
            EXPECT_EQ(onDisk.id3v1.LoadFromFile(path), b.size() >= 128);
            EXPECT_EQ(onDisk.id3v2.LoadFromFile(path), b.size() >= 10);
            EXPECT_EQ(onDisk.ape.LoadFromFile(path), apeResult);
            EXPECT_EQ(onDisk.id3v1.Title(), inMemory.id3v1.Title()) << "variant " << variant;
            EXPECT_EQ(onDisk.id3v2.Title(), inMemory.id3v2.Title()) << "variant " << variant;
            EXPECT_EQ(onDisk.id3v2.Size(), inMemory.id3v2.Size()) << "variant " << variant;
            EXPECT_EQ(onDisk.ape.Title(), inMemory.ape.Title()) << "variant " << variant;
            EXPECT_EQ(onDisk.ape.Comment(), inMemory.ape.Comment()) << "variant " << variant;
        }
    }
    std::filesystem::remove(path);
    EXPECT_EQ(variant, kVariantsPerFile * validFiles().size());
}

// Every 4-byte run of every file forced to the largest unsigned and signed values, in both
// byte orders, so each size, count and length field meets them.
TEST(TagMutations, EveryFieldForcedHuge) {
    Readers r;
    std::size_t variant = 0;
    for (const Bytes& valid : validFiles()) {
        for (std::size_t at = 0; at + 4 <= valid.size(); ++at) {
            for (const Bytes& field : {be32(0xFFFFFFFF), le32(0x7FFFFFFF), be32(0x7FFFFFFF)}) {
                Bytes b = valid;
                std::copy(field.begin(), field.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
                EXPECT_EQ(r.id3v1.parse(b), b.size() >= 128);
                EXPECT_EQ(r.id3v2.parse(b), b.size() >= 10);
                r.ape.parse(b);
                checkReaders(r, b, variant++);
            }
        }
    }
}

// The unmutated files read as intended, so the variants start from real tags.
TEST(TagMutations, ValidFilesAreRead) {
    const auto files = validFiles();
    Readers r;
    ASSERT_TRUE(r.id3v1.parse(files[1]));
    EXPECT_EQ(r.id3v1.Track(), 4);
    ASSERT_TRUE(r.id3v2.parse(files[4]));
    EXPECT_EQ(r.id3v2.Title(), "Wide");
    EXPECT_EQ(r.id3v2.Comment(), "t");
    EXPECT_EQ(r.id3v2.Track(), 1);
    ASSERT_TRUE(r.id3v2.parse(files[5]));
    EXPECT_EQ(r.id3v2.Artist(), "BE");
    EXPECT_EQ(r.id3v2.Year(), "2004");
    ASSERT_TRUE(r.ape.parse(files[8]));
    EXPECT_EQ(r.ape.Title(), "T\u00E9");
    EXPECT_EQ(r.ape.Track(), 3);
    ASSERT_TRUE(r.ape.parse(files[7]));
    EXPECT_EQ(r.ape.Title(), "x");
    EXPECT_EQ(r.ape.Year(), "1990");
}

} // namespace
