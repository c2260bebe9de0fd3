#pragma once
// What the recording stand-in for the desktop's browser was asked to open (see CMakeLists.txt).
#include "../controls/ui_pump.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

// Wine shows the Unix file system as drive Z:.
inline std::string WindowsPath(std::string unixPath)
{
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return "Z:" + unixPath;
}

inline std::string ReadWholeFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

inline void ClearBrowserLog()
{
    std::remove(WindowsPath(FRAMELARK_BROWSER_LOG).c_str());
}

// The first line the stand-in wrote, waiting up to 20 s for Wine to start it.
inline std::string WaitForBrowserLog()
{
    std::string log;
    for (int i = 0; i < 200 && log.find('\n') == std::string::npos; ++i) {
        PumpMessages(100);
        log = ReadWholeFile(WindowsPath(FRAMELARK_BROWSER_LOG));
    }
    return log;
}

inline bool UnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}
