#include "convert/ffmpeg_conversion.h"

#include "audio/avi_handles.h"
#include "convert/ffmpeg_command.h"
#include "convert/ffmpeg_output.h"
#include "convert/ffmpeg_search.h"
#include "win/child_process.h"
#include "win/directories.h"
#include "win/file_io.h"

#include <mutex>
#include <vector>

namespace {
// The end of standard error is what matters; an ffmpeg that repeats an error per frame must not
// fill the memory.
constexpr std::size_t kErrorTailBytes = 16 * 1024;

bool IsProgramFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The length of the movie's video time line; 0 when it cannot be read, and progress then stays put
// until the end.
std::int64_t MovieMicroseconds(const std::string& path)
{
    const AviLibrary library;
    PAVIFILE opened = nullptr;
    if (AVIFileOpenA(&opened, path.c_str(), OF_READ | OF_SHARE_DENY_NONE, nullptr) != 0) {
        return 0;
    }
    const AviFile file(opened);
    PAVISTREAM video = nullptr;
    if (AVIFileGetStream(file.get(), &video, streamtypeVIDEO, 0) != 0) {
        return 0;
    }
    const AviStream stream(video);
    AVISTREAMINFOA info{};
    if (AVIStreamInfoA(stream.get(), &info, sizeof(info)) != 0 || info.dwRate == 0) {
        return 0;
    }
    return static_cast<std::int64_t>(info.dwLength) * info.dwScale * 1'000'000 / info.dwRate;
}

std::string SystemMessage(DWORD error)
{
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        text, sizeof(text), nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}
} // namespace

std::optional<std::string> FindFfmpeg(const std::string& chosenInOptions)
{
    std::vector<char> path(32768, '\0');
    const DWORD length = GetEnvironmentVariableA("PATH", path.data(), static_cast<DWORD>(path.size()));
    const std::string pathVariable = length < path.size() ? std::string(path.data(), length) : std::string();
    for (const std::string& candidate : FfmpegCandidates(GetProgramDirectory(), pathVariable, chosenInOptions)) {
        if (IsProgramFile(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

ConversionResult ConvertMovie(const ConversionRequest& request, const std::function<void(int)>& progress,
                              const std::atomic<bool>& cancel)
{
    const std::string partial = request.output + ".partial";
    DeleteLargeFile(partial);
    FfmpegProgress told(MovieMicroseconds(request.input));
    std::mutex errorsGuard;
    std::string errors;
    const std::string commandLine =
        JoinCommandLine(request.ffmpeg, FfmpegArguments(request.format, request.input, partial, request.quality));

    CChildProcess ffmpeg;
    const bool started = ffmpeg.Start(
        request.ffmpeg, commandLine,
        [&](const char* data, std::size_t size) {
            if (const std::optional<int> percent = told.Take(std::string_view(data, size))) {
                progress(*percent);
            }
        },
        [&](const char* data, std::size_t size) {
            const std::lock_guard<std::mutex> lock(errorsGuard);
            errors.append(data, size);
            if (errors.size() > kErrorTailBytes) {
                errors.erase(0, errors.size() - kErrorTailBytes);
            }
        });
    if (!started) {
        return {ConversionResult::End::Failed, request.ffmpeg + " could not be started: " + SystemMessage(GetLastError())};
    }
    const std::optional<DWORD> exitCode = ffmpeg.Wait(cancel);
    const std::uint64_t written = FileSize(partial).value_or(0);
    if (cancel) {
        DeleteLargeFile(partial);
        return {ConversionResult::End::Cancelled, ""};
    }
    // ffmpeg.exe asked for errors only; some it tells (a full disk while the file is closed) and
    // still ends with code 0.
    const std::string last = LastErrorLine(errors);
    if (exitCode == 0u && last.empty() && told.ended() && written > 0 &&
        MoveFileExA(partial.c_str(), request.output.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return {ConversionResult::End::Converted, ""};
    }
    const DWORD moveError = GetLastError();
    DeleteLargeFile(partial);
    if (!last.empty()) {
        return {ConversionResult::End::Failed, last};
    }
    if (exitCode != 0u) {
        return {ConversionResult::End::Failed, exitCode ? "ffmpeg.exe ended with code " + std::to_string(*exitCode)
                                                        : "ffmpeg.exe did not say how it ended"};
    }
    if (!told.ended()) {
        return {ConversionResult::End::Failed, "ffmpeg.exe ended before it said it had finished"};
    }
    if (written == 0) {
        return {ConversionResult::End::Failed, "ffmpeg.exe reported success but wrote nothing"};
    }
    return {ConversionResult::End::Failed, request.output + " could not be written: " + SystemMessage(moveError)};
}
