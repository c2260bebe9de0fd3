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

TEST(Directories, RealTempDirectoryUnderWine)
{
    // The prefix has C:\windows\temp, so the real lookup takes it.
    EXPECT_EQ(GetTempDirectory(), GetWindowsDirectoryPath() + "\\temp");
}
