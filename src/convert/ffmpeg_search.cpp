#include "convert/ffmpeg_search.h"

namespace {
constexpr char kProgramName[] = "ffmpeg.exe";

std::string InFolder(std::string folder)
{
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
        folder = folder.substr(1, folder.size() - 2);
    }
    if (folder.back() != '\\' && folder.back() != '/') {
        folder += '\\';
    }
    return folder + kProgramName;
}
} // namespace

std::vector<std::string> FfmpegCandidates(const std::string& programDirectory, const std::string& pathVariable,
                                          const std::string& chosenInOptions)
{
    std::vector<std::string> candidates;
    if (!programDirectory.empty()) {
        candidates.push_back(InFolder(programDirectory));
    }
    for (std::size_t start = 0; start <= pathVariable.size();) {
        std::size_t end = pathVariable.find(';', start);
        end = end == std::string::npos ? pathVariable.size() : end;
        const std::string folder = pathVariable.substr(start, end - start);
        // An empty or quoted-empty entry names no folder (not the current one).
        if (!folder.empty() && folder != "\"\"") {
            candidates.push_back(InFolder(folder));
        }
        start = end + 1;
    }
    if (!chosenInOptions.empty()) {
        candidates.push_back(chosenInOptions);
    }
    return candidates;
}
