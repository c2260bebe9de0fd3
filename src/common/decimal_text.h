#pragma once
// Numeric fields are read the way a "%d" scan reads them: leading blanks, an optional sign, then
// digits up to the first other character.
#include <cstdint>
#include <optional>
#include <string_view>

// Empty when the text holds no number. Values beyond 32 bits saturate.
std::optional<std::int32_t> ReadDecimal(std::string_view text);
