#include "audio/audio_conversion.h"

#include "audio/merge_rules.h"
#include "audio/movie_index.h"

#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace {
class AcmStream {
public:
    AcmStream(const WAVEFORMATEX& from, const WAVEFORMATEX& to)
    {
        if (acmStreamOpen(&m_stream, nullptr, const_cast<WAVEFORMATEX*>(&from), const_cast<WAVEFORMATEX*>(&to),
                          nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
            m_stream = nullptr;
        }
    }
    ~AcmStream()
    {
        if (m_stream) {
            acmStreamClose(m_stream, 0);
        }
    }
    AcmStream(const AcmStream&) = delete;
    AcmStream& operator=(const AcmStream&) = delete;
    HACMSTREAM get() const { return m_stream; }

private:
    HACMSTREAM m_stream = nullptr;
};

// Converts one buffer of source bytes; used counts what the converter took, the rest waits for
// the next call.
bool Convert(HACMSTREAM stream, std::vector<BYTE>& source, DWORD sourceBytes, std::vector<BYTE>& target, DWORD flags,
             DWORD& used, DWORD& produced)
{
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof(header);
    header.pbSrc = source.data();
    header.cbSrcLength = sourceBytes;
    header.pbDst = target.data();
    header.cbDstLength = static_cast<DWORD>(target.size());
    if (acmStreamPrepareHeader(stream, &header, 0) != 0) {
        return false;
    }
    const bool converted = acmStreamConvert(stream, &header, flags) == 0;
    used = header.cbSrcLengthUsed;
    produced = header.cbDstLengthUsed;
    header.cbSrcLength = static_cast<DWORD>(source.size());
    header.cbDstLength = static_cast<DWORD>(target.size());
    acmStreamUnprepareHeader(stream, &header, 0);
    return converted && used <= sourceBytes && produced <= target.size();
}

// Collects whole blocks of converted sound and writes them a fixed number of blocks to a chunk.
class ChunkWriter {
public:
    ChunkWriter(PAVISTREAM stream, DWORD blockAlign, std::uint32_t blocksPerChunk)
        : m_stream(stream), m_blockAlign(blockAlign), m_chunkBytes(std::size_t{blockAlign} * std::max(blocksPerChunk, 1u))
    {
        m_chunk.reserve(m_chunkBytes);
    }
    bool Add(const BYTE* data, std::size_t bytes)
    {
        for (std::size_t done = 0; done < bytes;) {
            const std::size_t take = std::min(bytes - done, m_chunkBytes - m_chunk.size());
            m_chunk.insert(m_chunk.end(), data + done, data + done + take);
            done += take;
            if (m_chunk.size() == m_chunkBytes && !Flush()) {
                return false;
            }
        }
        m_total += bytes;
        return true;
    }
    bool Flush()
    {
        if (m_chunk.empty()) {
            return true;
        }
        const bool written = AVIStreamWrite(m_stream, -1, static_cast<LONG>(m_chunk.size() / m_blockAlign), m_chunk.data(),
                                            static_cast<LONG>(m_chunk.size()), AVIIF_KEYFRAME, nullptr, nullptr) == 0;
        m_chunk.clear();
        return written;
    }
    std::uint64_t bytes() const { return m_total; }

private:
    PAVISTREAM m_stream;
    DWORD m_blockAlign;
    std::size_t m_chunkBytes;
    std::vector<BYTE> m_chunk;
    std::uint64_t m_total = 0;
};

AviStream CreateAudioStream(PAVIFILE file, const WAVEFORMATEX& format)
{
    AVISTREAMINFOA info{};
    info.fccType = streamtypeAUDIO;
    info.dwScale = format.nBlockAlign;
    info.dwRate = format.nAvgBytesPerSec;
    info.dwSampleSize = format.nBlockAlign;
    info.dwQuality = static_cast<DWORD>(-1);
    PAVISTREAM stream = nullptr;
    if (AVIFileCreateStreamA(file, &stream, &info) != 0) {
        return {};
    }
    AviStream owned(stream);
    auto* header = const_cast<WAVEFORMATEX*>(&format);
    if (AVIStreamSetFormat(stream, 0, header, static_cast<LONG>(sizeof(WAVEFORMATEX) + format.cbSize)) != 0) {
        return {};
    }
    return owned;
}
} // namespace

AviStream ConvertAudioStream(PAVISTREAM pcm, const WAVEFORMATEX& target, const std::string& path,
                             std::uint32_t blocksPerChunk, const std::function<bool(int percent)>& progress)
{
    WAVEFORMATEX source{};
    LONG sourceSize = sizeof(source);
    if (AVIStreamReadFormat(pcm, AVIStreamStart(pcm), &source, &sourceSize) != 0 || source.wFormatTag != WAVE_FORMAT_PCM ||
        source.nBlockAlign == 0 || source.nAvgBytesPerSec == 0 || target.nBlockAlign == 0 ||
        target.nAvgBytesPerSec == 0) {
        return {};
    }
    source.cbSize = 0;
    AcmStream converter(source, target);
    if (!converter.get()) {
        return {};
    }
    DeleteFileA(path.c_str());
    PAVIFILE rawFile = nullptr;
    if (AVIFileOpenA(&rawFile, path.c_str(), OF_CREATE | OF_WRITE, nullptr) != 0) {
        return {};
    }
    {
        AviFile file(rawFile);
        AviStream output = CreateAudioStream(file.get(), target);
        if (!output) {
            return {};
        }
        // About a second of sound at a time, in whole source blocks.
        const LONG blocksPerRead = static_cast<LONG>(source.nAvgBytesPerSec / source.nBlockAlign) + 1;
        const DWORD readBytes = static_cast<DWORD>(blocksPerRead) * source.nBlockAlign;
        // The movie holds whole blocks only, and a short last block padded after coding decodes as
        // noise (MS ADPCM's predictor runs to full scale): the sound's end is padded with silence
        // to a whole block before coding instead.
        DWORD blockSourceBytes = 0;
        if (acmStreamSize(converter.get(), target.nBlockAlign, &blockSourceBytes, ACM_STREAMSIZEF_DESTINATION) != 0 ||
            blockSourceBytes == 0) {
            blockSourceBytes = source.nBlockAlign;
        }
        const DWORD capacity = 2 * readBytes;
        DWORD targetBytes = 0;
        if (acmStreamSize(converter.get(), capacity + blockSourceBytes, &targetBytes, ACM_STREAMSIZEF_SOURCE) != 0) {
            return {};
        }
        std::vector<BYTE> sourceBuffer(capacity + blockSourceBytes);
        std::vector<BYTE> targetBuffer(targetBytes + target.nBlockAlign);
        ChunkWriter chunks(output.get(), target.nBlockAlign, blocksPerChunk);
        DWORD pending = 0;
        const LONG start = AVIStreamStart(pcm);
        const LONG end = AVIStreamEnd(pcm);
        LONG position = start;
        const double seconds = static_cast<double>(end - position) * source.nBlockAlign / source.nAvgBytesPerSec;
        // The scratch file may grow to what the sound's length gives and a little more, no further.
        const auto bound = static_cast<std::uint64_t>(seconds * 1.01 * target.nAvgBytesPerSec) + 4u * target.nBlockAlign;
        bool last = false;
        while (!last) {
            // Only into the room the converter's leftovers leave.
            const LONG room = static_cast<LONG>((capacity - pending) / source.nBlockAlign);
            const LONG wanted = std::min({blocksPerRead, room, end - position});
            LONG bytesRead = 0;
            LONG samplesRead = 0;
            if (wanted > 0 && AVIStreamRead(pcm, position, wanted, sourceBuffer.data() + pending,
                                            wanted * static_cast<LONG>(source.nBlockAlign), &bytesRead, &samplesRead) != 0) {
                return {};
            }
            position += samplesRead;
            pending += static_cast<DWORD>(bytesRead);
            last = position >= end || (wanted > 0 && samplesRead == 0);
            if (last && pending % blockSourceBytes != 0) {
                const DWORD silence = blockSourceBytes - pending % blockSourceBytes;
                const BYTE zero = source.wBitsPerSample == 8 ? 0x80 : 0; // 8-bit samples are unsigned
                std::fill_n(sourceBuffer.begin() + pending, silence, zero);
                pending += silence;
            }
            DWORD used = 0;
            DWORD produced = 0;
            if (pending > 0 && !Convert(converter.get(), sourceBuffer, pending, targetBuffer,
                                        last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN, used, produced)) {
                return {};
            }
            if (!last && samplesRead == 0 && used == 0) {
                return {}; // a full buffer of which the converter takes nothing
            }
            std::memmove(sourceBuffer.data(), sourceBuffer.data() + used, pending - used);
            pending -= used;
            if (produced > 0) {
                // The movie file takes whole blocks only.
                const DWORD blocks = (produced + target.nBlockAlign - 1) / target.nBlockAlign;
                std::fill(targetBuffer.begin() + produced, targetBuffer.begin() + blocks * target.nBlockAlign, BYTE{0});
                if (!chunks.Add(targetBuffer.data(), std::size_t{blocks} * target.nBlockAlign) || chunks.bytes() > bound) {
                    return {};
                }
            }
            if (!progress(static_cast<int>(100.0 * (position - start) / std::max(end - start, LONG{1})))) {
                return {};
            }
        }
        if (!chunks.Flush() || chunks.bytes() == 0 ||
            !LastsAsLong(seconds, chunks.bytes(), target.nAvgBytesPerSec, target.nBlockAlign)) {
            return {};
        }
    }
    // The movie library counts the length in chunks: the index tidy counts it in blocks.
    {
        std::fstream movie(path, std::ios::in | std::ios::out | std::ios::binary);
        if (!movie || !TidyMovieIndex(movie)) {
            return {};
        }
    }
    PAVISTREAM reopened = nullptr;
    if (AVIStreamOpenFromFileA(&reopened, path.c_str(), streamtypeAUDIO, 0, OF_READ | OF_SHARE_DENY_NONE, nullptr) != 0) {
        return {};
    }
    return AviStream(reopened);
}
