// Time to read the tags of one file: each reader alone through its own LoadFromFile, the three
// sharing one open file, the pure parse over bytes in memory, and TagLib reading the same tags.

#include "tags/APEtag.h"
#include "tags/FileRange.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/tags/TagFixtures.h"

#include <apetag.h>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <id3v1tag.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <unistd.h>

namespace {

using namespace tagfixtures;

// A typical tagged file: an ID3v2.3 tag with ten text frames and a 40 KiB picture, 256 KiB of
// audio, an APE tag and an ID3v1 tag.
Bytes typicalFile() {
    const Bytes eng = bytes("eng");
    const Bytes tag = id3v2(
        3,
        {frame(3, "TIT2", utf16Text(u"Le titre du morceau")),
         frame(3, "TPE1", utf16Text(u"L'interpr\u00E8te")), frame(3, "TALB", latin1Text("L'album")),
         frame(3, "TRCK", latin1Text("3/12")), frame(3, "TYER", latin1Text("2004")),
         frame(3, "TCON", latin1Text("(17)Rock")),
         frame(3, "COMM", cat({{0}, eng, {0}, bytes("Un commentaire")})),
         frame(3, "TCOM", latin1Text("Compositeur")), frame(3, "TENC", latin1Text("Encodeur")),
         frame(3, "APIC", cat({{0}, bytes("image/jpeg"), {0, 3, 0}, Bytes(40 * 1024, 0x55)})),
         frame(3, "TCOP", latin1Text("(c) 2004"))},
        2048);
    const Bytes apeTag =
        ape(2000, {apeItem("Title", bytes("Le titre")),
                   apeItem("Artist", bytes("L'interpr\xC3\xA8te")), apeItem("Track", bytes("3"))});
    return cat({tag, Bytes(256 * 1024, 0xFF), apeTag,
                id3v1("Le titre du morceau", "L'interprete", "L'album", "2004", "", 17)});
}

class TagFile {
public:
    TagFile()
        : m_bytes(typicalFile())
        , m_path((std::filesystem::temp_directory_path() /
                  ("bench-tags-" + std::to_string(::getpid()) + ".mp3"))
                     .string()) {
        std::ofstream(m_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(m_bytes.data()),
                   static_cast<std::streamsize>(m_bytes.size()));
    }
    ~TagFile() { std::filesystem::remove(m_path); }
    const std::string& path() const { return m_path; }
    const Bytes& bytes() const { return m_bytes; }

private:
    Bytes m_bytes;
    std::string m_path;
};

const TagFile& sample() {
    static const TagFile file;
    return file;
}

template <typename Reader>
void BM_LoadFromFile(benchmark::State& state) {
    Reader reader;
    for (auto _ : state) {
        benchmark::DoNotOptimize(reader.LoadFromFile(sample().path()));
        benchmark::DoNotOptimize(reader.Found());
    }
}
BENCHMARK(BM_LoadFromFile<tags::TID3v1>)->Name("TID3v1_LoadFromFile");
BENCHMARK(BM_LoadFromFile<tags::TID3v2>)->Name("TID3v2_LoadFromFile");
BENCHMARK(BM_LoadFromFile<tags::TAPEtag>)->Name("TAPEtag_LoadFromFile");

void BM_ThreeReadersOneOpen(benchmark::State& state) {
    tags::TID3v1 v1;
    tags::TID3v2 v2;
    tags::TAPEtag ape;
    for (auto _ : state) {
        auto file = tags::FileRange::open(sample().path());
        v2.parse(*file);
        v1.parse(*file);
        ape.parse(*file);
        benchmark::DoNotOptimize(v2.Title().size() + v1.Title().size() + ape.Title().size());
    }
}
BENCHMARK(BM_ThreeReadersOneOpen)->Name("ThreeReaders_OneOpen");

void BM_ThreeReadersInMemory(benchmark::State& state) {
    tags::TID3v1 v1;
    tags::TID3v2 v2;
    tags::TAPEtag ape;
    for (auto _ : state) {
        tags::MemorySource source(sample().bytes());
        v2.parse(source);
        v1.parse(source);
        ape.parse(source);
        benchmark::DoNotOptimize(v2.Title().size() + v1.Title().size() + ape.Title().size());
    }
}
BENCHMARK(BM_ThreeReadersInMemory)->Name("ThreeReaders_InMemory");

void BM_TagLib(benchmark::State& state) {
    for (auto _ : state) {
        TagLib::MPEG::File file(sample().path().c_str(), false);
        benchmark::DoNotOptimize(file.ID3v2Tag()->title().size() + file.ID3v1Tag()->title().size() +
                                 file.APETag()->title().size());
    }
}
BENCHMARK(BM_TagLib)->Name("TagLib_MPEG_File_ThreeTags");

} // namespace

BENCHMARK_MAIN();
