#include "app/help.h"
#include "browser_log.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>

namespace {
// FRAMELARK_PROGRAM_DIR: the build's program folder, with help.chm and help/ beside framelark.exe.
HWND WaitForWindow(const char* title, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        if (HWND window = FindWindowA(nullptr, title)) {
            return window;
        }
        PumpMessages(100);
    }
    return nullptr;
}

TEST(Help, OpensTheCompiledFileWhereTheViewerShowsPagesAndTheHtmlElsewhere)
{
    const HelpOpening windows = HelpFor("C:\\Program Files\\Framelark", true);
    EXPECT_EQ(windows.file, "C:\\Program Files\\Framelark\\help.chm");
    EXPECT_EQ(windows.parameters, "");

    const HelpOpening wine = HelpFor("C:\\Program Files\\Framelark", false);
    EXPECT_EQ(wine.file, "winebrowser.exe");
    EXPECT_EQ(wine.parameters, "\"C:\\Program Files\\Framelark\\help\\index.html\"");
}

TEST(Help, TheShellOpensTheCompiledFileInTheHelpViewer)
{
    const HelpOpening help = HelpFor(WindowsPath(FRAMELARK_PROGRAM_DIR), true);
    ASSERT_NE(GetFileAttributesA(help.file.c_str()), INVALID_FILE_ATTRIBUTES) << help.file;
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", help.file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    EXPECT_GT(result, 32);
    // The viewer's window carries the file's title.
    HWND viewer = WaitForWindow("Framelark Help", 20000);
    ASSERT_NE(viewer, nullptr);
    PostMessageA(viewer, WM_CLOSE, 0, 0);
}

TEST(Help, UnderWineTheHelpButtonHandsTheHtmlIndexToTheDesktopBrowser)
{
    if (HelpViewerShowsPages()) {
        GTEST_SKIP() << "the system's help viewer shows the pages here";
    }
    ClearBrowserLog();
    const std::string programDirectory = WindowsPath(FRAMELARK_PROGRAM_DIR);
    EXPECT_GT(reinterpret_cast<INT_PTR>(OpenHelp(nullptr, programDirectory)), 32);
    EXPECT_EQ(WaitForBrowserLog(), "file://" FRAMELARK_PROGRAM_DIR "/help/index.html\n");
    const std::string index = ReadWholeFile(programDirectory + "\\help\\index.html");
    EXPECT_NE(index.find("<title>Framelark Help</title>"), std::string::npos);
}
} // namespace
