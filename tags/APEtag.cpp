#include "tags/APEtag.h"

#include "tags/FileRange.h"

namespace tags {

bool TAPEtag::LoadFromFile(const std::string& path) {
    Clear();
    auto file = FileRange::open(path);
    return file && parse(*file);
}

bool TAPEtag::parse(ByteSpan fileBytes) {
    MemorySource source(fileBytes);
    return parse(source);
}

bool TAPEtag::parse(ByteSource& file) {
    Clear();
    (void)file;
    return false;
}

} // namespace tags
