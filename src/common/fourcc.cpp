#include "common/fourcc.h"

std::string FourCCText(std::uint32_t code)
{
    std::string text;
    for (int shift = 0; shift < 32; shift += 8) {
        const char c = static_cast<char>((code >> shift) & 0xFF);
        text.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    }
    return text;
}

bool SameHandler(std::uint32_t a, std::uint32_t b)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const auto upper = [shift](std::uint32_t code) {
            const auto c = static_cast<char>((code >> shift) & 0xFF);
            return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        };
        if (upper(a) != upper(b)) {
            return false;
        }
    }
    return true;
}
