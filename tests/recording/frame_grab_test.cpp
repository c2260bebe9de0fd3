#include "recording/frame_grab.h"

#include "recording/recording_arithmetic.h"
#include "recording/recording_seams.h"
#include "settings/app_settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace {
constexpr int kLeft = 100;
constexpr int kTop = 100;
constexpr int kWidth = 321;
constexpr int kHeight = 240;
constexpr COLORREF kWhite = RGB(255, 255, 255);

// Paints the grabbed rectangle white, with a red left half of its top 100 rows and a blue band in
// its bottom 40 rows.
LRESULT CALLBACK PaintPicture(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const RECT red{0, 0, kWidth / 2, 100};
    const RECT blue{0, kHeight - 40, kWidth, kHeight};
    GdiBrush redBrush(CreateSolidBrush(RGB(255, 0, 0)));
    GdiBrush blueBrush(CreateSolidBrush(RGB(0, 0, 255)));
    FillRect(dc, &red, redBrush.get());
    FillRect(dc, &blue, blueBrush.get());
    EndPaint(window, &paint);
    return 0;
}

COLORREF PixelAt(const BITMAPINFOHEADER* frame, int x, int y)
{
    const auto* pixels = reinterpret_cast<const BYTE*>(frame) + FramePixelOffset(frame);
    const int bytes = frame->biBitCount / 8;
    const int row = ((frame->biBitCount * frame->biWidth + 31) / 32) * 4;
    const BYTE* p = pixels + (frame->biHeight - 1 - y) * row + x * bytes;
    return RGB(p[2], p[1], p[0]);
}

class FrameGrab : public ::testing::Test {
protected:
    void SetUp() override
    {
        UsePlainCaptureSettings();
        AppSettings& s = Settings();
        s.g_cursortype = kCursorActual;
        s.g_hookcursor = nullptr;
        s.g_cursorhandle.builtIn = nullptr;
        SetCursorPos(900, 700);
    }
    static void SetUpTestSuite()
    {
        picture = new TestPopup("FramelarkGrabPicture", RECT{kLeft, kTop, kLeft + kWidth, kTop + kHeight}, &PaintPicture);
        PumpFor(300);
    }
    static void TearDownTestSuite() { delete picture; }
    static TestPopup* picture;
};
TestPopup* FrameGrab::picture = nullptr;

HCURSOR SquareCursor(int hotX, int hotY)
{
    // 32 x 32, black where the AND mask is 0 and the XOR mask is 0.
    std::vector<BYTE> andMask(32 * 4, 0x00);
    std::vector<BYTE> xorMask(32 * 4, 0x00);
    return CreateCursor(GetModuleHandleA(nullptr), hotX, hotY, 32, 32, andMask.data(), xorMask.data());
}

// Frames show the cursor given, as a built-in one.
void RecordCursor(HCURSOR cursor)
{
    AppSettings& s = Settings();
    s.g_recordcursor = 1;
    s.g_cursortype = kCursorBuiltIn;
    s.g_cursorhandle.builtIn = cursor;
}
} // namespace

TEST_F(FrameGrab, HeaderAndPixelsAt24And32Bits)
{
    for (const int bits : {24, 32}) {
        Settings().g_capturebits = bits;
        FramePtr frame(GrabFrame(kLeft, kTop, kWidth, kHeight, true));
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->biSize, 40u);
        EXPECT_EQ(frame->biWidth, kWidth);
        EXPECT_EQ(frame->biHeight, kHeight);
        EXPECT_EQ(frame->biPlanes, 1);
        EXPECT_EQ(frame->biBitCount, bits);
        EXPECT_EQ(frame->biCompression, static_cast<DWORD>(BI_RGB));
        EXPECT_EQ(frame->biSizeImage, bits == 24 ? 231360u : 308160u);
        EXPECT_EQ(frame->biClrUsed, 0u);
        EXPECT_EQ(FramePixelOffset(frame.get()), 40u);
        EXPECT_EQ(GlobalSize(GlobalHandle(frame.get())), 40u + frame->biSizeImage);
        EXPECT_EQ(PixelAt(frame.get(), 0, 0), RGB(255, 0, 0));
        EXPECT_EQ(PixelAt(frame.get(), 159, 99), RGB(255, 0, 0));
        EXPECT_EQ(PixelAt(frame.get(), 161, 0), kWhite);
        EXPECT_EQ(PixelAt(frame.get(), 0, 100), kWhite);
        EXPECT_EQ(PixelAt(frame.get(), 320, 200), RGB(0, 0, 255));
        EXPECT_EQ(PixelAt(frame.get(), 320, 199), kWhite);
    }
}

TEST_F(FrameGrab, SixteenBitFramesHoldFiveBitsPerColour)
{
    Settings().g_capturebits = 16;
    FramePtr frame(GrabFrame(kLeft, kTop, kWidth, kHeight, true));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->biBitCount, 16);
    EXPECT_EQ(frame->biSizeImage, 644u * kHeight);
    const auto* pixels = reinterpret_cast<const BYTE*>(frame.get()) + FramePixelOffset(frame.get());
    const auto word = [&](int x, int y) {
        const BYTE* p = pixels + (kHeight - 1 - y) * 644 + x * 2;
        return p[0] | (p[1] << 8);
    };
    EXPECT_EQ(word(0, 0), 0x7C00); // red
    EXPECT_EQ(word(161, 0), 0x7FFF); // white
    EXPECT_EQ(word(320, 200), 0x001F); // blue
}

TEST_F(FrameGrab, EightBitFramesCarryAFullColourTable)
{
    Settings().g_capturebits = 8;
    FramePtr frame(GrabFrame(kLeft, kTop, 320, kHeight, true));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->biClrUsed, 256u);
    EXPECT_EQ(FramePixelOffset(frame.get()), 1064u);
    EXPECT_EQ(frame->biSizeImage, 320u * 240u);
    // The red corner maps to a palette entry that is red.
    const auto* bytes = reinterpret_cast<const BYTE*>(frame.get());
    const BYTE index = bytes[1064 + 239 * 320];
    const auto* table = reinterpret_cast<const RGBQUAD*>(bytes + 40);
    EXPECT_EQ(table[index].rgbRed, 255);
    EXPECT_EQ(table[index].rgbGreen, 0);
}

TEST_F(FrameGrab, CursorIsDrawnAtItsHotSpotAndClipped)
{
    OwnedCursor cursor(SquareCursor(5, 5));
    ASSERT_TRUE(cursor);
    RecordCursor(cursor.get());

    SetCursorPos(kLeft + 200, kTop + 150);
    FramePtr inside(GrabFrame(kLeft, kTop, kWidth, kHeight, true));
    ASSERT_TRUE(inside);
    EXPECT_EQ(PixelAt(inside.get(), 195, 145), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(inside.get(), 226, 176), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(inside.get(), 194, 150), kWhite);
    EXPECT_EQ(PixelAt(inside.get(), 227, 150), kWhite);

    // 10 pixels left of the frame: the image spans -15 .. 16, so columns 0 .. 16 are covered.
    SetCursorPos(kLeft - 10, kTop + 150);
    FramePtr clipped(GrabFrame(kLeft, kTop, kWidth, kHeight, true));
    ASSERT_TRUE(clipped);
    EXPECT_EQ(PixelAt(clipped.get(), 0, 150), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(clipped.get(), 16, 150), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(clipped.get(), 17, 150), kWhite);
}

TEST_F(FrameGrab, HighlightCellIsCentredOnTheHotSpot)
{
    AppSettings& s = Settings();
    s.g_highlightcursor = 1;
    s.g_highlightcolor = 0x00FF00FF; // magenta: red 255, blue 255
    s.g_highlightsize = 128;
    s.g_highlightshape = kShapeSquare;

    // 10 pixels left of the frame, the 128-pixel cell reaches 54 pixels in.
    SetCursorPos(kLeft - 10, kTop + 150);
    FramePtr frame(GrabFrame(kLeft, kTop, kWidth, kHeight, true));
    ASSERT_TRUE(frame);
    EXPECT_EQ(PixelAt(frame.get(), 0, 150), RGB(255, 0, 255));
    EXPECT_EQ(PixelAt(frame.get(), 50, 150), RGB(255, 0, 255));
    EXPECT_EQ(PixelAt(frame.get(), 55, 150), kWhite);
    EXPECT_EQ(PixelAt(frame.get(), 0, 50), RGB(255, 0, 0)); // above the cell
}

TEST_F(FrameGrab, EllipseHighlightFillsItsHalfHeightBox)
{
    AppSettings& s = Settings();
    s.g_highlightcursor = 1;
    s.g_highlightcolor = 0x00FF00FF;
    s.g_highlightsize = 64;
    s.g_highlightshape = kShapeEllipse;
    SetCursorPos(kLeft + 200, kTop + 150);
    FramePtr frame(GrabFrame(kLeft, kTop, kWidth, kHeight, true));
    ASSERT_TRUE(frame);
    // The cell's box (32, 48) to (96, 80) is x 168 .. 232 and y 134 .. 166 in the frame.
    const COLORREF tinted = RGB(255, 0, 255);
    EXPECT_EQ(PixelAt(frame.get(), 200, 150), tinted);
    EXPECT_EQ(PixelAt(frame.get(), 172, 150), tinted);
    EXPECT_EQ(PixelAt(frame.get(), 200, 138), tinted);
    EXPECT_EQ(PixelAt(frame.get(), 200, 163), tinted);
    EXPECT_EQ(PixelAt(frame.get(), 165, 150), kWhite);
    EXPECT_EQ(PixelAt(frame.get(), 235, 150), kWhite);
    EXPECT_EQ(PixelAt(frame.get(), 200, 131), kWhite);
    EXPECT_EQ(PixelAt(frame.get(), 200, 169), kWhite);
    EXPECT_EQ(PixelAt(frame.get(), 170, 136), kWhite); // corner of the box, outside the ellipse

    s.g_highlightshape = 7; // unknown shapes leave the frame alone
    FramePtr plain(GrabFrame(kLeft, kTop, kWidth, kHeight, true));
    ASSERT_TRUE(plain);
    EXPECT_EQ(PixelAt(plain.get(), 200, 150), kWhite);
}

TEST_F(FrameGrab, ActualCursorFallsBackUntilTheHookReports)
{
    Settings().g_cursortype = kCursorActual;
    const HCURSOR first = ChooseCursor();
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(Settings().g_hookcursor.load(), nullptr) << "the hook's value is not the grabber's to write";
    const HCURSOR reported = LoadCursor(nullptr, IDC_CROSS);
    Settings().g_hookcursor = reported;
    EXPECT_EQ(ChooseCursor(), reported);
}

namespace {
struct FlashLog : IFlashingFrame {
    std::vector<std::string> calls;
    void SetShape(int left, int top, int width, int height, bool thin) override
    {
        calls.push_back("shape " + std::to_string(left) + "," + std::to_string(top) + " " + std::to_string(width) + "x" +
                        std::to_string(height) + (thin ? " thin" : ""));
    }
    void Paint(COLORREF color) override { calls.push_back("paint " + std::to_string(color)); }
    void Invert(COLORREF color) override { calls.push_back("invert " + std::to_string(color)); }
    void Show() override { calls.push_back("show"); }
    void Hide() override { calls.push_back("hide"); }
};
} // namespace

TEST_F(FrameGrab, RecordingGrabsMarkTheFlashingFrame)
{
    FlashLog log;
    Seams().flashingFrame = &log;
    Settings().flashingRect = 1;
    const std::string yellow = std::to_string(RGB(255, 255, 180));
    const std::string green = std::to_string(RGB(0, 255, 80));

    ReleaseFrame(GrabFrame(kLeft, kTop, 32, 32, true));
    EXPECT_TRUE(log.calls.empty());

    ReleaseFrame(GrabFrame(kLeft, kTop, 32, 32, false));
    EXPECT_EQ(log.calls, (std::vector<std::string>{"paint " + yellow, "paint " + green}));

    log.calls.clear();
    Settings().autopan = 1;
    ReleaseFrame(GrabFrame(kLeft, kTop, 32, 32, false));
    EXPECT_EQ(log.calls, (std::vector<std::string>{"shape 100,100 32x32 thin", "invert " + green, "invert " + green}));

    log.calls.clear();
    Settings().flashingRect = 0;
    ReleaseFrame(GrabFrame(kLeft, kTop, 32, 32, false));
    EXPECT_TRUE(log.calls.empty());
    Seams().flashingFrame = nullptr;
}

TEST_F(FrameGrab, AFrameThatCannotBeHadIsReportedNotFatal)
{
    EXPECT_EQ(GrabFrame(0, 0, 200000, 200000, true), nullptr);
    ReleaseFrame(nullptr);
}

// A recording draws frames straight into its blocks: byte for byte what a single grab gives, odd
// row lengths and colour tables included.
TEST_F(FrameGrab, RecordingFramesEqualSingleGrabsAtEveryDepth)
{
    for (const int bits : {8, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        Settings().g_capturebits = bits;
        FramePtr single(GrabFrame(kLeft, kTop, kWidth, kHeight, true));
        CFrameGrabber grabber(kWidth, kHeight);
        FramePtr recorded = grabber.Grab(kLeft, kTop);
        ASSERT_TRUE(single && recorded);
        const std::size_t bytes = FramePixelOffset(single.get()) + single->biSizeImage;
        EXPECT_EQ(std::memcmp(single.get(), recorded.get(), bytes), 0);
    }
}

TEST_F(FrameGrab, RecordingGrabsReuseTheirBlockAndCopyEachFrameAfresh)
{
    OwnedCursor cursor(SquareCursor(0, 0));
    ASSERT_TRUE(cursor);
    RecordCursor(cursor.get());
    AppSettings& s = Settings();
    s.g_capturebits = 32;
    CFrameGrabber grabber(kWidth, kHeight);

    SetCursorPos(kLeft + 200, kTop + 150);
    FramePtr first = grabber.Grab(kLeft, kTop);
    ASSERT_TRUE(first);
    EXPECT_EQ(PixelAt(first.get(), 210, 160), RGB(0, 0, 0));
    const BITMAPINFOHEADER* firstBlock = first.get();
    first->biXPelsPerMeter = 99; // a reader's scribble must not outlive the frame
    first.reset();

    // The cursor moved: the kept bitmap shows no trace of the first frame's cursor.
    SetCursorPos(kLeft + 250, kTop + 30);
    FramePtr second = grabber.Grab(kLeft, kTop);
    ASSERT_TRUE(second);
    EXPECT_EQ(second.get(), firstBlock);
    EXPECT_EQ(second->biXPelsPerMeter, 0);
    EXPECT_EQ(second->biSizeImage, 308160u);
    EXPECT_EQ(PixelAt(second.get(), 210, 160), kWhite);
    EXPECT_EQ(PixelAt(second.get(), 260, 40), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(second.get(), 0, 0), RGB(255, 0, 0));

    // A frame still held is never the next frame's block, and stays as it was.
    SetCursorPos(kLeft + 100, kTop + 180);
    FramePtr third = grabber.Grab(kLeft, kTop);
    ASSERT_TRUE(third);
    EXPECT_NE(third.get(), second.get());
    EXPECT_EQ(PixelAt(second.get(), 260, 40), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(second.get(), 110, 190), kWhite);
    EXPECT_EQ(PixelAt(third.get(), 110, 190), RGB(0, 0, 0));

    // Autopan moves the grab: the same grabber copies from the new corner.
    third.reset();
    second.reset();
    FramePtr moved = grabber.Grab(kLeft + kWidth / 2, kTop);
    ASSERT_TRUE(moved);
    EXPECT_EQ(PixelAt(moved.get(), 0, 0), kWhite);
    EXPECT_EQ(PixelAt(moved.get(), 0, 200), RGB(0, 0, 255));
    moved.reset();

    // Another cursor brings its own hot spot: the image starts 10 pixels up and left.
    OwnedCursor offset(SquareCursor(10, 10));
    ASSERT_TRUE(offset);
    s.g_cursorhandle.builtIn = offset.get();
    SetCursorPos(kLeft + 250, kTop + 30);
    FramePtr shifted = grabber.Grab(kLeft, kTop);
    ASSERT_TRUE(shifted);
    EXPECT_EQ(PixelAt(shifted.get(), 240, 20), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(shifted.get(), 271, 51), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(shifted.get(), 273, 53), kWhite);
}

// A followed window that grew: its picture fitted into the frame between black bars, and the
// cursor drawn where it is over the picture.
TEST_F(FrameGrab, AResizedWindowIsScaledIntoTheFrameBetweenBars)
{
    OwnedCursor cursor(SquareCursor(0, 0));
    ASSERT_TRUE(cursor);
    RecordCursor(cursor.get());
    for (const int bits : {24, 32}) {
        SCOPED_TRACE(bits);
        Settings().g_capturebits = bits;
        // 321 x 240 into 160 x 240: 160 x 120, 60 rows of bar above and below.
        CFrameGrabber grabber(160, 240);
        SetCursorPos(kLeft + 200, kTop + 150);
        const FramePtr frame = grabber.Grab(FitWindow({kLeft, kTop, kLeft + kWidth - 1, kTop + kHeight - 1}, 160, 240));
        ASSERT_TRUE(frame);
        const auto looks = [&](int x, int y, COLORREF expected) {
            const COLORREF got = PixelAt(frame.get(), x, y);
            return std::abs(GetRValue(got) - GetRValue(expected)) < 16 &&
                   std::abs(GetGValue(got) - GetGValue(expected)) < 16 && std::abs(GetBValue(got) - GetBValue(expected)) < 16;
        };
        EXPECT_TRUE(looks(80, 30, RGB(0, 0, 0)) && looks(80, 200, RGB(0, 0, 0)));
        EXPECT_TRUE(looks(20, 70, RGB(255, 0, 0)));
        EXPECT_TRUE(looks(140, 70, kWhite));
        EXPECT_TRUE(looks(80, 172, RGB(0, 0, 255)));
        EXPECT_TRUE(looks(110, 145, RGB(0, 0, 0))); // the cursor, at (99, 135) in the frame
        EXPECT_TRUE(looks(95, 145, kWhite));
    }
}

namespace {
// A bitmap of the frame's format filled with varied bytes, with its memory.
struct Background {
    GdiBitmap bitmap;
    BYTE* bits = nullptr;
    std::size_t size = 0;

    Background(int width, int height, int bitsPerPixel)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = static_cast<WORD>(bitsPerPixel);
        info.bmiHeader.biCompression = BI_RGB;
        void* memory = nullptr;
        bitmap.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0));
        bits = static_cast<BYTE*>(memory);
        size = static_cast<std::size_t>((width * bitsPerPixel + 31) / 32 * 4) * static_cast<std::size_t>(height);
        for (std::size_t i = 0; i < size; ++i) {
            bits[i] = static_cast<BYTE>(i * 131 + i / 977);
        }
    }
};
} // namespace

TEST_F(FrameGrab, ReplayedCursorsMatchWhatGdiDraws)
{
    OwnedCursor square(SquareCursor(5, 5));
    const struct {
        const char* name;
        HCURSOR cursor;
    } cursors[] = {{"arrow", LoadCursor(nullptr, IDC_ARROW)}, {"ibeam", LoadCursor(nullptr, IDC_IBEAM)},
                   {"hand", LoadCursor(nullptr, IDC_HAND)},   {"wait", LoadCursor(nullptr, IDC_WAIT)},
                   {"cross", LoadCursor(nullptr, IDC_CROSS)}, {"square", square.get()}};
    const struct {
        int on;
        int shape;
        int size;
    } highlights[] = {{0, 0, 0}, {1, kShapeEllipse, 64}, {1, kShapeSquare, 128}, {1, kShapeCircle, 200}};
    constexpr int kW = 97;
    constexpr int kH = 61;
    // Inside, across edges and corners, and outside.
    const POINT points[] = {{40, 30}, {1, 2}, {kW - 2, kH - 1}, {-10, 30}, {50, -40}, {300, 30}};
    AppSettings& s = Settings();
    s.g_recordcursor = 1;
    s.g_cursortype = kCursorBuiltIn;
    s.g_highlightcolor = RGB(255, 255, 125);
    for (const int bits : {32, 24, 16}) {
        CCursorOverlays overlays(bits);
        CCursorHotSpot hotSpots;
        for (const auto& c : cursors) {
            ASSERT_TRUE(c.cursor) << c.name;
            s.g_cursorhandle.builtIn = c.cursor;
            for (const auto& h : highlights) {
                s.g_highlightcursor = h.on;
                s.g_highlightshape = h.shape;
                s.g_highlightsize = h.size;
                for (const POINT& p : points) {
                    SCOPED_TRACE(testing::Message() << c.name << " at " << bits << " bits, highlight " << h.on << "/"
                                                    << h.shape << "/" << h.size << ", at " << p.x << ", " << p.y);
                    Background drawn(kW, kH, bits);
                    Background replayed(kW, kH, bits);
                    ASSERT_TRUE(drawn.bits && replayed.bits);
                    {
                        MemoryDC dc(CreateCompatibleDC(nullptr));
                        SelectGuard select(dc.get(), drawn.bitmap.get());
                        if (h.on) {
                            DrawHighlight(dc.get(), p.x - kHighlightCell / 2, p.y - kHighlightCell / 2);
                        }
                        const POINT hot = hotSpots.Of(c.cursor);
                        DrawIcon(dc.get(), p.x - hot.x, p.y - hot.y, c.cursor);
                        GdiFlush();
                    }
                    const std::size_t stride = static_cast<std::size_t>((kW * bits + 31) / 32 * 4);
                    const std::vector<BYTE> before(replayed.bits, replayed.bits + replayed.size);
                    if (overlays.Draw(replayed.bits, stride, kW, kH, p.x, p.y, hotSpots)) {
                        EXPECT_EQ(std::memcmp(drawn.bits, replayed.bits, drawn.size), 0);
                    } else {
                        // Only 5-5-5 frames may turn a blended cursor down, and then untouched.
                        EXPECT_EQ(bits, 16);
                        EXPECT_EQ(std::memcmp(before.data(), replayed.bits, replayed.size), 0);
                    }
                }
            }
        }
    }
}

namespace {
// Clicks and keys as the main window notes them while recording; put back as they were however the
// test ends.
class ShownInput {
public:
    ShownInput(bool shortcutsOnly)
    {
        AppSettings& s = Settings();
        s.g_showclicks = 1;
        s.g_showkeys = 1;
        s.g_shortcutsonly = shortcutsOnly ? 1 : 0;
        s.g_clickcolor = RGB(255, 200, 0);
        s.g_isrecording = 1;
    }
    ~ShownInput()
    {
        AppSettings& s = Settings();
        s.g_showclicks = 0;
        s.g_showkeys = 0;
        s.g_shortcutsonly = 1;
        s.g_isrecording = 0;
    }
    ShownInput(const ShownInput&) = delete;
    ShownInput& operator=(const ShownInput&) = delete;
};

// Presses ("+A"), releases ("-A") and hotkeys as the keyboard hook reports them.
void Type(std::initializer_list<std::pair<char, int>> strokes)
{
    for (const auto& [how, key] : strokes) {
        NoteKeyEvent(static_cast<WPARAM>(key), how == '+' ? 1 : static_cast<LPARAM>(0xC0000001u));
    }
}

void Click(int button, int x, int y)
{
    NoteMouseClick(static_cast<WPARAM>(button), MAKELPARAM(x, y));
}

// Columns of the frame's row y that differ from the reference.
std::vector<int> ChangedColumns(const BITMAPINFOHEADER* frame, const BITMAPINFOHEADER* reference, int y)
{
    std::vector<int> columns;
    for (int x = 0; x < kWidth; ++x) {
        if (PixelAt(frame, x, y) != PixelAt(reference, x, y)) {
            columns.push_back(x);
        }
    }
    return columns;
}

// Whether a pixel along the line right of (x, y), within the ring's reach, has the colour.
bool RingRightOf(const BITMAPINFOHEADER* frame, int x, int y, COLORREF colour)
{
    for (int d = 4; d < 60 && x + d < kWidth; ++d) {
        if (PixelAt(frame, x + d, y) == colour) {
            return true;
        }
    }
    return false;
}
} // namespace

TEST_F(FrameGrab, ClicksShowAsRingsOfTheirButtonsColourWhereTheyHappened)
{
    const ShownInput shown(true);
    CFrameGrabber grabber(kWidth, kHeight);
    Click(0, kLeft + 220, kTop + 60);
    Click(1, kLeft + 60, kTop + 150);
    const FramePtr frame = grabber.Grab(kLeft, kTop);
    ASSERT_TRUE(frame);
    EXPECT_TRUE(RingRightOf(frame.get(), 220, 60, RGB(255, 200, 0)));
    EXPECT_FALSE(RingRightOf(frame.get(), 220, 60, RGB(0, 255, 200)));
    EXPECT_TRUE(RingRightOf(frame.get(), 60, 150, RGB(0, 255, 200)));
    EXPECT_EQ(PixelAt(frame.get(), 220, 60), kWhite); // the point itself stays visible
    // Once over, a ring is gone from the next frames.
    Sleep(kClickRingMs + 50);
    const FramePtr later = grabber.Grab(kLeft, kTop);
    ASSERT_TRUE(later);
    EXPECT_FALSE(RingRightOf(later.get(), 220, 60, RGB(255, 200, 0)));
}

TEST_F(FrameGrab, KeysShowAsACaptionAndTypedTextOnlyWhenAsked)
{
    FramePtr reference(GrabFrame(kLeft, kTop, kWidth, kHeight, true), FrameReleaser{});
    ASSERT_TRUE(reference);
    const WindowDC screen(nullptr);
    const int captionRow = kHeight - MulDiv(24, GetDeviceCaps(screen.get(), LOGPIXELSY), 96) - 4; // inside the box
    const auto captionWidth = [&](bool shortcutsOnly, const std::function<void()>& typing) {
        const ShownInput shown(shortcutsOnly);
        CFrameGrabber grabber(kWidth, kHeight);
        typing();
        const FramePtr frame = grabber.Grab(kLeft, kTop);
        EXPECT_TRUE(frame);
        const std::vector<int> changed = frame ? ChangedColumns(frame.get(), reference.get(), captionRow) : std::vector<int>{};
        return changed.empty() ? 0 : changed.back() - changed.front() + 1;
    };
    const auto shortcuts = [] {
        Type({{'+', VK_CONTROL}, {'+', 'S'}, {'-', 'S'}, {'-', VK_CONTROL}, {'+', VK_MENU}, {'+', VK_TAB}, {'-', VK_TAB},
              {'-', VK_MENU}});
    };
    const auto hello = [] { Type({{'+', 'H'}, {'+', 'E'}, {'+', 'L'}, {'-', 'L'}, {'+', 'L'}, {'+', 'O'}}); };
    const auto hotkeys = [] { Type({{'+', VK_F7}, {'+', VK_F8}, {'+', VK_F9}}); };

    const int chords = captionWidth(true, shortcuts);
    EXPECT_GT(chords, 40);
    EXPECT_EQ(captionWidth(true, [&] { shortcuts(); hello(); }), chords);
    EXPECT_EQ(captionWidth(true, hello), 0);
    EXPECT_GT(captionWidth(false, hello), 20);
    EXPECT_GT(captionWidth(false, [&] { shortcuts(); hello(); }), chords);
    EXPECT_EQ(captionWidth(false, hotkeys), 0);
}
