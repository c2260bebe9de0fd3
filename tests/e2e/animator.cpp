// A window whose picture changes every 400 ms, for recording tests: flat colour fields, bars and a
// large counter, so each state is easy to tell apart and to match against screenshots. With
// "noise" it shows fresh random pixels every 50 ms instead, which no compressor makes small. With
// "clock" it is white but for a row of black and white cells near its top left that give the
// wall clock, so that a recorded frame tells when it was grabbed. With "commands" it reads lines
// from its input and does what they say: "move X Y", "size W H", "minimise", "restore", "hide",
// "show", "close".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
int g_tick = 0;
bool g_noise = false;
bool g_clock = false;

// The cells of the clock: bit i (lowest first) of the time in hundredths of a second since 1970 in
// Gray code, black for 1, each kClockCell pixels square, from (kClockLeft, kClockTop) to the
// right. One cell changes at a time: a frame grabbed while they are painted reads the old time or
// the new one.
constexpr int kClockBits = 28;
constexpr int kClockCell = 8;
constexpr int kClockLeft = 48;
constexpr int kClockTop = 48;

constexpr RECT kClockStrip{kClockLeft, kClockTop, kClockLeft + kClockBits * kClockCell, kClockTop + kClockCell};

// Each cell painted once, black or white, so that no grab meets it half drawn.
void PaintClock(HDC dc, const RECT& client)
{
    const int saved = SaveDC(dc);
    ExcludeClipRect(dc, kClockStrip.left, kClockStrip.top, kClockStrip.right, kClockStrip.bottom);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RestoreDC(dc, saved);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long since1601 = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const unsigned long long hundredths = (since1601 - 116444736000000000ULL) / 100000 % (1ULL << kClockBits);
    const unsigned long long gray = hundredths ^ (hundredths >> 1);
    for (int i = 0; i < kClockBits; ++i) {
        const RECT cell{kClockLeft + i * kClockCell, kClockTop, kClockLeft + (i + 1) * kClockCell, kClockTop + kClockCell};
        FillRect(dc, &cell, static_cast<HBRUSH>(GetStockObject((gray >> i) & 1 ? BLACK_BRUSH : WHITE_BRUSH)));
    }
}

constexpr UINT kCommandMessage = WM_APP + 1; // wParam: the command's letter; lParam: its two numbers

void PaintNoise(HDC dc, const RECT& client)
{
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    static unsigned seed = 1;
    unsigned* pixels = static_cast<unsigned*>(std::malloc(sizeof(unsigned) * width * height));
    if (!pixels) {
        return;
    }
    for (int i = 0; i < width * height; ++i) {
        seed = seed * 1664525u + 1013904223u;
        pixels[i] = seed >> 8;
    }
    SetDIBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, height, pixels, &info, DIB_RGB_COLORS);
    std::free(pixels);
}

void PaintState(HDC dc, const RECT& client)
{
    static const COLORREF kBackgrounds[] = {RGB(30, 60, 160), RGB(200, 60, 40), RGB(40, 150, 70),
                                            RGB(220, 200, 40), RGB(120, 40, 140)};
    HBRUSH background = CreateSolidBrush(kBackgrounds[g_tick % 5]);
    FillRect(dc, &client, background);
    DeleteObject(background);

    HBRUSH bar = CreateSolidBrush(RGB(250, 250, 250));
    const int width = client.right - client.left;
    for (int i = 0; i < 4; ++i) {
        const int x = (g_tick * 37 + i * width / 4) % width;
        RECT r{x, client.top + 20 + i * 30, x + 60, client.top + 40 + i * 30};
        FillRect(dc, &r, bar);
    }
    DeleteObject(bar);

    HFONT font = CreateFontA(96, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, "Arial");
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    char text[16];
    std::snprintf(text, sizeof(text), "%d", g_tick);
    RECT textRect = client;
    textRect.top += 150;
    DrawTextA(dc, text, -1, &textRect, DT_CENTER | DT_SINGLELINE);
    SelectObject(dc, old);
    DeleteObject(font);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        ++g_tick;
        InvalidateRect(window, g_clock ? &kClockStrip : nullptr, FALSE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        if (g_clock) {
            PaintClock(dc, client);
        } else if (g_noise) {
            PaintNoise(dc, client);
        } else {
            PaintState(dc, client);
        }
        EndPaint(window, &ps);
        return 0;
    }
    case kCommandMessage: {
        const int a = static_cast<short>(LOWORD(lParam));
        const int b = static_cast<short>(HIWORD(lParam));
        switch (wParam) {
        case 'm':
            SetWindowPos(window, nullptr, a, b, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        case 's':
            SetWindowPos(window, nullptr, 0, 0, a, b, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        case 'i':
            ShowWindow(window, SW_MINIMIZE);
            break;
        case 'r':
            ShowWindow(window, SW_RESTORE);
            break;
        case 'h':
            ShowWindow(window, SW_HIDE);
            break;
        case 'w':
            ShowWindow(window, SW_SHOWNOACTIVATE);
            break;
        case 'c':
            DestroyWindow(window);
            return 0;
        default:
            return 0;
        }
        // Painted before the next command: a recording sees the window where it now is.
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
// Each line of the input becomes a command message to the window.
DWORD WINAPI ReadCommands(LPVOID window)
{
    static const struct {
        const char* word;
        char letter;
    } kWords[] = {{"move", 'm'}, {"size", 's'}, {"minimise", 'i'}, {"restore", 'r'},
                  {"hide", 'h'}, {"show", 'w'},  {"close", 'c'}};
    char line[128];
    while (std::fgets(line, sizeof(line), stdin)) {
        char word[16] = {};
        int a = 0;
        int b = 0;
        if (std::sscanf(line, "%15s %d %d", word, &a, &b) < 1) {
            continue;
        }
        for (const auto& known : kWords) {
            if (std::strcmp(word, known.word) == 0) {
                PostMessageA(static_cast<HWND>(window), kCommandMessage, static_cast<WPARAM>(known.letter),
                             MAKELPARAM(static_cast<WORD>(a), static_cast<WORD>(b)));
            }
        }
    }
    return 0;
}
} // namespace

// animator.exe X Y WIDTH HEIGHT SECONDS [noise | clock | commands]
int main(int argc, char** argv)
{
    if (argc < 6) {
        std::fprintf(stderr, "usage: animator X Y WIDTH HEIGHT SECONDS\n");
        return 2;
    }
    const int x = std::atoi(argv[1]);
    const int y = std::atoi(argv[2]);
    const int width = std::atoi(argv[3]);
    const int height = std::atoi(argv[4]);
    const int seconds = std::atoi(argv[5]);
    g_noise = argc > 6 && std::strcmp(argv[6], "noise") == 0;
    g_clock = argc > 6 && std::strcmp(argv[6], "clock") == 0;

    WNDCLASSA cls{};
    cls.lpfnWndProc = &Procedure;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
    cls.lpszClassName = "FramelarkAnimator";
    RegisterClassA(&cls);
    HWND window = CreateWindowExA(0, "FramelarkAnimator", "Animator", WS_POPUP | WS_VISIBLE, x, y, width, height,
                                  nullptr, nullptr, cls.hInstance, nullptr);
    if (!window) {
        return 1;
    }
    if (argc > 6 && std::strcmp(argv[6], "commands") == 0) {
        CloseHandle(CreateThread(nullptr, 0, &ReadCommands, window, 0, nullptr));
    }
    SetTimer(window, 1, g_clock ? 10 : g_noise ? 50 : 400, nullptr);
    SetTimer(window, 2, static_cast<UINT>(seconds) * 1000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.wParam == 2) {
            DestroyWindow(window);
            continue;
        }
        DispatchMessageA(&message);
    }
    return 0;
}
