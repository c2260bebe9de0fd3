#include "audio/wave_file.h"

#include "win/file_io.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace {
constexpr char kTitle[] = "Framelark";
constexpr DWORD kCreateForWriting = MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE | MMIO_ALLOCBUF;
// A format chunk without the extra-size field, as many programs write PCM.
constexpr LONG kShortestFormatChunk = 16;
constexpr LONG kHeaderBytes = sizeof(WAVEFORMATEX);

HMMIO OpenMultimediaFile(const std::string& path, DWORD flags)
{
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    return mmioOpenA(name.data(), nullptr, flags);
}
} // namespace

WaveFormat::WaveFormat() : m_format{{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0}, {}} {}

WaveFile::WaveFile(const std::string& path) : m_path(path), m_mode(kReading)
{
    if (!OpenForReading()) {
        m_mode = kNotOpen;
        Close();
    }
}

WaveFile::WaveFile(const std::string& path, const WAVEFORMATEX& format) : m_path(path), m_mode(kWriting)
{
    // Extra bytes beyond the room held here would be written from past the caller's format.
    if (format.cbSize > kMaxExtraBytes) {
        m_mode = kNotOpen;
        return;
    }
    std::memcpy(&m_format, &format, sizeof(WAVEFORMATEX) + format.cbSize);
    if (!OpenForWriting()) {
        m_mode = kNotOpen; // nothing to complete
        Close();
    }
}

WaveFile::~WaveFile()
{
    Close();
}

bool WaveFile::OpenForWriting()
{
    if (m_file) {
        return false;
    }
    m_file = OpenMultimediaFile(m_path, kCreateForWriting);
    if (!m_file) {
        return false;
    }
    m_riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioCreateChunk(m_file, &m_riff, MMIO_CREATERIFF) != MMSYSERR_NOERROR) {
        return false;
    }
    const LONG formatBytes = kHeaderBytes + m_format.header.cbSize;
    m_chunk = {};
    m_chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    m_chunk.cksize = static_cast<DWORD>(formatBytes);
    if (mmioCreateChunk(m_file, &m_chunk, 0) != MMSYSERR_NOERROR ||
        mmioWrite(m_file, reinterpret_cast<const char*>(&m_format), formatBytes) != formatBytes ||
        mmioAscend(m_file, &m_chunk, 0) != MMSYSERR_NOERROR) {
        return false;
    }
    m_chunk = {};
    m_chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    return mmioCreateChunk(m_file, &m_chunk, 0) == MMSYSERR_NOERROR;
}

bool WaveFile::OpenForReading()
{
    if (m_file) {
        return false;
    }
    m_file = OpenMultimediaFile(m_path, MMIO_READ);
    if (!m_file) {
        return false;
    }
    m_riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(m_file, &m_riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) {
        return FailReading("Error descending into file");
    }
    m_chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(m_file, &m_chunk, &m_riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
        return FailReading("Error descending in wave file");
    }
    // The format must fit the header and its room for extra bytes, and carry the extra bytes it
    // announces.
    const LONG formatBytes = static_cast<LONG>(m_chunk.cksize);
    if (m_chunk.cksize < kShortestFormatChunk || m_chunk.cksize > sizeof(m_format) ||
        mmioRead(m_file, reinterpret_cast<char*>(&m_format), formatBytes) != formatBytes) {
        return FailReading("Error reading the wave format");
    }
    if (formatBytes < kHeaderBytes) {
        m_format.header.cbSize = 0;
    } else if (m_format.header.cbSize > formatBytes - kHeaderBytes) {
        return FailReading("Error reading the wave format");
    }
    if (mmioAscend(m_file, &m_chunk, 0) != MMSYSERR_NOERROR) {
        return FailReading("Error ascending in File");
    }
    m_chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(m_file, &m_chunk, &m_riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
        return FailReading("error reading data chunk");
    }
    return true;
}

bool WaveFile::FailReading(const char* message)
{
    MessageBoxA(nullptr, message, kTitle, MB_OK);
    return false;
}

bool WaveFile::Write(const void* data, std::size_t count)
{
    if (m_mode != kWriting || !m_file || count > LONG_MAX) {
        return false;
    }
    if (m_writeFailed) {
        return false;
    }
    const LONG length = static_cast<LONG>(count);
    const bool written = mmioWrite(m_file, static_cast<const char*>(data), length) == length;
    m_written += count;
    // The multimedia file functions report every byte written even on a full disk: the file's
    // size says what really reached it.
    const std::uint64_t dataStart = m_chunk.dwDataOffset;
    const std::uint64_t size = mmioFlush(m_file, 0) == MMSYSERR_NOERROR ? FileSize(m_path).value_or(0) : 0;
    if (written && size >= dataStart + m_written) {
        m_onDisk = m_written;
        return true;
    }
    const std::uint64_t block = m_format.header.nBlockAlign > 0 ? m_format.header.nBlockAlign : 1;
    const std::uint64_t arrived = size > dataStart ? std::min(size - dataStart, m_written) : 0;
    m_onDisk = arrived / block * block;
    m_writeFailed = true;
    return false;
}

void WaveFile::Close()
{
    if (!m_file) {
        return;
    }
    if (m_mode == kWriting) {
        // The chunk sizes then count only what reached the disk.
        if (m_writeFailed) {
            mmioSeek(m_file, static_cast<LONG>(m_chunk.dwDataOffset + m_onDisk), SEEK_SET);
        }
        mmioAscend(m_file, &m_chunk, 0);
        mmioAscend(m_file, &m_riff, 0);
    }
    mmioClose(m_file, 0);
    m_file = nullptr;
    m_mode = kNotOpen;
}
