#include "tags/ID3v2.h"

#include "tags/FileRange.h"

namespace tags {

bool TID3v2::LoadFromFile(const std::string& path) {
    Clear();
    auto file = FileRange::open(path);
    return file && parse(*file);
}

bool TID3v2::parse(ByteSpan fileBytes) {
    MemorySource source(fileBytes);
    return parse(source);
}

bool TID3v2::parse(ByteSource& file) {
    Clear();
    (void)file;
    return false;
}

} // namespace tags
