#pragma once
// What the Cursor Options dialog decides, apart from any window.
#include "recording/recording_arithmetic.h"

#include <cstdint>
#include <string>

// The highlight preview is a 64 x 64 picture of the highlight at half its recorded size.
constexpr std::int32_t kHighlightPreviewSide = 64;
HighlightBox HighlightPreviewBox(std::int32_t size, std::int32_t shape);

// Cursor files are loaded only for the extensions the loader reads, in any letter case; .ani is not.
bool IsLoadableCursorFile(const std::string& path);

// The folder of a path, without its last backslash; empty for a bare name.
std::string FolderOf(const std::string& path);

// Showing the cursor again keeps "actual" and "built-in"; any other stored type means "from file".
std::int32_t ShownCursorType(std::int32_t storedType);
