// tuval-probe run on small byte-built files: one JSON line per file, exit codes.

#include "tags/AsfBuilder.h"
#include "tags/ByteBuilder.h"
#include "tags/MpegBuilder.h"
#include "tags/TagFixtures.h"
#include "tags/TempFile.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using tags::test::ByteBuilder;
using tags::test::TempFile;

struct ProbeRun {
    int exitCode = -1;
    std::vector<std::string> lines;
};

ProbeRun probe(const std::string& arguments) {
    const std::string command = std::string(TUVAL_PROBE) + " " + arguments + " 2>/dev/null";
    ProbeRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    std::string line;
    for (int c; (c = std::fgetc(pipe)) != EOF;) {
        if (c == '\n') {
            run.lines.push_back(line);
            line.clear();
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

std::vector<std::uint8_t> wav10s() {
    ByteBuilder b;
    b.text("RIFF").le32(1'764'036).text("WAVE").text("fmt ").le32(16).le16(1).le16(2);
    b.le32(44100).le32(176'400).le16(4).le16(16).text("data").le32(1'764'000).fill(64);
    return b;
}

std::vector<std::uint8_t> mp3WithBothTags() {
    ByteBuilder b;
    b.bytes(tagfixtures::id3v2(
        3, {tagfixtures::frame(3, "TIT2", tagfixtures::latin1Text("Long \"v2\" title")),
            tagfixtures::frame(3, "TPE1", tagfixtures::latin1Text("v2"))}));
    tags::test::mp3::frames(b, tags::test::mp3::kStereo128, 417, 100);
    b.bytes(tagfixtures::id3v1("Court", "Artiste v1"));
    return b;
}

TEST(Probe, UsageErrorsExitWith2) {
    EXPECT_EQ(probe("").exitCode, 2);
    EXPECT_EQ(probe("--bogus x.mp3").exitCode, 2);
    EXPECT_EQ(probe("--all").exitCode, 2);
    EXPECT_EQ(probe("--help").exitCode, 0);
}

TEST(Probe, OneLinePerFileWithTheReaderOfItsExtension) {
    const TempFile wav(wav10s(), ".wav");
    const TempFile mp3(mp3WithBothTags(), ".MP3");
    const TempFile wma(tags::test::asf::stereoFile({tags::test::asf::contentDescription(
                           u"Caf\u00e9 cr\u00e8me", u"Zo\u00e9")}),
                       ".wma");
    const ProbeRun run = probe(quoted(wav.path()) + " " + quoted(mp3.path()) + " " + quoted(wma.path()) +
                          " /nonexistent/file.mp3");
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.lines.size(), 4u);

    const std::string& w = run.lines[0];
    EXPECT_EQ(w.rfind("{\"path\":\"" + wav.path() + "\",\"reader\":\"WAV\",\"valid\":true", 0), 0u)
        << w;
    EXPECT_NE(w.find("\"duration_s\":10,"), std::string::npos) << w;
    EXPECT_NE(w.find("\"bits\":16"), std::string::npos) << w;
    EXPECT_NE(w.find("\"title\":null"), std::string::npos) << w;
    EXPECT_NE(w.find("\"wav\":{\"load_ok\":true"), std::string::npos) << w;

    const std::string& m = run.lines[1];
    EXPECT_NE(m.find("\"reader\":\"MPEG\",\"valid\":true"), std::string::npos) << m;
    EXPECT_NE(m.find("\"bitrate_kbps\":128,\"samplerate_hz\":44100,\"channels\":2,\"vbr\":false,"
                     "\"title\":\"Court\",\"artist\":\"Artiste v1\""),
              std::string::npos)
        << m;
    EXPECT_NE(m.find("\"title\":\"Long \\\"v2\\\" title\""), std::string::npos) << m;
    EXPECT_NE(m.find("\"frame\":{\"found\":true,\"position\":0"), std::string::npos) << m;

    const std::string& a = run.lines[2];
    EXPECT_NE(a.find("\"reader\":\"WMA\",\"valid\":true"), std::string::npos) << a;
    EXPECT_NE(a.find("\"title\":\"Caf\xc3\xa9 cr\xc3\xa8me\",\"artist\":\"Zo\xc3\xa9\""),
              std::string::npos)
        << a;

    const std::string& missing = run.lines[3];
    EXPECT_NE(missing.find("\"reader\":\"MPEG\",\"valid\":false"), std::string::npos) << missing;
    EXPECT_NE(missing.find("\"load_ok\":false"), std::string::npos) << missing;
}

TEST(Probe, AllTriesTheReadersInTheDeckLoadersOrder) {
    const TempFile wav(wav10s(), ".dat");
    const ProbeRun byExtension = probe(quoted(wav.path()));
    ASSERT_EQ(byExtension.lines.size(), 1u);
    EXPECT_NE(byExtension.lines[0].find("\"reader\":null,\"valid\":false"), std::string::npos);

    const ProbeRun all = probe("--all " + quoted(wav.path()));
    EXPECT_EQ(all.exitCode, 0);
    ASSERT_EQ(all.lines.size(), 1u);
    const std::string& line = all.lines[0];
    EXPECT_NE(line.find("\"reader\":\"WAV\",\"valid\":true"), std::string::npos) << line;
    // The readers tried before are shown too, so one sees why they refused the file.
    EXPECT_NE(line.find("\"mpeg\":{\"load_ok\""), std::string::npos) << line;
    EXPECT_NE(line.find("\"wma\":{\"load_ok\""), std::string::npos) << line;
}

} // namespace
