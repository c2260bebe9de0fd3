#pragma once
// Helpers for the engine's tests under Wine: a window that records what is posted to it,
// message pumping, and the reference tools (ffprobe, ffmpeg) of the Linux side.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Dispatches messages until the condition holds or the time runs out; true when it held.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs);
void PumpFor(DWORD ms);

// A hidden top-level window standing in for the main window: it records the messages of the
// program's own numbers, the merge's progress and the wave input's data notifications, and gives
// them to an optional handler.
class RecordingWindow {
public:
    RecordingWindow();
    ~RecordingWindow();
    HWND hwnd() const { return m_window; }
    int Count(UINT message) const;
    std::vector<UINT> messages;
    std::vector<std::pair<WPARAM, LPARAM>> parameters;
    std::function<void(UINT, WPARAM, LPARAM)> onMessage;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_window = nullptr;
};

// A visible topmost popup of its own class, destroyed with the object. A null procedure paints
// the brush; a null cursor leaves the class without one.
class TestPopup {
public:
    TestPopup(const char* className, RECT place, WNDPROC procedure, LPCSTR cursor = nullptr, int brush = WHITE_BRUSH);
    ~TestPopup();
    TestPopup(const TestPopup&) = delete;
    TestPopup& operator=(const TestPopup&) = delete;
    HWND hwnd() const { return m_window; }

private:
    HWND m_window = nullptr;
};

// Settings for plain frames: 24 bits, no cursor, no highlight, no flashing frame, no autopan.
void UsePlainCaptureSettings();

// The Unix path of a Windows path; empty when not running under Wine.
std::string UnixPath(const std::string& windowsPath);
// The path under Wine's drive Z: of a Unix path.
std::string WindowsPath(const std::string& unixPath);

// Runs a shell command on the Linux side; its exit status, or -1 when it cannot run.
int RunUnixShell(const std::string& command);

std::string ReadWholeFile(const std::string& windowsPath);

// A fresh scratch folder below the Windows temporary folder, removed with its files.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::string& path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// The small file system that the test run mounts for full-disk tests (at unixPath), as a Windows
// path; empty when none is mounted there.
std::string SmallDiskFolder(const std::string& unixPath);
