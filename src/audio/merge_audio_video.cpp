#include "audio/merge_audio_video.h"

#include "audio/audio_conversion.h"
#include "audio/avi_handles.h"
#include "audio/merge_rules.h"
#include "messages/private_messages.h"
#include "settings/app_settings.h"
#include "win/global_block.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {
std::uint64_t FileBytes(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The save's callback carries no context: what it watches lives here for the save's duration.
struct SaveWatch {
    std::string outputPath;
    std::uint64_t sizeLimit = 0;
    bool ranAway = false;
};
SaveWatch* g_saveWatch = nullptr;

BOOL CALLBACK SaveProgress(int percent)
{
    if (const HWND mainWindow = Settings().g_mainwindow; mainWindow && IsWindow(mainWindow)) {
        PostMessageA(mainWindow, MergeProgressMessage, static_cast<WPARAM>(percent), 0);
    }
    MSG message;
    for (int i = 0; i < 3 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // A nonzero answer ends the save, which then fails.
    if (g_saveWatch && FileBytes(g_saveWatch->outputPath) > g_saveWatch->sizeLimit) {
        g_saveWatch->ranAway = true;
        return TRUE;
    }
    return FALSE;
}

// A temporary file deleted when it goes out of scope, and before it is made.
class ScratchFile {
public:
    explicit ScratchFile(std::string path) : m_path(std::move(path)) { DeleteFileA(m_path.c_str()); }
    ~ScratchFile() { DeleteFileA(m_path.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// The stream's own format, in a block of its size.
std::vector<BYTE> StreamFormat(PAVISTREAM stream)
{
    LONG size = 0;
    const LONG start = AVIStreamStart(stream);
    if (AVIStreamReadFormat(stream, start, nullptr, &size) != 0 || size <= 0) {
        return {};
    }
    std::vector<BYTE> format(static_cast<std::size_t>(size));
    if (AVIStreamReadFormat(stream, start, format.data(), &size) != 0) {
        return {};
    }
    return format;
}

AviStream EditableCopy(PAVISTREAM stream)
{
    PAVISTREAM editable = nullptr;
    if (CreateEditableStream(&editable, stream) != 0 || !editable) {
        return {};
    }
    return AviStream(editable);
}

// Saves both streams as they are: the audio was converted beforehand where that was asked for,
// since the platform's own conversion cannot be relied on.
bool SaveUnconverted(const std::string& outputPath, PAVISTREAM video, PAVISTREAM audio, int interleave, int period,
                     std::uint64_t sizeLimit)
{
    const std::vector<BYTE> audioFormat = StreamFormat(audio);
    if (audioFormat.empty()) {
        return false;
    }
    const DWORD interleaveFlag = interleave ? AVICOMPRESSF_INTERLEAVE : 0;
    AVICOMPRESSOPTIONS videoOptions{};
    videoOptions.fccType = streamtypeVIDEO;
    videoOptions.dwKeyFrameEvery = static_cast<DWORD>(-1);
    videoOptions.dwQuality = static_cast<DWORD>(-1);
    videoOptions.dwFlags = AVICOMPRESSF_DATARATE | AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID | interleaveFlag;
    videoOptions.dwInterleaveEvery = static_cast<DWORD>(period);

    GlobalBlock formatBlock(audioFormat.size());
    LockedGlobal lockedFormat(formatBlock.handle());
    if (!lockedFormat.data()) {
        return false;
    }
    std::copy(audioFormat.begin(), audioFormat.end(), lockedFormat.as<BYTE>());
    AVICOMPRESSOPTIONS audioOptions{};
    audioOptions.fccType = streamtypeAUDIO;
    audioOptions.dwFlags = AVICOMPRESSF_VALID | interleaveFlag;
    audioOptions.dwInterleaveEvery = static_cast<DWORD>(period);
    // The platform looks for a converter even between equal compressed formats, and finds none:
    // a compressed stream is given no target format, so that it is copied.
    if (reinterpret_cast<const WAVEFORMATEX*>(audioFormat.data())->wFormatTag == WAVE_FORMAT_PCM) {
        audioOptions.lpFormat = lockedFormat.data();
        audioOptions.cbFormat = static_cast<DWORD>(audioFormat.size());
    }

    PAVISTREAM streams[] = {video, audio};
    LPAVICOMPRESSOPTIONS options[] = {&videoOptions, &audioOptions};
    SaveWatch watch{outputPath, sizeLimit, false};
    g_saveWatch = &watch;
    const HRESULT saved = AVISaveVA(outputPath.c_str(), nullptr, &SaveProgress, 2, streams, options);
    g_saveWatch = nullptr;
    if (saved != 0 || watch.ranAway) {
        DeleteFileA(outputPath.c_str());
        return false;
    }
    return true;
}

int Saved()
{
    if (const HWND mainWindow = Settings().g_mainwindow; mainWindow && IsWindow(mainWindow)) {
        SetWindowTextA(mainWindow, "Framelark");
    }
    return kMerged;
}

int Period(PAVISTREAM video, int factor, int unit)
{
    AVISTREAMINFOA info{};
    AVIStreamInfoA(video, &info, sizeof(info));
    const double framesPerSecond = info.dwScale ? static_cast<double>(info.dwRate) / info.dwScale : 0.0;
    return InterleavePeriod(framesPerSecond, factor, unit);
}
} // namespace

int MergeAudioVideo(const std::string& videoPath, const std::string& audioPath, const std::string& outputPath,
                    int compressAudio, HGLOBAL compressedFormat, DWORD compressedFormatLength, int interleave,
                    int interleaveFactor, int interleaveUnit)
{
    AviLibrary library;
    AviStream video;
    {
        PAVIFILE rawFile = nullptr;
        if (AVIFileOpenA(&rawFile, videoPath.c_str(), OF_SHARE_DENY_NONE, nullptr) != 0) {
            return kVideoUnusable;
        }
        AviFile file(rawFile);
        PAVISTREAM rawStream = nullptr;
        if (AVIFileGetStream(file.get(), &rawStream, streamtypeVIDEO, 0) != 0) {
            return kVideoUnusable;
        }
        AviStream stream(rawStream);
        video = EditableCopy(stream.get());
        if (!video) {
            return kVideoUnusable;
        }
    }
    AviStream audio;
    {
        PAVISTREAM rawStream = nullptr;
        if (AVIStreamOpenFromFileA(&rawStream, audioPath.c_str(), streamtypeAUDIO, 0, OF_SHARE_DENY_NONE, nullptr) != 0) {
            return kSoundUnusable;
        }
        AviStream stream(rawStream);
        audio = EditableCopy(stream.get());
        if (!audio) {
            return kSoundUnusable;
        }
    }
    AVISTREAMINFOA videoInfo{};
    AVISTREAMINFOA audioInfo{};
    AVIStreamInfoA(video.get(), &videoInfo, sizeof(videoInfo));
    AVIStreamInfoA(audio.get(), &audioInfo, sizeof(audioInfo));
    if (videoInfo.fccType != streamtypeVIDEO) {
        return kFirstStreamNotVideo;
    }
    if (audioInfo.fccType != streamtypeAUDIO) {
        return kSecondStreamNotAudio;
    }

    const int period = Period(video.get(), interleaveFactor, interleaveUnit);
    const std::uint64_t sizeLimit = MergedSizeLimit(FileBytes(videoPath), FileBytes(audioPath));
    if (compressAudio && compressedFormat && compressedFormatLength >= sizeof(WAVEFORMATEX)) {
        ScratchFile convertedFile(outputPath + ".sound.avi");
        AviStream converted;
        {
            LockedGlobal format(compressedFormat);
            const auto* target = format.as<WAVEFORMATEX>();
            if (target && GlobalSize(compressedFormat) >= compressedFormatLength &&
                sizeof(WAVEFORMATEX) + target->cbSize <= compressedFormatLength) {
                converted = ConvertAudioStream(audio.get(), *target, convertedFile.path());
            }
        }
        if (converted &&
            SaveUnconverted(outputPath, video.get(), converted.get(), interleave, period, sizeLimit)) {
            converted.reset();
            return Saved();
        }
    }
    // Without compression, or when the compressed format cannot be produced: the recorded sound.
    if (!SaveUnconverted(outputPath, video.get(), audio.get(), interleave, period, sizeLimit)) {
        return kMergedSaveFailed;
    }
    return Saved();
}
