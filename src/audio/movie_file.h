#pragma once
// A movie file the movie writer (odml_writer.h) writes into: appended at its end, a few sizes
// written again behind it. A write the disk refuses leaves the file's end where it was; the file is
// cut at its end when it is closed, and writes over the bytes after that need no new room.
#include <windows.h>

#include "audio/odml_writer.h"
#include "win/handles.h"

#include <string>

class CMovieFile : public MovieSink {
public:
    // Replaces the file. Others may read it meanwhile (a copy, a look at its size) and delete it.
    explicit CMovieFile(const std::string& path);
    CMovieFile(const CMovieFile&) = delete;
    CMovieFile& operator=(const CMovieFile&) = delete;
    ~CMovieFile() { Close(); }

    bool IsOpen() const { return static_cast<bool>(m_file); }
    // The system's error of the last write that failed, 0 when none has.
    DWORD LastError() const { return m_lastError; }
    void Close();

    bool Append(std::span<const std::uint8_t> bytes) override;
    bool Overwrite(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
    bool Truncate(std::uint64_t end) override;

private:
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);

    KernelHandle m_file;
    std::uint64_t m_end = 0;
    DWORD m_lastError = 0;
};

// The largest file the disk that holds the folder takes (merge_rules.h).
std::uint64_t LargestFileIn(const std::string& folder);
