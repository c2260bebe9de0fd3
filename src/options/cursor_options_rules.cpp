#include "options/cursor_options_rules.h"

#include <algorithm>
#include <cctype>

HighlightBox HighlightPreviewBox(std::int32_t size, std::int32_t shape)
{
    return HighlightBoxFor(size / 2, shape, kHighlightPreviewSide);
}

bool IsLoadableCursorFile(const std::string& path)
{
    if (path.size() < 4) {
        return false;
    }
    std::string extension = path.substr(path.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return extension == ".ICO" || extension == ".CUR";
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::int32_t ShownCursorType(std::int32_t storedType)
{
    return storedType == 0 || storedType == 1 ? storedType : 2;
}
