#pragma once
// Whole-file reads and writes for the program's own small files.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

bool FileExists(const std::string& path);

// The file's last write time in 100 ns steps; nothing when it does not exist.
std::optional<std::uint64_t> LastWriteTime(const std::string& path);

// The file's size in bytes; nothing when it does not exist.
std::optional<std::uint64_t> FileSize(const std::string& path);

// The bytes this user may still write on the disk that holds the folder.
std::optional<std::uint64_t> FreeDiskBytes(const std::string& folder);

// The name of the file system of the disk that holds the folder ("NTFS", "FAT32", ...); nothing
// when the system does not say.
std::optional<std::string> FileSystemOf(const std::string& folder);

// Deletes the file, shrinking it a few megabytes at a time first: under Wine the server frees a
// file's blocks when it is deleted or cut, and every program's windows wait meanwhile (300 ms for
// 400 MB on this kind of machine). False when the file is not deleted.
bool DeleteLargeFile(const std::string& path);

// At most limit bytes from the start of the file; nothing when it cannot be opened.
std::optional<std::string> ReadFileStart(const std::string& path, std::uint64_t limit);

// Creates or replaces the file and forces its bytes to the disk; false when any byte is missing.
bool WriteDurableFile(const std::string& path, std::string_view bytes);

// Puts from in the place of to in one step, so a reader sees either file whole.
bool ReplaceWithFile(const std::string& from, const std::string& to);
