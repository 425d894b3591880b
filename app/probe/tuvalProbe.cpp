// tuval-probe FILE...: what the stream and tag readers see in audio files, one JSON object
// per line, so an operator can tell why a file is listed with an unknown duration.

#include "JsonObject.h"
#include "ReaderFields.h"
#include "tags/MPEGaudio.h"
#include "tags/TagBytes.h"
#include "tags/WAVfile.h"
#include "tags/WMAfile.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace app {
namespace {

constexpr int kUsageError = 2;

enum class Reader { Mpeg, Wma, Wav };

// The reader of a file name, as the folder listing picks it.
std::optional<Reader> readerForExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".mp3")
        return Reader::Mpeg;
    if (ext == ".wma")
        return Reader::Wma;
    if (ext == ".wav")
        return Reader::Wav;
    return std::nullopt;
}

// One reader of each kind, reused for every file.
class Probe {
public:
    // Loads the file with one reader; the line gets its nested object and, when it is
    // valid, the stream values. True when the reader found the file valid.
    bool run(Reader reader, const std::string& path, JsonObject& nested) {
        switch (reader) {
        case Reader::Mpeg: {
            const bool loaded = m_mpeg.LoadFromFile(path);
            nested.add("mpeg", mpegFields(m_mpeg, loaded));
            return m_mpeg.Valid();
        }
        case Reader::Wma: {
            const bool loaded = m_wma.LoadFromFile(path);
            nested.add("wma", wmaFields(m_wma, loaded));
            return m_wma.Valid();
        }
        case Reader::Wav: {
            const bool loaded = m_wav.LoadFromFile(path);
            nested.add("wav", wavFields(m_wav, loaded));
            return m_wav.Valid();
        }
        }
        return false;
    }

    // The values the player and the index take from the reader that was run last.
    void summary(Reader reader, JsonObject& line) const {
        switch (reader) {
        case Reader::Mpeg:
            mpegSummary(line);
            break;
        case Reader::Wma:
            line.add("valid", m_wma.Valid())
                .add("duration_s", m_wma.Duration())
                .add("bitrate_kbps", m_wma.BitRate())
                .add("samplerate_hz", m_wma.SampleRate())
                .add("channels", unsigned{m_wma.Channels()})
                .add("title", utf8(m_wma.Title()))
                .add("artist", utf8(m_wma.Artist()));
            break;
        case Reader::Wav:
            line.add("valid", m_wav.Valid())
                .add("duration_s", m_wav.Duration())
                .add("bitrate_kbps", std::int64_t{m_wav.BytesPerSecond()} * 8 / 1000)
                .add("samplerate_hz", std::int64_t{m_wav.SampleRate()})
                .add("channels", unsigned{m_wav.Channels()})
                .add("bits", unsigned{m_wav.BitsPerSample()})
                .addNull("title")
                .addNull("artist");
            break;
        }
    }

private:
    void mpegSummary(JsonObject& line) const {
        line.add("valid", m_mpeg.Valid())
            .add("duration_s", m_mpeg.Duration())
            .add("bitrate_kbps", unsigned{m_mpeg.BitRate()})
            .add("samplerate_hz", unsigned{m_mpeg.SampleRate()})
            .add("channels", unsigned{m_mpeg.Channels()})
            .add("vbr", m_mpeg.Vbr().Found);
        // ID3v1 wins over ID3v2 whenever it exists.
        if (m_mpeg.Id3v1().Found())
            line.add("title", m_mpeg.Id3v1().Title()).add("artist", m_mpeg.Id3v1().Artist());
        else if (m_mpeg.Id3v2().Found())
            line.add("title", m_mpeg.Id3v2().Title()).add("artist", m_mpeg.Id3v2().Artist());
        else
            line.addNull("title").addNull("artist");
    }

    tags::TMPEGaudio m_mpeg;
    tags::TWMAfile m_wma;
    tags::TWAVfile m_wav;
};

const char* readerName(Reader r) {
    switch (r) {
    case Reader::Mpeg:
        return "MPEG";
    case Reader::Wma:
        return "WMA";
    case Reader::Wav:
        return "WAV";
    }
    return "";
}

std::string probeLine(Probe& probe, const std::string& path, bool tryAll) {
    JsonObject line;
    line.add("path", tags::utf8ToUtf8(tags::asBytes(path)));
    JsonObject nested;
    std::optional<Reader> chosen;
    if (tryAll) {
        // The deck loader's order: the first reader that finds the file valid.
        for (Reader r : {Reader::Mpeg, Reader::Wma, Reader::Wav}) {
            if (probe.run(r, path, nested)) {
                chosen = r;
                break;
            }
        }
    } else if (const auto r = readerForExtension(path)) {
        chosen = r;
        probe.run(*r, path, nested);
    }
    if (chosen) {
        line.add("reader", readerName(*chosen));
        probe.summary(*chosen, line);
    } else {
        line.addNull("reader").add("valid", false);
    }
    return line.append(nested).text();
}

void usage(std::ostream& out) {
    out << "usage: tuval-probe [--all] FILE...\n"
           "  One JSON object per file: the reader chosen by the extension (.mp3, .wma,\n"
           "  .wav), whether the file is valid, its stream values and every reader field.\n"
           "  --all  try the MPEG, WMA and WAV readers in turn and keep the first valid one\n";
}

} // namespace
} // namespace app

int main(int argc, char** argv) {
    bool tryAll = false;
    bool options = true;
    std::vector<std::string> files;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--all") {
            tryAll = true;
        } else if (options && (arg == "--help" || arg == "-h")) {
            app::usage(std::cout);
            return 0;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            std::cerr << "tuval-probe: unknown option " << arg << "\n";
            app::usage(std::cerr);
            return app::kUsageError;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        app::usage(std::cerr);
        return app::kUsageError;
    }
    app::Probe probe;
    for (const auto& f : files)
        std::cout << app::probeLine(probe, f, tryAll) << '\n';
    return 0;
}
