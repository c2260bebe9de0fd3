// Answers, for a test driving framelark.exe from outside, whether its main window still handles
// messages: for every line read, one line written: "ok <ms>", "hung" (no answer within 2 s) or
// "none" (no main window). It stays up so that each question costs no program start.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {
// The program's main window: a top-level dialog of framelark.exe with its own taskbar button.
BOOL CALLBACK FindMain(HWND window, LPARAM found)
{
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof(cls));
    if (std::strcmp(cls, "#32770") != 0 || GetWindow(window, GW_OWNER) ||
        (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_APPWINDOW) == 0) {
        return TRUE;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) {
        return TRUE;
    }
    char image[MAX_PATH] = {};
    DWORD size = sizeof(image);
    const bool ours = QueryFullProcessImageNameA(process, 0, image, &size) && size >= 13 &&
                      _stricmp(image + size - 13, "framelark.exe") == 0;
    CloseHandle(process);
    if (ours) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

int main()
{
    char line[64];
    while (std::fgets(line, sizeof(line), stdin)) {
        HWND main = nullptr;
        EnumWindows(&FindMain, reinterpret_cast<LPARAM>(&main));
        if (!main) {
            std::puts("none");
        } else {
            const DWORD start = GetTickCount();
            DWORD_PTR result = 0;
            if (SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result)) {
                std::printf("ok %lu\n", GetTickCount() - start);
            } else {
                std::puts("hung");
            }
        }
        std::fflush(stdout);
    }
    return 0;
}
