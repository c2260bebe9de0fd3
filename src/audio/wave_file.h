#pragma once
// A RIFF/WAVE file through the multimedia file functions: written as sound arrives, with its chunk
// sizes completed on close, or opened for reading and placed at its first sample byte.
#include <windows.h>
#include <mmsystem.h>

#include <cstddef>
#include <cstdint>
#include <string>

// One wave format header with room for the 2 extra bytes that the formats used here carry at most.
class WaveFormat {
public:
    static constexpr std::size_t kMaxExtraBytes = 2;

    WaveFormat();
    virtual ~WaveFormat() = default;

    const WAVEFORMATEX& format() const { return m_format.header; }

protected:
#pragma pack(push, 1)
    struct HeaderWithExtra {
        WAVEFORMATEX header;
        BYTE extra[kMaxExtraBytes];
    };
#pragma pack(pop)
    HeaderWithExtra m_format;
};

class WaveFile : public WaveFormat {
public:
    enum Mode { kNotOpen = 0, kReading = 1, kWriting = 2 };

    // Opens for reading, telling the user in a message box what is wrong with a damaged file.
    explicit WaveFile(const std::string& path);
    // Creates the file for writing in the format, which must have at most kMaxExtraBytes extra bytes.
    WaveFile(const std::string& path, const WAVEFORMATEX& format);
    WaveFile(const WaveFile&) = delete;
    WaveFile& operator=(const WaveFile&) = delete;
    ~WaveFile() override;

    bool IsOpen() const { return m_mode != kNotOpen; }
    Mode mode() const { return m_mode; }
    const std::string& path() const { return m_path; }

    // Appends to the sample data; true only when writing and every byte reached the disk. After
    // a write that did not, the file keeps the whole sample frames that did and takes no more.
    bool Write(const void* data, std::size_t count);

    // Completes the chunk sizes of a written file and closes it; later calls do nothing.
    void Close();

private:
    bool OpenForWriting();
    bool OpenForReading();
    bool FailReading(const char* message);

    HMMIO m_file = nullptr;
    std::string m_path;
    Mode m_mode;
    MMCKINFO m_riff{};
    MMCKINFO m_chunk{};
    std::uint64_t m_written = 0;   // sample bytes handed to the file
    std::uint64_t m_onDisk = 0;    // of those, the whole sample frames known to be on the disk
    bool m_writeFailed = false;
};
