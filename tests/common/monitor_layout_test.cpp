#include "common/monitor_layout.h"

#include <gtest/gtest.h>

namespace {
const MonitorLayout kRight{{0, 0, 1919, 1079}, {1920, 0, 3199, 1023}};
const MonitorLayout kLeft{{0, 0, 1919, 1079}, {-1280, 0, -1, 1023}};
const MonitorLayout kAbove{{0, 0, 1023, 767}, {-448, -1080, 1471, -1}};
} // namespace

TEST(MonitorLayout, VirtualScreenSpansEveryMonitorAndAPointChoosesItsMonitorOrTheNearest)
{
    EXPECT_EQ(VirtualScreen(kRight), (ScreenRect{0, 0, 3199, 1079}));
    EXPECT_EQ(VirtualScreen(kLeft), (ScreenRect{-1280, 0, 1919, 1079}));
    EXPECT_EQ(VirtualScreen(kAbove), (ScreenRect{-448, -1080, 1471, 767}));

    struct Row {
        const MonitorLayout* layout;
        std::int32_t x, y;
        std::size_t monitor;
    };
    const Row rows[] = {
        {&kRight, 0, 0, 0},        {&kRight, 1919, 1079, 0}, {&kRight, 1920, 0, 1},
        {&kRight, 3199, 1023, 1},  {&kRight, 3000, 1050, 1}, // just below the shorter monitor
        {&kRight, 5000, 500, 1},   {&kLeft, -1, 500, 1},     {&kLeft, -1280, 0, 1},
        {&kLeft, 0, 1023, 0},      {&kLeft, -2000, -50, 1},  {&kAbove, 100, -1, 1},
        {&kAbove, 100, 0, 0},      {&kAbove, -448, -1080, 1}, {&kAbove, 1500, 700, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(MonitorForPoint(*row.layout, row.x, row.y), row.monitor) << row.x << "," << row.y;
    }
    EXPECT_EQ(MonitorForPoint(MonitorLayout{}, 10, 10), 0u);
}

TEST(MonitorLayout, RectangleIsClippedToWhatExists)
{
    struct Row {
        const MonitorLayout* layout;
        ScreenRect rect;
        std::optional<ScreenRect> clipped;
        bool whole;
    };
    const Row rows[] = {
        {&kRight, {100, 100, 419, 339}, ScreenRect{100, 100, 419, 339}, true},
        {&kRight, {2000, 100, 2319, 339}, ScreenRect{2000, 100, 2319, 339}, true},
        // Across the border: both monitors hold it, except the corner below the shorter one.
        {&kRight, {1800, 900, 2099, 1059}, ScreenRect{1800, 900, 2099, 1059}, false},
        {&kRight, {1800, 100, 2099, 339}, ScreenRect{1800, 100, 2099, 339}, true},
        {&kRight, {3000, -50, 3400, 100}, ScreenRect{3000, 0, 3199, 100}, false},
        {&kRight, {4000, 0, 4100, 100}, std::nullopt, false},
        {&kLeft, {-1500, 10, -1001, 209}, ScreenRect{-1280, 10, -1001, 209}, false},
        {&kLeft, {-100, 10, 99, 109}, ScreenRect{-100, 10, 99, 109}, true},
        {&kLeft, {-1, 1100, 10, 1200}, std::nullopt, false},
        {&kAbove, {200, -300, 100, -400}, ScreenRect{100, -400, 200, -300}, true}, // reversed edges
        {&kAbove, {1400, -20, 1600, 20}, ScreenRect{1400, -20, 1471, -1}, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ClipToMonitors(row.rect, *row.layout), row.clipped) << row.rect.left << "," << row.rect.top;
        EXPECT_EQ(LiesOnMonitors(row.rect, *row.layout), row.whole) << row.rect.left << "," << row.rect.top;
    }
}

TEST(MonitorLayout, StoredRectangleComesBackOntoThePrimary)
{
    struct Row {
        const MonitorLayout* layout;
        ScreenRect stored;
        ScreenRect brought;
        std::size_t monitor;
    };
    const Row rows[] = {
        // On a monitor that is still there: kept, also at negative coordinates.
        {&kLeft, {-1000, 100, -681, 339}, {-1000, 100, -681, 339}, 1},
        {&kRight, {2500, 500, 2819, 739}, {2500, 500, 2819, 739}, 1},
        // The monitor it was on is gone: onto the primary with its size.
        {&kLeft, {2500, 500, 2819, 739}, {1600, 500, 1919, 739}, 0},
        {&kRight, {-1000, 100, -681, 339}, {0, 100, 319, 339}, 0},
        {&kAbove, {100, -3000, 419, -2761}, {100, 0, 419, 239}, 0},
        // Larger than the primary: cut to it.
        {&kAbove, {5000, 5000, 7559, 6439}, {0, 0, 1023, 767}, 0},
        // Overhanging: clipped.
        {&kRight, {3100, 900, 3299, 1099}, {3100, 900, 3199, 1023}, 1},
    };
    for (const Row& row : rows) {
        const ScreenRect brought = BringOntoMonitors(row.stored, *row.layout);
        EXPECT_EQ(brought, row.brought) << row.stored.left << "," << row.stored.top;
        EXPECT_EQ(MonitorForRect(*row.layout, brought), row.monitor) << row.stored.left << "," << row.stored.top;
    }
}
