// Files per second for reading title, artist and duration of a folder of small MP3, WMA and
// WAV files (warm cache): Tuval's readers, chosen by extension as the folder listing does,
// against TagLib reading the same files in the same run.
//
// The folder is made once per run: a few files encoded by ffmpeg, then copied with varied
// ID3v2 and ID3v1 tags (MP3) or under other names (WMA, WAV).

#include "tags/MPEGaudio.h"
#include "tags/WAVfile.h"
#include "tags/WMAfile.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

enum class Kind { Mp3, Wma, Wav };

struct Folder {
    fs::path root;
    std::vector<std::pair<std::string, Kind>> files;

    ~Folder() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

Bytes readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

bool encode(const fs::path& out, const std::string& options, double seconds) {
    const std::string command =
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds) +
        ":sample_rate=44100 -ac 2 " + options + " '" + out.string() + "'";
    return std::system(command.c_str()) == 0;
}

void syncsafe(Bytes& b, std::uint32_t v) {
    for (int shift : {21, 14, 7, 0})
        b.push_back(static_cast<std::uint8_t>((v >> shift) & 0x7F));
}

void textFrame(Bytes& b, const char* id, const std::string& text) {
    b.insert(b.end(), id, id + 4);
    syncsafe(b, static_cast<std::uint32_t>(text.size() + 1));
    b.push_back(0);
    b.push_back(0);
    b.push_back(3); // UTF-8
    b.insert(b.end(), text.begin(), text.end());
}

Bytes id3v2(const std::string& title, const std::string& artist, std::size_t padding) {
    Bytes body;
    textFrame(body, "TIT2", title);
    textFrame(body, "TPE1", artist);
    textFrame(body, "TALB", "Album de test");
    body.resize(body.size() + padding, 0);
    Bytes tag = {'I', 'D', '3', 4, 0, 0};
    syncsafe(tag, static_cast<std::uint32_t>(body.size()));
    tag.insert(tag.end(), body.begin(), body.end());
    return tag;
}

Bytes id3v1(const std::string& title, const std::string& artist) {
    Bytes t(128, 0);
    t[0] = 'T', t[1] = 'A', t[2] = 'G';
    std::copy_n(title.begin(), std::min<std::size_t>(30, title.size()), t.begin() + 3);
    std::copy_n(artist.begin(), std::min<std::size_t>(30, artist.size()), t.begin() + 33);
    t[127] = 13;
    return t;
}

// The audio of an MP3 file written by ffmpeg, without its ID3v2 tag.
Bytes mp3Audio(const fs::path& p) {
    Bytes b = readAll(p);
    if (b.size() > 10 && b[0] == 'I' && b[1] == 'D' && b[2] == '3') {
        const std::size_t size = 10 + (std::size_t{b[6]} << 21 | std::size_t{b[7]} << 14 |
                                       std::size_t{b[8]} << 7 | b[9]);
        b.erase(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(std::min(size, b.size())));
    }
    return b;
}

// 2400 files: 1000 CBR and 400 VBR MP3, 500 WMA, 500 WAV.
const Folder& folder() {
    static const Folder f = [] {
        Folder out;
        out.root = fs::temp_directory_path() / ("tuval_bench_tags_" + std::to_string(::getpid()));
        fs::create_directories(out.root);
        const fs::path cbr = out.root / "base_cbr.mp3", vbr = out.root / "base_vbr.mp3",
                       wma = out.root / "base.wma", wav = out.root / "base.wav";
        if (!encode(cbr, "-c:a libmp3lame -b:a 128k", 3) ||
            !encode(vbr, "-c:a libmp3lame -q:a 4", 3) ||
            !encode(wma, "-c:a wmav2 -b:a 128k -metadata title=Titre -metadata artist=Artiste",
                    3) ||
            !encode(wav, "-c:a pcm_s16le", 1)) {
            std::cerr << "ffmpeg could not make the bench files\n";
            std::exit(1);
        }
        const Bytes audio[] = {mp3Audio(cbr), mp3Audio(vbr)};
        for (int k = 0; k < 1400; ++k) {
            const std::string title = "Titre num\xc3\xa9ro " + std::to_string(k);
            const std::string artist = "Artiste " + std::to_string(k % 97);
            Bytes file = id3v2(title, artist, 64 + (k % 7) * 100);
            const Bytes& a = audio[k < 1000 ? 0 : 1];
            file.insert(file.end(), a.begin(), a.end());
            if (k % 2 == 0) {
                const Bytes v1 = id3v1("Titre " + std::to_string(k), artist);
                file.insert(file.end(), v1.begin(), v1.end());
            }
            const fs::path p = out.root / ("piste_" + std::to_string(k) + ".mp3");
            writeAll(p, file);
            out.files.emplace_back(p.string(), Kind::Mp3);
        }
        for (int k = 0; k < 500; ++k) {
            const fs::path w = out.root / ("morceau_" + std::to_string(k) + ".wma");
            fs::copy_file(wma, w);
            out.files.emplace_back(w.string(), Kind::Wma);
            const fs::path v = out.root / ("prise_" + std::to_string(k) + ".wav");
            fs::copy_file(wav, v);
            out.files.emplace_back(v.string(), Kind::Wav);
        }
        for (const fs::path& p : {cbr, vbr, wma, wav})
            fs::remove(p);
        return out;
    }();
    return f;
}

bool wanted(Kind k, int filter) {
    return filter < 0 || static_cast<int>(k) == filter;
}

// What the folder listing and the index take from each file.
struct Row {
    std::string title;
    std::string artist;
    double duration = 0;
};

class TuvalReaders {
public:
    bool read(const std::string& path, Kind kind, Row& row) {
        switch (kind) {
        case Kind::Mp3:
            m_mpeg.LoadFromFile(path);
            if (!m_mpeg.Valid())
                return false;
            if (m_mpeg.Id3v1().Found()) {
                row.title = m_mpeg.Id3v1().Title();
                row.artist = m_mpeg.Id3v1().Artist();
            } else {
                row.title = m_mpeg.Id3v2().Title();
                row.artist = m_mpeg.Id3v2().Artist();
            }
            row.duration = m_mpeg.Duration();
            return true;
        case Kind::Wma:
            m_wma.LoadFromFile(path);
            if (!m_wma.Valid())
                return false;
            row.title.assign(m_wma.Title().begin(), m_wma.Title().end()); // ASCII here
            row.artist.assign(m_wma.Artist().begin(), m_wma.Artist().end());
            row.duration = m_wma.Duration();
            return true;
        case Kind::Wav:
            m_wav.LoadFromFile(path);
            row.duration = m_wav.Duration();
            return m_wav.Valid();
        }
        return false;
    }

private:
    tags::TMPEGaudio m_mpeg;
    tags::TWMAfile m_wma;
    tags::TWAVfile m_wav;
};

bool readWithTagLib(const std::string& path, Row& row) {
    TagLib::FileRef f(path.c_str(), true, TagLib::AudioProperties::Fast);
    if (f.isNull() || !f.audioProperties())
        return false;
    if (const TagLib::Tag* t = f.tag()) {
        row.title = t->title().to8Bit(true);
        row.artist = t->artist().to8Bit(true);
    }
    row.duration = f.audioProperties()->lengthInMilliseconds() / 1000.0;
    return true;
}

template <typename Read>
void readFolder(benchmark::State& state, Read read) {
    const int filter = static_cast<int>(state.range(0));
    const Folder& f = folder();
    std::size_t files = 0, valid = 0;
    for (auto _ : state) {
        for (const auto& [path, kind] : f.files) {
            if (!wanted(kind, filter))
                continue;
            Row row;
            valid += read(path, kind, row);
            benchmark::DoNotOptimize(row);
            ++files;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(files));
    state.counters["valid_share"] = files ? double(valid) / double(files) : 0.0;
}

void BM_TuvalReaders(benchmark::State& state) {
    TuvalReaders readers;
    readFolder(state,
               [&readers](const std::string& p, Kind k, Row& r) { return readers.read(p, k, r); });
}

void BM_TagLib(benchmark::State& state) {
    readFolder(state, [](const std::string& p, Kind, Row& r) { return readWithTagLib(p, r); });
}

// Filters: -1 every file, 0 MP3, 1 WMA, 2 WAV.
void filters(benchmark::internal::Benchmark* b) {
    b->ArgName("kind")->Arg(-1)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_TuvalReaders)->Apply(filters);
BENCHMARK(BM_TagLib)->Apply(filters);

// Prints the files per second of both sides and their ratio after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            const auto it = r.counters.find("items_per_second");
            if (it != r.counters.end())
                m_rates[r.benchmark_name()] = it->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        static const char* kKinds[] = {"-1", "0", "1", "2"};
        static const char* kNames[] = {"all", "MP3", "WMA", "WAV"};
        std::printf("\n%-6s %16s %16s %8s\n", "files", "Tuval files/s", "TagLib files/s", "ratio");
        for (int k = 0; k < 4; ++k) {
            const std::string suffix = std::string("/kind:") + kKinds[k];
            const double ours = rate("BM_TuvalReaders" + suffix);
            const double theirs = rate("BM_TagLib" + suffix);
            if (ours > 0 && theirs > 0)
                std::printf("%-6s %16.0f %16.0f %7.2fx\n", kNames[k], ours, theirs, ours / theirs);
        }
    }

private:
    double rate(const std::string& prefix) const {
        for (const auto& [name, value] : m_rates)
            if (name.rfind(prefix, 0) == 0)
                return value;
        return 0;
    }
    std::map<std::string, double> m_rates;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    folder(); // made, and read once by the warm-up below, before any timing
    Row row;
    TuvalReaders warm;
    for (const auto& [path, kind] : folder().files) {
        warm.read(path, kind, row);
        readWithTagLib(path, row);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
