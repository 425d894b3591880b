#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tags::test {

// A file in the temporary folder holding given bytes, removed when the object goes.
class TempFile {
public:
    explicit TempFile(const std::vector<std::uint8_t>& bytes, const std::string& suffix = ".bin")
        : m_path(uniquePath(suffix)) {
        std::ofstream out(m_path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    std::string path() const { return m_path.string(); }

private:
    static std::filesystem::path uniquePath(const std::string& suffix) {
        static std::atomic<unsigned> counter{0};
        return std::filesystem::temp_directory_path() /
               ("tuval_tags_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) +
                suffix);
    }

    std::filesystem::path m_path;
};

} // namespace tags::test
