// The figures that the dialog computes: where the minimised icon goes and
// how the copied bytes become a percentage and a bar position.
#include "app/IconPlacement.h"
#include "app/ProgressFigures.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct IconCase {
    int clientWidth, clientHeight, iconWidth, iconHeight;
    LONG x, y;
};

TEST(IconPlacement, CentresTheIconRoundingHalfAPixelDown) {
    const IconCase cases[] = {
        {160, 36, 32, 32, 64, 2}, // the dialog's client area when minimised
        {33, 33, 32, 32, 1, 1},   // odd surplus rounds toward the bottom right
        {32, 32, 32, 32, 0, 0},
        {30, 20, 32, 32, 0, -5}, // smaller than the icon: truncated toward zero
        {0, 0, 32, 32, -15, -15},
    };
    for (const IconCase& c : cases) {
        const POINT at = IconPlacement(c.clientWidth, c.clientHeight, c.iconWidth, c.iconHeight);
        EXPECT_EQ(c.x, at.x) << c.clientWidth << "x" << c.clientHeight;
        EXPECT_EQ(c.y, at.y) << c.clientWidth << "x" << c.clientHeight;
    }
}

struct ProgressCase {
    int64_t total, copied;
    int percent, position;
};

TEST(ProgressFigures, DivideFirstThenMultiplyAndTruncate) {
    const ProgressCase cases[] = {
        {500, 4, 0, 8},
        {500, 5, 1, 10},
        {500, 6, 1, 12},
        {97, 97, 99, 1000},    // 100.0 / 97 * 97 is just below 100
        {100, 150, 150, 1500}, // more than was counted: shown as computed
        {0, 10, 100, 1000},    // nothing to copy counts as all copied
        {0, 0, 100, 1000},
        {INT64_C(5000000000), INT64_C(2500000000), 50, 500},
        // a file that grew far beyond the sum: held at the largest int, not wrapped
        {1, INT64_C(30000000), INT32_MAX, INT32_MAX},
    };
    for (const ProgressCase& c : cases) {
        EXPECT_EQ(c.percent, PercentCopied(c.total, c.copied)) << c.total << " " << c.copied;
        EXPECT_EQ(c.position, BarPosition(1000, c.total, c.copied)) << c.total << " " << c.copied;
    }
}

} // namespace
