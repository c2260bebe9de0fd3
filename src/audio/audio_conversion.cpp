#include "audio/audio_conversion.h"

#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <cstring>
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

AviStream ConvertAudioStream(PAVISTREAM pcm, const WAVEFORMATEX& target, const std::string& path)
{
    WAVEFORMATEX source{};
    LONG sourceSize = sizeof(source);
    if (AVIStreamReadFormat(pcm, AVIStreamStart(pcm), &source, &sourceSize) != 0 || source.wFormatTag != WAVE_FORMAT_PCM ||
        source.nBlockAlign == 0 || target.nBlockAlign == 0) {
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
        DWORD targetBytes = 0;
        if (acmStreamSize(converter.get(), 2 * readBytes, &targetBytes, ACM_STREAMSIZEF_SOURCE) != 0) {
            return {};
        }
        std::vector<BYTE> sourceBuffer(2 * readBytes);
        std::vector<BYTE> targetBuffer(targetBytes + target.nBlockAlign);
        DWORD pending = 0;
        LONG position = AVIStreamStart(pcm);
        const LONG end = AVIStreamEnd(pcm);
        LONG written = 0;
        bool last = false;
        while (!last) {
            LONG bytesRead = 0;
            LONG samplesRead = 0;
            const LONG wanted = std::min(blocksPerRead, end - position);
            if (wanted > 0 && AVIStreamRead(pcm, position, wanted, sourceBuffer.data() + pending, readBytes, &bytesRead,
                                            &samplesRead) != 0) {
                return {};
            }
            position += samplesRead;
            pending += static_cast<DWORD>(bytesRead);
            last = samplesRead == 0 || position >= end;
            DWORD used = 0;
            DWORD produced = 0;
            if (pending > 0 && !Convert(converter.get(), sourceBuffer, pending, targetBuffer,
                                        last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN, used, produced)) {
                return {};
            }
            std::memmove(sourceBuffer.data(), sourceBuffer.data() + used, pending - used);
            pending -= used;
            if (produced > 0) {
                // The movie file takes whole blocks only, and counts its length in written chunks
                // here: one block per chunk keeps both counts the same.
                const DWORD blocks = (produced + target.nBlockAlign - 1) / target.nBlockAlign;
                std::fill(targetBuffer.begin() + produced, targetBuffer.begin() + blocks * target.nBlockAlign, BYTE{0});
                for (DWORD block = 0; block < blocks; ++block) {
                    if (AVIStreamWrite(output.get(), -1, 1, targetBuffer.data() + block * target.nBlockAlign,
                                       target.nBlockAlign, AVIIF_KEYFRAME, nullptr, nullptr) != 0) {
                        return {};
                    }
                }
                written += static_cast<LONG>(blocks);
            }
        }
        if (written == 0) {
            return {};
        }
    }
    PAVISTREAM reopened = nullptr;
    if (AVIStreamOpenFromFileA(&reopened, path.c_str(), streamtypeAUDIO, 0, OF_READ | OF_SHARE_DENY_NONE, nullptr) != 0) {
        return {};
    }
    return AviStream(reopened);
}
