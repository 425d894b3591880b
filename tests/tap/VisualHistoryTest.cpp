#include "tap/VisualHistory.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace {

using tap::VisualHistory;

dsp::DSStream format(std::uint32_t rate, std::uint32_t channels, std::uint32_t bits) {
    dsp::DSStream s;
    s.SampleRate = rate;
    s.Channels = channels;
    s.Bits = bits;
    return s;
}

// 8-bit mono at 1000 Hz: one byte is one millisecond (10,000 units), which keeps offsets
// and times readable. Capacity 4000 bytes, mirror 65,536 bytes.
dsp::DSStream small() {
    return format(1000, 1, 8);
}

std::optional<VisualHistory::Block> readAt(VisualHistory& h, std::optional<std::int64_t> t) {
    std::optional<VisualHistory::Block> got;
    h.ReadVisualData(t, [&](VisualHistory::Block b) { got = b; });
    return got;
}

std::ptrdiff_t offsetAt(VisualHistory& h, std::int64_t t) {
    const auto b = readAt(h, t);
    return b ? b->Buffer - h.Storage() : -1;
}

void append(VisualHistory& h, std::uint32_t n, std::uint8_t value,
            std::optional<std::int64_t> start = std::nullopt) {
    const std::vector<std::uint8_t> block(n, value);
    h.NoteBlockTime(n, start);
    h.AppendBlock(block.data(), n);
}

TEST(VisualHistory, CapacityFiguresForCdAudio) {
    VisualHistory h;
    h.PrepareHistory(format(44100, 2, 16), true);
    EXPECT_NEAR(h.TimePerByte(), 56.689, 0.001);
    EXPECT_EQ(h.HistoryCapacity(), 705'600u);
    EXPECT_EQ(h.MirrorCapacity(), 262'144u);
    EXPECT_EQ(h.StorageSize(), 1'229'888u);
    EXPECT_EQ(h.BlockAlign(), 4u);
    append(h, 4096, 1, 0);
    const auto b = readAt(h, 0);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->Size, 65'536u);
}

TEST(VisualHistory, NothingWithoutStorageOrTime) {
    VisualHistory h;
    EXPECT_FALSE(readAt(h, 0));
    h.PrepareHistory(small(), true);
    EXPECT_FALSE(readAt(h, std::nullopt));
}

TEST(VisualHistory, FirstBlockAfterConnectionSetsTimeBaseToItsStart) {
    VisualHistory h;
    h.PrepareHistory(small(), true);
    h.ResetForFlush(); // unset time base, still the first sample after connection
    append(h, 100, 1, 50'000'000);
    EXPECT_EQ(h.TimeBase(), 50'000'000);
    EXPECT_EQ(offsetAt(h, 50'000'000), 0);
    EXPECT_EQ(offsetAt(h, 50'000'000 + 30 * 10'000), 30);
    EXPECT_FALSE(readAt(h, 49'999'999)); // before the history holds the audio
}

TEST(VisualHistory, FirstBlockAfterFlushSetsTimeBaseToStartLessDuration) {
    VisualHistory h;
    h.PrepareHistory(small(), true);
    h.ResetForFlush();
    append(h, 100, 1, 0); // takes the first sample's start unchanged
    h.ResetForFlush();
    EXPECT_EQ(h.TimeBase(), -1);
    EXPECT_EQ(h.Fill(), 0u);
    append(h, 100, 2, 20'000'000);
    EXPECT_EQ(h.TimeBase(), 20'000'000 - 100 * 10'000);
}

TEST(VisualHistory, FirstFillEndsJustAboveCapacity) {
    VisualHistory h;
    h.PrepareHistory(small(), true);
    for (int i = 0; i < 41; ++i)
        append(h, 100, static_cast<std::uint8_t>(i), std::int64_t{i} * 1'000'000);
    EXPECT_EQ(h.Fill(), 4100u);
    EXPECT_EQ(h.WritePos(), 0u);
    EXPECT_EQ(h.TimeBase(), 0);
    EXPECT_EQ(h.Storage()[4050], 40);
    EXPECT_EQ(offsetAt(h, 4000 * 10'000), 4000);
}

TEST(VisualHistory, WrapWritesAtZeroAndBehindTheOldEnd) {
    VisualHistory h;
    h.PrepareHistory(small(), true);
    for (int i = 0; i < 41; ++i) // first fill: Fill 4100
        append(h, 100, 1, std::int64_t{i} * 1'000'000);
    // Cycling: WritePos advances 0, 100, ... until it passes the capacity.
    for (int i = 0; i < 41; ++i)
        append(h, 100, 2);
    EXPECT_EQ(h.WritePos(), 4100u);
    EXPECT_EQ(h.TimeBase(), 41 * 1'000'000);
    append(h, 100, 3); // wraps: offset 0 and behind the old end
    EXPECT_EQ(h.WritePos(), 100u);
    EXPECT_EQ(h.Storage()[0], 3);
    EXPECT_EQ(h.Storage()[4150], 3);
    append(h, 100, 4); // mirrored too
    EXPECT_EQ(h.Storage()[150], 4);
    EXPECT_EQ(h.Storage()[4250], 4);
    // A read that starts just before the old end runs on into the new audio.
    const auto b = readAt(h, h.TimeBase() + 3790 * 10'000); // WritePos 200 + 3790
    ASSERT_TRUE(b);
    EXPECT_EQ(b->Buffer - h.Storage(), 3990);
    EXPECT_EQ(b->Buffer[0], 2);
    EXPECT_EQ(b->Buffer[110], 3);
    EXPECT_EQ(b->Buffer[210], 4);
}

TEST(VisualHistory, EndOfStreamCutsDeliveryUntilTheNextRun) {
    VisualHistory h;
    h.PrepareHistory(small(), true);
    append(h, 1000, 1, 0);
    append(h, 10, 1, 10'000'000);
    h.NoteEndOfStream(500'000); // EndTime 500,000 + TimeBase 0 + 2 x 100,000
    EXPECT_TRUE(readAt(h, 699'999));
    EXPECT_FALSE(readAt(h, 700'000));
    h.NoteRun();
    EXPECT_TRUE(readAt(h, 700'000));
}

TEST(VisualHistory, StopRestartsTheFirstFill) {
    VisualHistory h;
    h.PrepareHistory(small(), true);
    for (int i = 0; i < 45; ++i)
        append(h, 100, 1);
    ASSERT_GT(h.WritePos(), 0u);
    h.RestartFill();
    append(h, 100, 7);
    EXPECT_EQ(h.Fill(), 100u);
    EXPECT_EQ(h.WritePos(), 0u);
    EXPECT_EQ(h.Storage()[0], 7);
}

TEST(VisualHistory, SameFormatKeepsStorageOtherFormatReplacesIt) {
    VisualHistory h;
    h.PrepareHistory(small(), true);
    const std::uint8_t* before = h.Storage();
    append(h, 100, 9, 0);
    h.PrepareHistory(small(), false);
    EXPECT_EQ(h.Storage(), before);
    EXPECT_EQ(h.Fill(), 0u);
    EXPECT_EQ(h.Storage()[0], 9); // kept, not cleared
    h.PrepareHistory(format(8000, 2, 16), false);
    EXPECT_EQ(h.StorageSize(), 8000u * 4 * 4 + 2 * 4 * 65536u);
    EXPECT_EQ(h.Storage()[0], 0); // zero-filled
}

TEST(VisualHistory, PassThroughStreamsAreNotRecorded) {
    VisualHistory h;
    dsp::DSStream s = format(48000, 2, 16);
    s.SPDIF = dsp::DSStream::kTrue;
    h.PrepareHistory(s, true);
    append(h, 400, 5, 0);
    EXPECT_EQ(h.Fill(), 0u);
    EXPECT_FALSE(readAt(h, 0));
}

TEST(VisualHistory, OversizedBlockStopsAtTheEndOfTheStorage) {
    VisualHistory h;
    h.PrepareHistory(small(), true);
    append(h, 4000, 1, 0);
    append(h, 200'000, 2); // longer than the whole storage
    EXPECT_EQ(h.Storage()[h.StorageSize() - 1], 2);
    const auto b = readAt(h, 4100 * 10'000);
    ASSERT_TRUE(b);
    EXPECT_LE(static_cast<std::size_t>(b->Buffer - h.Storage()) + b->Size, h.StorageSize());
}

} // namespace
