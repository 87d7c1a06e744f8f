// The block loop's arithmetic on its own: the percent of the progress protocol
// and the 64-bit count of bytes done, with sizes no test can copy through the
// device in reasonable time.
#include "transfer/BlockProgress.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr uint64_t KiB = 1024;
constexpr uint64_t GiB = 1024 * 1024 * 1024;
constexpr uint32_t kBatchBlock = 131072;

struct PercentCase {
    uint64_t size;
    uint64_t position;
    int32_t percent;
};

class BlockPercentTest : public ::testing::TestWithParam<PercentCase> {};

TEST_P(BlockPercentTest, DividesFirstThenMultipliesAndTruncates) {
    const PercentCase& c = GetParam();
    EXPECT_EQ(c.percent, BlockPercent(c.size, c.position))
        << "size " << c.size << " position " << c.position;
}

INSTANTIATE_TEST_SUITE_P(Cases, BlockPercentTest,
                         ::testing::Values(
                             // 100.0 / 97 * 97 falls just below 100.
                             PercentCase{97, 97, 99}, PercentCase{kBatchBlock, kBatchBlock, 100},
                             PercentCase{kBatchBlock + 1, kBatchBlock, 99},
                             PercentCase{kBatchBlock + 1, kBatchBlock + 1, 100},
                             PercentCase{500, 4, 0}, PercentCase{500, 5, 1},
                             // Below 4 GiB the position is an unsigned 32-bit number, as the
                             // protocol states: a file that grew past 4 GiB wraps.
                             PercentCase{100, (uint64_t{1} << 32) + 50, 50},
                             // From 4 GiB on the whole 64-bit position counts.
                             PercentCase{5 * GiB, 4 * GiB + 1, 80},
                             PercentCase{5 * GiB, 5 * GiB, 100}, PercentCase{4 * GiB, 4 * GiB, 100},
                             PercentCase{4 * GiB, 2 * GiB, 50},
                             PercentCase{4 * GiB + 1, 4 * GiB - 1, 99},
                             // A file that grew far past its size must not overflow the result.
                             PercentCase{1, 0xFFFFFFFFu, INT32_MAX}));

TEST(BlockCountTest, DoesNotWrapAtFourGiB) {
    const uint64_t done = AdvanceDone(4 * GiB - kBatchBlock, kBatchBlock);
    EXPECT_EQ(4 * GiB, done);
    EXPECT_FALSE(AllBlocksHandled(done, 4 * GiB + 1));
    EXPECT_TRUE(AllBlocksHandled(AdvanceDone(done, kBatchBlock), 4 * GiB + 1));
}

TEST(BlockCountTest, AdvancesByTheBlockSizeNotTheBytesRead) {
    EXPECT_EQ(2 * kBatchBlock, AdvanceDone(kBatchBlock, kBatchBlock));
    EXPECT_TRUE(AllBlocksHandled(AdvanceDone(0, kBatchBlock), 97));
}

// The loop of CopyFileToDevice driven by the arithmetic alone, as if every read
// returned a full block except the last: a file of 5 GiB and one byte is
// walked block by block to its end, with steady percentages.
TEST(BlockCountTest, WalksAFileBeyondFourGiBWhole) {
    const uint64_t size = 5 * GiB + 1;
    uint64_t done = 0;
    uint64_t bytesCopied = 0;
    uint64_t blocks = 0;
    int32_t lastPercent = -1;
    bool percentsRise = true;
    for (bool more = true; more;) {
        const uint32_t bytesRead =
            static_cast<uint32_t>(std::min<uint64_t>(kBatchBlock, size - done));
        const int32_t percent = BlockPercent(size, done + bytesRead);
        percentsRise = percentsRise && percent >= lastPercent && percent <= 100;
        lastPercent = percent;
        bytesCopied += bytesRead;
        ++blocks;
        done = AdvanceDone(done, kBatchBlock);
        more = !AllBlocksHandled(done, size);
    }
    EXPECT_EQ(size, bytesCopied);
    EXPECT_EQ(5 * GiB / kBatchBlock + 1, blocks);
    EXPECT_TRUE(percentsRise);
    EXPECT_EQ(100, lastPercent);
}

TEST(BlockCountTest, SmallBlocksReachTheEnd) {
    uint64_t done = 0;
    uint64_t blocks = 0;
    while (!AllBlocksHandled(done, 10 * KiB)) {
        done = AdvanceDone(done, 1000);
        ++blocks;
    }
    EXPECT_EQ(11u, blocks);
}

} // namespace
