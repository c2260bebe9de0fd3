#include "options/cursor_options_dialog.h"
#include "options/cursor_options_rules.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "dialog_driver.h"

#include <commdlg.h>
#include <colordlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {
constexpr COLORREF kHighlightColour = RGB(0, 0, 255);
constexpr COLORREF kPreviewGrey = RGB(192, 192, 192);

HICON PreviewIcon(HWND dialog)
{
    return reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, IDC_CURSOR_PREVIEW, STM_GETICON, 0, 0));
}

// A pixel of the highlight preview, from the top-left corner of its square, which is centred in its
// box (64 pixels a side at the test display's 96 dpi).
COLORREF PreviewPixel(HWND dialog, int x, int y)
{
    HWND box = GetDlgItem(dialog, IDC_HIGHLIGHT_PREVIEW);
    RECT area{};
    GetClientRect(box, &area);
    HDC dc = GetDC(box);
    const COLORREF colour =
        GetPixel(dc, (area.right - kHighlightPreviewSide) / 2 + x, (area.bottom - kHighlightPreviewSide) / 2 + y);
    ReleaseDC(box, dc);
    return colour;
}

// True when the two controls' rectangles share a pixel.
bool Overlap(HWND dialog, int first, int second)
{
    RECT a{};
    RECT b{};
    RECT both{};
    GetWindowRect(GetDlgItem(dialog, first), &a);
    GetWindowRect(GetDlgItem(dialog, second), &b);
    return IntersectRect(&both, &a, &b) != 0;
}

// The program's own skin cursor, as the bytes of a cursor file.
std::vector<unsigned char> CursorFileBytes()
{
    std::vector<unsigned char> bytes;
    if (FILE* file = std::fopen("Z:" FRAMELARK_IMAGES "/1023_skin.cur", "rb")) {
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
            bytes.push_back(static_cast<unsigned char>(c));
        }
        std::fclose(file);
    }
    return bytes;
}

std::string TempFile(const char* name, const std::vector<unsigned char>& bytes)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof(folder), folder);
    const std::string path = std::string(folder) + name;
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

// Chooses `path` in the "File to load" dialog, as a person typing its name would.
void ChooseFile(HWND dialog, const std::string& path)
{
    AnswerWhenShown("File to load", [path](HWND chooser) {
        SetDlgItemTextA(chooser, cmb13, path.c_str());
        PostMessageA(chooser, WM_COMMAND, IDOK, 0);
    });
    ClickButton(dialog, IDC_CURSOR_FILE);
}

class CursorOptionsTest : public testing::Test {
protected:
    void SetUp() override
    {
        AppSettings& s = Settings();
        s.g_recordcursor = 1;
        s.g_cursortype = kCursorActual;
        s.g_customsel = 0;
        s.g_highlightcursor = 0;
        s.g_highlightsize = 64;
        s.g_highlightshape = kShapeCircle;
        s.g_highlightcolor = kHighlightColour;
        s.g_cursorhandle = {};
        s.g_cursorfile.clear();
        s.cursordir.clear();
        s.g_showclicks = 0;
        s.g_clickcolor = RGB(255, 200, 0);
        s.g_showkeys = 0;
        s.g_shortcutsonly = 1;
    }

    static void Run(const std::function<void(HWND)>& script)
    {
        DriveModal("Cursor Options", [] { CCursorOptionsDialog::Run(nullptr); }, script);
    }
};
} // namespace

TEST_F(CursorOptionsTest, TypeRadiosEnableTheirOwnControlsAndOKStoresTheChoice)
{
    Run([](HWND d) {
        EXPECT_TRUE(ItemChecked(d, IDC_SHOW_CURSOR));
        EXPECT_TRUE(ItemChecked(d, IDC_ACTUAL_CURSOR));
        EXPECT_FALSE(ItemEnabled(d, IDC_BUILTIN_CURSORS));
        EXPECT_FALSE(ItemEnabled(d, IDC_CURSOR_FILE));
        EXPECT_FALSE(ItemEnabled(d, IDC_HIGHLIGHT_SIZE));
        EXPECT_FALSE(ItemEnabled(d, IDC_HIGHLIGHT_HALFSIZE));

        ClickButton(d, IDC_FILE_CURSOR);
        EXPECT_TRUE(ItemChecked(d, IDC_FILE_CURSOR));
        EXPECT_FALSE(ItemChecked(d, IDC_ACTUAL_CURSOR));
        EXPECT_FALSE(ItemEnabled(d, IDC_BUILTIN_CURSORS));
        EXPECT_TRUE(ItemEnabled(d, IDC_CURSOR_FILE));
        EXPECT_EQ(PreviewIcon(d), nullptr); // no file chosen yet

        ClickButton(d, IDC_CUSTOM_CURSOR);
        EXPECT_TRUE(ItemEnabled(d, IDC_BUILTIN_CURSORS));
        EXPECT_FALSE(ItemEnabled(d, IDC_CURSOR_FILE));
        EXPECT_EQ(ItemText(d, IDC_BUILTIN_CURSORS), "Hand 1");
        ChooseEntry(d, IDC_BUILTIN_CURSORS, 3);
        EXPECT_EQ(ItemText(d, IDC_BUILTIN_CURSORS), "Point 2");

        SendDlgItemMessageA(d, IDC_HIGHLIGHT_CURSOR, BM_CLICK, 0, 0);
        EXPECT_TRUE(ItemEnabled(d, IDC_HIGHLIGHT_SIZE));
        EXPECT_TRUE(ItemEnabled(d, IDC_HIGHLIGHT_SHAPE_LABEL));
        MoveSlider(d, IDC_HIGHLIGHT_SIZE, 100);
        ChooseEntry(d, IDC_HIGHLIGHT_SHAPE, kShapeRectangle);
        ClickButton(d, IDOK);
    });
    const AppSettings& s = Settings();
    EXPECT_EQ(s.g_cursortype, kCursorBuiltIn);
    EXPECT_EQ(s.g_customsel, 3);
    EXPECT_EQ(s.g_cursorhandle.builtIn, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_CURSOR_POINT2)));
    EXPECT_EQ(s.g_highlightcursor, 1);
    EXPECT_EQ(s.g_highlightsize, 100);
    EXPECT_EQ(s.g_highlightshape, kShapeRectangle);
}

TEST_F(CursorOptionsTest, HideEmptiesThePreviewAndShowForcesAnUnknownTypeToFile)
{
    Settings().g_cursortype = 7;
    Settings().g_recordcursor = 0;
    Run([](HWND d) {
        EXPECT_TRUE(ItemChecked(d, IDC_HIDE_CURSOR));
        for (int id : {IDC_ACTUAL_CURSOR, IDC_CUSTOM_CURSOR, IDC_FILE_CURSOR, IDC_BUILTIN_CURSORS, IDC_CURSOR_FILE}) {
            EXPECT_FALSE(ItemEnabled(d, id)) << id;
        }
        EXPECT_EQ(PreviewIcon(d), nullptr);
        ClickButton(d, IDC_SHOW_CURSOR);
        EXPECT_TRUE(ItemChecked(d, IDC_FILE_CURSOR));
        EXPECT_TRUE(ItemEnabled(d, IDC_CURSOR_FILE));
        EXPECT_FALSE(ItemEnabled(d, IDC_BUILTIN_CURSORS));
        ClickButton(d, IDC_CUSTOM_CURSOR);
        EXPECT_NE(PreviewIcon(d), nullptr);
        ClickButton(d, IDC_HIDE_CURSOR);
        EXPECT_EQ(PreviewIcon(d), nullptr);
        EXPECT_FALSE(ItemEnabled(d, IDC_ACTUAL_CURSOR));
        ClickButton(d, IDC_SHOW_CURSOR);
        EXPECT_TRUE(ItemChecked(d, IDC_CUSTOM_CURSOR));
        ClickButton(d, IDC_FILE_CURSOR);
        ClickButton(d, IDOK);
    });
    EXPECT_EQ(Settings().g_recordcursor, 1);
    EXPECT_EQ(Settings().g_cursortype, kCursorFromFile);
}

TEST_F(CursorOptionsTest, HighlightPreviewDrawsEachShapeAtItsSize)
{
    Settings().g_highlightcursor = 1;
    Run([](HWND d) {
        // The preview once stood at fixed pixels, under OK and Cancel.
        EXPECT_FALSE(Overlap(d, IDC_HIGHLIGHT_PREVIEW, IDOK));
        EXPECT_FALSE(Overlap(d, IDC_HIGHLIGHT_PREVIEW, IDCANCEL));
        for (int shape = 0; shape < 4; ++shape) {
            ChooseEntry(d, IDC_HIGHLIGHT_SHAPE, shape);
            for (int size : {1, 65, 128}) {
                MoveSlider(d, IDC_HIGHLIGHT_SIZE, size);
                const HighlightBox box = HighlightPreviewBox(size, shape);
                const int midY = (box.top + box.bottom) / 2;
                const int midX = (box.left + box.right) / 2;
                EXPECT_EQ(PreviewPixel(d, 0, 0), RGB(0, 0, 0)) << "outline";
                if (box.right - box.left > 4) {
                    EXPECT_EQ(PreviewPixel(d, midX, midY), kHighlightColour) << size << "/" << shape;
                    EXPECT_EQ(PreviewPixel(d, box.left + 2, midY), kHighlightColour) << size << "/" << shape;
                    EXPECT_EQ(PreviewPixel(d, box.left, midY), RGB(0, 0, 0)) << size << "/" << shape;
                } else {
                    EXPECT_EQ(PreviewPixel(d, 30, 32), kPreviewGrey) << size << "/" << shape;
                }
                if (box.left >= 3) {
                    EXPECT_EQ(PreviewPixel(d, box.left - 2, midY), kPreviewGrey) << size << "/" << shape;
                }
                if (box.top >= 3) {
                    EXPECT_EQ(PreviewPixel(d, midX, box.top - 2), kPreviewGrey) << size << "/" << shape;
                }
                // Corners of the cell: inside a square of full size, outside a circle.
                const COLORREF corner = PreviewPixel(d, 3, box.top + 2);
                if (size == 128 && shape >= kShapeSquare) {
                    EXPECT_EQ(corner, kHighlightColour) << size << "/" << shape;
                } else if (size == 128) {
                    EXPECT_EQ(corner, kPreviewGrey) << size << "/" << shape;
                }
            }
        }
        SendDlgItemMessageA(d, IDC_HIGHLIGHT_CURSOR, BM_CLICK, 0, 0);
        EXPECT_EQ(PreviewPixel(d, 32, 32), kPreviewGrey);
        ClickButton(d, IDCANCEL);
    });
}

TEST_F(CursorOptionsTest, CursorFilesLoadByExtensionAndAreRememberedEvenOnCancel)
{
    const std::string cur = TempFile("Pointer.Cur", CursorFileBytes());
    const std::string ani = TempFile("busy.ani", CursorFileBytes());
    Settings().g_cursortype = kCursorFromFile;
    Run([&](HWND d) {
        ChooseFile(d, ani);
        EXPECT_EQ(PreviewIcon(d), nullptr);
        EXPECT_EQ(Settings().g_cursorfile, ani);
        ClickButton(d, IDCANCEL);
    });
    EXPECT_EQ(Settings().g_cursorfile, ani);
    EXPECT_EQ(Settings().cursordir, FolderOf(ani));
    EXPECT_EQ(Settings().g_cursorhandle.fromFile, nullptr);

    Run([&](HWND d) {
        ChooseFile(d, cur);
        EXPECT_NE(PreviewIcon(d), nullptr);
        ClickButton(d, IDOK);
    });
    EXPECT_EQ(Settings().g_cursorfile, cur);
    EXPECT_NE(Settings().g_cursorhandle.fromFile, nullptr);
}

TEST_F(CursorOptionsTest, TheColourChooserSetsTheHighlightColour)
{
    Settings().g_highlightcursor = 1;
    Run([](HWND d) {
        AnswerWhenShown("Color", [](HWND chooser) {
            EXPECT_EQ(GetDlgItemInt(chooser, COLOR_BLUE, nullptr, FALSE), 255u); // the working colour preset
            SetDlgItemInt(chooser, COLOR_RED, 0, FALSE);
            SetDlgItemInt(chooser, COLOR_GREEN, 128, FALSE);
            SetDlgItemInt(chooser, COLOR_BLUE, 0, FALSE);
            PostMessageA(chooser, WM_COMMAND, IDOK, 0);
        });
        ClickButton(d, IDC_HIGHLIGHT_COLOR);
        EXPECT_EQ(PreviewPixel(d, 32, 32), RGB(0, 128, 0));
        ClickButton(d, IDOK);
    });
    EXPECT_EQ(Settings().g_highlightcolor, RGB(0, 128, 0));
}

TEST_F(CursorOptionsTest, ClicksAndKeysEnableTheirChoicesAndOKStoresThem)
{
    Run([](HWND d) {
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_CLICK_COLOR)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_SHORTCUTS_ONLY)));
        EXPECT_EQ(IsDlgButtonChecked(d, IDC_SHORTCUTS_ONLY), BST_CHECKED); // typed text stays out unless asked
        SendDlgItemMessageA(d, IDC_SHOW_CLICKS, BM_CLICK, 0, 0);
        SendDlgItemMessageA(d, IDC_SHOW_KEYS, BM_CLICK, 0, 0);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_CLICK_COLOR)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_SHORTCUTS_ONLY)));
        SendDlgItemMessageA(d, IDC_SHORTCUTS_ONLY, BM_CLICK, 0, 0);
        AnswerWhenShown("Color", [](HWND chooser) {
            EXPECT_EQ(GetDlgItemInt(chooser, COLOR_GREEN, nullptr, FALSE), 200u);
            SetDlgItemInt(chooser, COLOR_RED, 0, FALSE);
            SetDlgItemInt(chooser, COLOR_GREEN, 0, FALSE);
            SetDlgItemInt(chooser, COLOR_BLUE, 255, FALSE);
            PostMessageA(chooser, WM_COMMAND, IDOK, 0);
        });
        ClickButton(d, IDC_CLICK_COLOR);
        EXPECT_FALSE(Overlap(d, IDC_SHORTCUTS_ONLY, IDOK));
        ClickButton(d, IDOK);
    });
    const AppSettings& s = Settings();
    EXPECT_EQ(s.g_showclicks, 1);
    EXPECT_EQ(s.g_clickcolor, RGB(0, 0, 255));
    EXPECT_EQ(s.g_showkeys, 1);
    EXPECT_EQ(s.g_shortcutsonly, 0);
    EXPECT_EQ(s.g_highlightcolor, kHighlightColour);
}

TEST_F(CursorOptionsTest, CancelStoresNothing)
{
    Run([](HWND d) {
        ClickButton(d, IDC_HIDE_CURSOR);
        SendDlgItemMessageA(d, IDC_HIGHLIGHT_CURSOR, BM_CLICK, 0, 0);
        MoveSlider(d, IDC_HIGHLIGHT_SIZE, 9);
        ChooseEntry(d, IDC_HIGHLIGHT_SHAPE, kShapeSquare);
        ClickButton(d, IDCANCEL);
    });
    const AppSettings& s = Settings();
    EXPECT_EQ(s.g_recordcursor, 1);
    EXPECT_EQ(s.g_highlightcursor, 0);
    EXPECT_EQ(s.g_highlightsize, 64);
    EXPECT_EQ(s.g_highlightshape, kShapeCircle);
}
