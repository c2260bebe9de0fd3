#include "win/directories.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {
std::string MakeScratchDirectory(const char* name)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string path = std::string(temp) + name + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}
} // namespace

TEST(Directories, ProgramDirectoryHasNoTrailingSeparator)
{
    const std::string dir = GetProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '\\');
    EXPECT_TRUE(IsExistingDirectory(dir));
}

TEST(Directories, TempFolderUnderTheWindowsDirectoryWhenItExists)
{
    const std::string windows = MakeScratchDirectory("fl_windows_");
    const std::string program = MakeScratchDirectory("fl_program_");
    EXPECT_EQ(TempDirectoryFor(windows, program), program);

    ASSERT_TRUE(CreateDirectoryA((windows + "\\temp").c_str(), nullptr));
    EXPECT_EQ(TempDirectoryFor(windows, program), windows + "\\temp");

    // A plain file named "temp" is not a folder.
    RemoveDirectoryA((windows + "\\temp").c_str());
    HANDLE file = CreateFileA((windows + "\\temp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(TempDirectoryFor(windows, program), program);

    DeleteFileA((windows + "\\temp").c_str());
    RemoveDirectoryA(windows.c_str());
    RemoveDirectoryA(program.c_str());
}

TEST(Directories, SettingsAndMoviesLeaveAProgramFolderThatCannotBeWritten)
{
    const std::string program = MakeScratchDirectory("fl_installed_");
    const std::string appData = MakeScratchDirectory("fl_appdata_");
    const std::string videos = MakeScratchDirectory("fl_videos_");
    // Nothing can be created in a folder that is not there, as in one the user may not write.
    const std::string readOnly = program + "\\missing";

    EXPECT_TRUE(IsWritableDirectory(program));
    EXPECT_FALSE(IsWritableDirectory(readOnly));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((program + "\\*.tmp").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "the write check left " << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    }

    EXPECT_EQ(SettingsDirectoryFor(program, appData), program);
    EXPECT_FALSE(IsExistingDirectory(appData + "\\Framelark")) << "made although the program folder is writable";
    EXPECT_EQ(SettingsDirectoryFor(readOnly, appData), appData + "\\Framelark");
    EXPECT_TRUE(IsExistingDirectory(appData + "\\Framelark"));
    EXPECT_EQ(SettingsDirectoryFor(readOnly, appData), appData + "\\Framelark") << "an existing folder is reused";
    EXPECT_EQ(SettingsDirectoryFor(readOnly, ""), readOnly) << "without an application-data folder";

    EXPECT_EQ(SaveDirectoryFor(program, videos), program);
    EXPECT_EQ(SaveDirectoryFor(readOnly, videos), videos);
    EXPECT_EQ(SaveDirectoryFor(readOnly, ""), readOnly);

    // A file left under the check's first name does not make the folder look read-only.
    const std::string left = program + "\\~framelark" + std::to_string(GetCurrentProcessId()) + "_0.tmp";
    HANDLE file = CreateFileA(left.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_TRUE(IsWritableDirectory(program));

    // The test program's own folder is writable: everything stays beside it, as for the portable zip.
    EXPECT_EQ(GetSettingsDirectory(), GetProgramDirectory());
    EXPECT_EQ(GetDefaultSaveDirectory(), GetProgramDirectory());

    DeleteFileA(left.c_str());
    RemoveDirectoryA((appData + "\\Framelark").c_str());
    for (const std::string& dir : {program, appData, videos}) {
        RemoveDirectoryA(dir.c_str());
    }
}

TEST(Directories, RealTempDirectoryUnderWine)
{
    // The prefix has C:\windows\temp, so the real lookup takes it.
    EXPECT_EQ(GetTempDirectory(), GetWindowsDirectoryPath() + "\\temp");
}
