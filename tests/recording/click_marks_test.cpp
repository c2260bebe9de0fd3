#include "recording/click_ring.h"
#include "recording/input_event_log.h"
#include "recording/mark_drawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>

namespace {
struct Picture {
    std::vector<std::uint8_t> bytes;
    FrameRows rows;
    Picture(int width, int height, int bpp, std::uint8_t fill)
    {
        rows.stride = (static_cast<std::size_t>(width) * bpp + 3) / 4 * 4;
        bytes.assign(rows.stride * static_cast<std::size_t>(height), fill);
        rows = {bytes.data(), rows.stride, width, height, bpp};
    }
    // 0x00BBGGRR of the pixel at (x, y) from the top.
    std::uint32_t At(int x, int y) const
    {
        const std::uint8_t* p = bytes.data() + static_cast<std::size_t>(rows.height - 1 - y) * rows.stride +
                                static_cast<std::size_t>(x) * rows.bytesPerPixel;
        return p[2] | (p[1] << 8) | (p[0] << 16);
    }
};
} // namespace

TEST(ClickRing, GrowsFadesAndScalesWithTheMonitor)
{
    EXPECT_FALSE(RingAt(-1, 96));
    EXPECT_FALSE(RingAt(kClickRingMs, 96));
    double radius = 0;
    int opacity = 255;
    for (std::int32_t age = 0; age < kClickRingMs; age += 20) {
        const auto ring = RingAt(age, 96);
        ASSERT_TRUE(ring);
        EXPECT_GT(ring->radius, radius) << age;
        EXPECT_LE(ring->opacity, opacity) << age;
        EXPECT_EQ(ring->opacity == 255, age <= kClickRingMs / 2) << age;
        EXPECT_DOUBLE_EQ(RingAt(age, 192)->radius, 2 * ring->radius);
        radius = ring->radius;
        opacity = ring->opacity;
    }
    const std::uint32_t amber = 0x0000C8FF;
    EXPECT_EQ(ClickColour(MouseButton::Left, amber), amber);
    EXPECT_NE(ClickColour(MouseButton::Right, amber), amber);
    EXPECT_NE(ClickColour(MouseButton::Middle, amber), amber);
    EXPECT_NE(ClickColour(MouseButton::Right, amber), ClickColour(MouseButton::Middle, amber));
}

TEST(ClickRing, DrawsOnItsCircleOnlyAndClipsAnywhere)
{
    for (const int bpp : {3, 4}) {
        Picture picture(101, 80, bpp, 0x40);
        const RingShape ring{20, 4, 255};
        DrawRing(picture.rows, 50, 40, ring, 0x0000C8FF);
        EXPECT_EQ(picture.At(70, 40), 0x0000C8FFu);
        EXPECT_EQ(picture.At(50, 20), 0x0000C8FFu);
        EXPECT_EQ(picture.At(50, 40), 0x00404040u); // the click's point stays visible
        EXPECT_EQ(picture.At(90, 40), 0x00404040u);
    }
    // Every pixel whose centre lies on the line is the colour; every other within its reach is
    // touched at most; the rest stay as they were.
    std::mt19937 random(36);
    for (int i = 0; i < 50; ++i) {
        Picture picture(90, 90, 4, 0);
        const double x = 20 + (random() % 500) / 10.0;
        const double y = 20 + (random() % 500) / 10.0;
        const auto ring = *RingAt(static_cast<std::int32_t>(random() % (kClickRingMs / 2)), 96);
        DrawRing(picture.rows, x, y, ring, 0xFFFFFF);
        for (int py = 0; py < 90; ++py) {
            for (int px = 0; px < 90; ++px) {
                const double off = std::abs(std::hypot(px - x, py - y) - ring.radius);
                if (off <= ring.thickness / 2 - 0.5) {
                    EXPECT_EQ(picture.At(px, py), 0xFFFFFFu) << px << "," << py;
                } else if (off >= ring.thickness / 2 + 0.5) {
                    EXPECT_EQ(picture.At(px, py), 0u) << px << "," << py;
                }
            }
        }
    }
    // Anywhere, also far off the frame: the sanitizers catch a write outside it.
    std::uniform_real_distribution<double> place(-100, 200);
    for (int i = 0; i < 300; ++i) {
        Picture picture(1 + static_cast<int>(random() % 90), 1 + static_cast<int>(random() % 90), 3 + static_cast<int>(random() % 2), 0);
        DrawRing(picture.rows, place(random), place(random), *RingAt(static_cast<std::int32_t>(random() % kClickRingMs), 144), 0xFFFFFF);
        const CoverageMask box = RoundedBox(static_cast<int>(random() % 120), static_cast<int>(random() % 40), 6);
        BlendMask(picture.rows, box, static_cast<int>(place(random)), static_cast<int>(place(random)), 0xFFFFFF, 200);
    }
}

TEST(CaptionBox, RoundedCornersAndBlendedOpacity)
{
    const CoverageMask box = RoundedBox(40, 20, 6);
    EXPECT_EQ(box.coverage[0], 0);                      // corner
    EXPECT_EQ(box.coverage[10 * 40 + 20], 255);         // middle
    EXPECT_EQ(box.coverage[10 * 40 + 0], 255);          // edge between the corners
    EXPECT_EQ(RoundedBox(3, 3, 0).coverage[4], 255);
    Picture picture(60, 30, 4, 0xFF);
    BlendMask(picture.rows, box, 10, 5, 0x00202020, 128);
    EXPECT_EQ(picture.At(30, 15), 0x008F8F8Fu); // half of white and dark
    EXPECT_EQ(picture.At(10, 5), 0x00FFFFFFu);
}

TEST(InputEventLog, HandsEventsOverInOrderAndDropsTheOldestWhenBehind)
{
    CInputEventLog log;
    const auto add = [&](std::uint32_t time) {
        InputEvent event;
        event.key.time = time;
        log.Add(event);
    };
    std::uint64_t next = log.End();
    std::thread writer([&] {
        for (std::uint32_t i = 1; i <= 5000; ++i) {
            add(i);
        }
    });
    std::uint32_t last = 0;
    while (last != 5000) {
        std::vector<InputEvent> taken;
        log.TakeSince(next, taken);
        for (const InputEvent& event : taken) {
            ASSERT_GT(event.key.time, last);
            last = event.key.time;
        }
    }
    writer.join();
    for (std::uint32_t i = 1; i <= 600; ++i) {
        add(i);
    }
    std::vector<InputEvent> behind;
    log.TakeSince(next, behind);
    ASSERT_FALSE(behind.empty());
    EXPECT_LT(behind.size(), 600u);
    EXPECT_EQ(behind.back().key.time, 600u);
    EXPECT_EQ(behind.front().key.time, 600u - behind.size() + 1);
}
