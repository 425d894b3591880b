#include "tags/FileRange.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

namespace {

using namespace tags;

class FileRangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = (std::filesystem::temp_directory_path() /
                  ("filerange-" + std::to_string(::getpid()) + ".bin"))
                     .string();
        for (std::size_t i = 0; i < 10000; ++i)
            m_bytes.push_back(static_cast<std::uint8_t>(i * 7));
        std::ofstream(m_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(m_bytes.data()),
                   static_cast<std::streamsize>(m_bytes.size()));
    }
    void TearDown() override { std::filesystem::remove(m_path); }

    std::string m_path;
    std::vector<std::uint8_t> m_bytes;
};

TEST_F(FileRangeTest, ReadsRangesFromStartAndEnd) {
    auto file = FileRange::open(m_path);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), m_bytes.size());
    // Small and large reads, head and tail, in an order that exercises both cached blocks.
    const std::pair<std::uint64_t, std::size_t> ranges[] = {
        {0, 10}, {9990, 10}, {9872, 128}, {9840, 32}, {4000, 200}, {0, 9000}, {5, 3000}};
    for (const auto& [offset, length] : ranges) {
        std::vector<std::uint8_t> out(length);
        ASSERT_TRUE(file->readExact(offset, out)) << offset;
        EXPECT_TRUE(std::equal(out.begin(), out.end(), m_bytes.begin() + offset)) << offset;
    }
    std::array<std::uint8_t, 128> tail{};
    ASSERT_TRUE(file->readFromEnd(128, tail));
    EXPECT_EQ(tail[0], m_bytes[m_bytes.size() - 128]);
    EXPECT_FALSE(file->readFromEnd(m_bytes.size() + 1, tail));
}

TEST_F(FileRangeTest, RandomReadsMatchTheBytes) {
    // Reads of every size at head, tail and middle, in random order, so every cache path is taken.
    auto file = FileRange::open(m_path);
    ASSERT_TRUE(file);
    MemorySource memory(m_bytes);
    std::mt19937 rng(7);
    for (int n = 0; n < 2000; ++n) {
        const std::uint64_t offset = std::uniform_int_distribution<std::uint64_t>(0, 10100)(rng);
        const std::size_t length =
            std::uniform_int_distribution<std::size_t>(0, n % 10 ? 600 : 9000)(rng);
        std::vector<std::uint8_t> got(length, 0xEE), want(length, 0xEE);
        const auto a = file->readAt(offset, got);
        const auto b = memory.readAt(offset, want);
        ASSERT_EQ(a, b) << offset << " " << length;
        ASSERT_EQ(got, want) << offset << " " << length;
    }
}

TEST_F(FileRangeTest, ShortReadsAtTheEnd) {
    auto file = FileRange::open(m_path);
    ASSERT_TRUE(file);
    std::array<std::uint8_t, 64> out{};
    EXPECT_EQ(file->readAt(9990, out), 10u);
    EXPECT_EQ(file->readAt(10000, out), 0u);
    EXPECT_EQ(file->readAt(UINT64_MAX, out), 0u);
    EXPECT_FALSE(file->readExact(9990, out));
    EXPECT_EQ(file->read(9995, 100)->size(), 5u);
}

TEST_F(FileRangeTest, FileShrinkingAfterOpenGivesShortReads) {
    auto file = FileRange::open(m_path);
    ASSERT_TRUE(file);
    std::filesystem::resize_file(m_path, 100);
    std::array<std::uint8_t, 128> out{};
    EXPECT_FALSE(file->readFromEnd(128, out));
    EXPECT_EQ(file->readAt(50, out), 50u);
}

TEST_F(FileRangeTest, MissingFileAndFolderDoNotOpen) {
    EXPECT_FALSE(FileRange::open(m_path + ".none"));
    EXPECT_FALSE(FileRange::open(std::filesystem::temp_directory_path().string()));
}

TEST(MemorySource, BoundsChecked) {
    const std::vector<std::uint8_t> b = {1, 2, 3};
    MemorySource s(b);
    std::array<std::uint8_t, 4> out{};
    EXPECT_EQ(s.readAt(1, out), 2u);
    EXPECT_EQ(s.readAt(3, out), 0u);
    EXPECT_FALSE(s.readExact(0, out));
    EXPECT_TRUE(s.readFromEnd(3, std::span(out).first(3)));
    EXPECT_EQ(out[2], 3);
}

} // namespace
