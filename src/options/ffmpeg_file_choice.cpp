#include "options/ffmpeg_file_choice.h"

#include <commdlg.h>

#include <vector>

std::optional<std::string> ChooseFfmpegFile(HWND owner, const std::string& current)
{
    std::vector<char> path(4096, '\0');
    current.copy(path.data(), path.size() - 1);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = "ffmpeg.exe\0ffmpeg.exe\0Programs (*.exe)\0*.exe\0";
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = "Where is ffmpeg.exe?";
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&dialog)) {
        return std::nullopt;
    }
    return std::string(path.data());
}
