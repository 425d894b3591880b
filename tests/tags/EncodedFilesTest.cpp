// Files written by real encoders (ffmpeg, lame) at test time, read back by the readers and
// held against what the encoders were asked for and what ffprobe measures.

#include "tags/MPEGaudio.h"
#include "tags/WAVfile.h"
#include "tags/WMAfile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>

namespace tags {
namespace {

namespace fs = std::filesystem;

bool toolExists(const std::string& tool) {
    return std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) == 0;
}

std::string output(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string out;
    if (!pipe)
        return out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe.get()))
        out += buffer;
    return out;
}

// ffprobe's stream duration (seconds) and audio bit rate (bit/s) of a file.
struct Measured {
    double duration = 0;
    double bitRate = 0;
};

Measured ffprobe(const std::string& path) {
    Measured m;
    m.duration = std::atof(
        output("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'")
            .c_str());
    m.bitRate = std::atof(
        output("ffprobe -v error -select_streams a:0 -show_entries stream=bit_rate -of csv=p=0 '" +
               path + "'")
            .c_str());
    return m;
}

class EncodedFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = fs::temp_directory_path() / ("tuval_encoded_" + std::to_string(::getpid()));
        fs::create_directories(s_folder);
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(s_folder, ignored);
    }
    void SetUp() override {
        if (!toolExists("ffmpeg") || !toolExists("ffprobe"))
            GTEST_SKIP() << "ffmpeg is not installed (scripts/setup.sh installs it)";
    }

    // Encodes `seconds` of a 440 Hz tone with the given ffmpeg output options.
    static std::string encode(const std::string& name, int sampleRate, int channels,
                              const std::string& options, double seconds = 2.0) {
        const std::string path = (s_folder / name).string();
        const std::string command = "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=" +
                                    std::to_string(seconds) +
                                    ":sample_rate=" + std::to_string(sampleRate) + " -ac " +
                                    std::to_string(channels) + " " + options + " '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }

    static inline fs::path s_folder;
};

struct Mp3Case {
    const char* name;
    int sampleRate;
    int channels;
    const char* options;
    int bitRate; // asked of the encoder; 0 for a VBR quality
    unsigned samplesPerFrame;
    const char* title;
    const char* artist;
};

// Title and artist as the index takes them: ID3v1 first, then ID3v2.
std::pair<std::string, std::string> titleAndArtist(const TMPEGaudio& mp3) {
    if (mp3.Id3v1().Found())
        return {mp3.Id3v1().Title(), mp3.Id3v1().Artist()};
    return {mp3.Id3v2().Title(), mp3.Id3v2().Artist()};
}

TEST_F(EncodedFiles, Mp3FilesAgreeWithTheEncoder) {
    const Mp3Case cases[] = {
        {"cbr128.mp3", 44100, 2, "-c:a libmp3lame -b:a 128k", 128, 1152, "Caf\u00e9 noir",
         "Zo\u00e9"},
        {"vbr.mp3", 44100, 2, "-c:a libmp3lame -q:a 2", 0, 1152, "Vite", "Lent"},
        {"mpeg2_mono_id3v1.mp3", 22050, 1, "-c:a libmp3lame -b:a 64k -write_id3v1 1", 64, 576, "Un",
         "Deux"},
        {"mpeg25.mp3", 8000, 1, "-c:a libmp3lame -b:a 32k", 32, 576, "", ""},
        {"vbr48k_mono.mp3", 48000, 1, "-c:a libmp3lame -q:a 5", 0, 1152, "", ""},
        {"layer2.mp3", 48000, 2, "-c:a mp2 -b:a 192k -f mp2", 192, 1152, "", ""},
    };
    TMPEGaudio mp3;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string options = c.options;
        if (*c.title)
            options += std::string(" -metadata title='") + c.title + "' -metadata artist='" +
                       c.artist + "'";
        const std::string path = encode(c.name, c.sampleRate, c.channels, options);
        mp3.LoadFromFile(path);
        ASSERT_TRUE(mp3.Valid());
        EXPECT_EQ(mp3.SampleRate(), c.sampleRate);
        EXPECT_EQ(mp3.Channels(), c.channels);
        EXPECT_EQ(mp3.Vbr().Found, c.bitRate == 0);
        const Measured m = ffprobe(path);
        if (c.bitRate)
            EXPECT_EQ(mp3.BitRate(), c.bitRate);
        else
            EXPECT_NEAR(mp3.BitRate(), m.bitRate / 1000, 2.0);
        // The constant bit-rate formula also counts the encoder's info frame.
        EXPECT_NEAR(mp3.Duration(), m.duration, double(c.samplesPerFrame) / c.sampleRate + 1e-3);
        const auto [title, artist] = titleAndArtist(mp3);
        EXPECT_EQ(title, c.title);
        EXPECT_EQ(artist, c.artist);
    }
}

TEST_F(EncodedFiles, LameFilesAgreeWithTheEncoder) {
    if (!toolExists("lame"))
        GTEST_SKIP() << "lame is not installed (scripts/setup.sh installs it)";
    const std::string wav = encode("lame_in.wav", 44100, 2, "-c:a pcm_s16le");
    struct Case {
        const char* name;
        const char* options;
        int bitRate;
    };
    const Case cases[] = {{"lame_cbr.mp3", "-b 160", 160}, {"lame_vbr.mp3", "-V 4", 0}};
    TMPEGaudio mp3;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (s_folder / c.name).string();
        const std::string command = std::string("lame --silent ") + c.options +
                                    " --tt 'Titre lame' --ta 'Artiste lame' '" + wav + "' '" +
                                    path + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        mp3.LoadFromFile(path);
        ASSERT_TRUE(mp3.Valid());
        EXPECT_EQ(mp3.SampleRate(), 44100);
        EXPECT_EQ(mp3.Vbr().Found, c.bitRate == 0);
        const Measured m = ffprobe(path);
        if (c.bitRate) {
            EXPECT_EQ(mp3.BitRate(), c.bitRate);
            EXPECT_EQ(mp3.Vendor().substr(0, 4), "LAME");
        } else {
            EXPECT_NEAR(mp3.BitRate(), m.bitRate / 1000, 2.0);
        }
        EXPECT_NEAR(mp3.Duration(), m.duration, 1152.0 / 44100 + 1e-3);
        EXPECT_TRUE(mp3.Id3v1().Found());
        EXPECT_EQ(titleAndArtist(mp3).first, "Titre lame");
        EXPECT_EQ(titleAndArtist(mp3).second, "Artiste lame");
    }
}

TEST_F(EncodedFiles, WmaFilesAgreeWithTheEncoder) {
    struct Case {
        const char* name;
        int sampleRate;
        int channels;
        const char* options;
        int bitRate;
    };
    const Case cases[] = {
        {"stereo.wma", 44100, 2, "-c:a wmav2 -b:a 128k", 128},
        {"mono.wma", 22050, 1, "-c:a wmav1 -b:a 32k", 32},
    };
    TWMAfile wma;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path =
            encode(c.name, c.sampleRate, c.channels,
                   std::string(c.options) + " -metadata title='Chanson \u00e0 boire' "
                                            "-metadata artist='Les Fr\u00e8res' -metadata "
                                            "album='Disque'",
                   6.0);
        wma.LoadFromFile(path);
        ASSERT_TRUE(wma.Valid());
        EXPECT_EQ(wma.SampleRate(), c.sampleRate);
        EXPECT_EQ(wma.Channels(), c.channels);
        EXPECT_EQ(wma.BitRate(), c.bitRate);
        EXPECT_EQ(wma.Title(), u"Chanson \u00e0 boire");
        EXPECT_EQ(wma.Artist(), u"Les Fr\u00e8res");
        EXPECT_EQ(wma.Album(), u"Disque");
        // Within one 2048-sample frame of what ffprobe measures.
        EXPECT_NEAR(wma.Duration(), ffprobe(path).duration, 2048.0 / c.sampleRate);
        EXPECT_NEAR(wma.Duration(), 6.0, 2048.0 / c.sampleRate);
    }
}

TEST_F(EncodedFiles, WavFilesAgreeWithTheEncoder) {
    struct Case {
        const char* name;
        int sampleRate;
        int channels;
        const char* options;
        int bits;
        int factSamples; // ffmpeg writes a "fact" chunk for formats other than PCM
    };
    const Case cases[] = {
        {"s16_list.wav", 44100, 2, "-c:a pcm_s16le -metadata title='Avec LIST'", 16, 0},
        {"u8_mono.wav", 8000, 1, "-c:a pcm_u8", 8, 0},
        {"s24_extensible.wav", 48000, 2, "-c:a pcm_s24le", 24, 0},
        {"float.wav", 96000, 1, "-c:a pcm_f32le", 32, 288'000},
    };
    TWAVfile wav;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = encode(c.name, c.sampleRate, c.channels, c.options, 3.0);
        wav.LoadFromFile(path);
        ASSERT_TRUE(wav.Valid());
        EXPECT_EQ(wav.SampleRate(), unsigned(c.sampleRate));
        EXPECT_EQ(wav.Channels(), c.channels);
        EXPECT_EQ(wav.BitsPerSample(), c.bits);
        // The "LIST" chunk ffmpeg writes between "fmt " and "data" counts as audio.
        EXPECT_NEAR(wav.Duration(), 3.0, 64.0 / wav.BytesPerSecond());
        EXPECT_EQ(wav.SampleCount(), c.factSamples);
    }
}

} // namespace
} // namespace tags
