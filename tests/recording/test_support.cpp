#include "test_support.h"

#include "messages/private_messages.h"
#include "settings/app_settings.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (condition()) {
            return true;
        }
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

RecordingWindow::RecordingWindow()
{
    WNDCLASSA cls{};
    cls.lpfnWndProc = &Procedure;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = "FramelarkTestMain";
    RegisterClassA(&cls);
    m_window = CreateWindowExA(0, cls.lpszClassName, "Framelark", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               cls.hInstance, this);
}

RecordingWindow::~RecordingWindow()
{
    DestroyWindow(m_window);
}

int RecordingWindow::Count(UINT message) const
{
    int count = 0;
    for (const UINT seen : messages) {
        count += seen == message ? 1 : 0;
    }
    return count;
}

LRESULT CALLBACK RecordingWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && ((message >= 0xC000 && message <= 0xFFFF) || message == kWaveInDataMessage ||
                 message == MergeProgressMessage)) {
        self->messages.push_back(message);
        self->parameters.emplace_back(wParam, lParam);
        if (self->onMessage) {
            self->onMessage(message, wParam, lParam);
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string UnixPath(const std::string& windowsPath)
{
    using Convert = char*(CDECL*)(LPCWSTR);
    const auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) {
        return {};
    }
    std::wstring wide(windowsPath.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    char* unix = convert(wide.c_str());
    if (!unix) {
        return {};
    }
    std::string result(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

int RunUnixShell(const std::string& command)
{
    // Wine starts Linux programs without a process handle to wait on: the exit status comes back
    // through a file, renamed into place once complete.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string windowsFolder(temp);
    windowsFolder.pop_back(); // the trailing separator
    const std::string folder = UnixPath(windowsFolder);
    if (folder.empty()) {
        return -1;
    }
    const std::string name = "framelark_status_" + std::to_string(GetCurrentProcessId()) + "_" +
                             std::to_string(GetTickCount());
    const std::string status = folder + "/" + name;
    const std::string windowsStatus = std::string(temp) + name;
    std::string line = "/bin/sh -c \"(" + command + "); echo $? > '" + status + ".tmp'; mv '" + status + ".tmp' '" +
                       status + "'\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return -1;
    }
    std::string result;
    PumpUntil(
        [&] {
            result = ReadWholeFile(windowsStatus);
            return !result.empty();
        },
        60000);
    DeleteFileA(windowsStatus.c_str());
    return result.empty() ? -1 : std::atoi(result.c_str());
}

std::string ReadWholeFile(const std::string& windowsPath)
{
    std::ifstream file(windowsPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

ScratchFolder::ScratchFolder()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    // Two folders made within the same millisecond must still differ.
    static std::atomic<int> made{0};
    m_path = std::string(temp) + "framelark_engine_" + std::to_string(GetCurrentProcessId()) + "_" +
             std::to_string(GetTickCount()) + "_" + std::to_string(++made);
    CreateDirectoryA(m_path.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((m_path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                DeleteFileA((m_path + "\\" + found.cFileName).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(m_path.c_str());
}

TestPopup::TestPopup(const char* className, RECT place, WNDPROC procedure, LPCSTR cursor, int brush)
{
    WNDCLASSA cls{};
    cls.lpfnWndProc = procedure ? procedure : &DefWindowProcA;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.hCursor = cursor ? LoadCursor(nullptr, cursor) : nullptr;
    cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(brush));
    cls.lpszClassName = className;
    RegisterClassA(&cls);
    m_window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, className, "", WS_POPUP | WS_VISIBLE, place.left,
                               place.top, place.right - place.left, place.bottom - place.top, nullptr, nullptr,
                               cls.hInstance, nullptr);
    UpdateWindow(m_window);
}

TestPopup::~TestPopup()
{
    DestroyWindow(m_window);
}

void UsePlainCaptureSettings()
{
    AppSettings& s = Settings();
    s.g_capturebits = 24;
    s.g_recordcursor = 0;
    s.g_highlightcursor = 0;
    s.flashingRect = 0;
    s.autopan = 0;
    s.g_screenwidth = GetSystemMetrics(SM_CXSCREEN);
    s.g_screenheight = GetSystemMetrics(SM_CYSCREEN);
    s.g_panarea = ScreenRect{0, 0, s.g_screenwidth - 1, s.g_screenheight - 1};
}

std::string WindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string SmallDiskFolder(const std::string& unixPath)
{
    const std::string folder = WindowsPath(unixPath);
    ULARGE_INTEGER total{};
    constexpr ULONGLONG kSmall = 2 * 1024 * 1024;
    if (!GetDiskFreeSpaceExA((folder + "\\").c_str(), nullptr, &total, nullptr) || total.QuadPart > kSmall) {
        return {};
    }
    return folder;
}
