#pragma once
// The numbers of the AVI format that the program's movie writer and its reader share.
#include "common/fourcc.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace avi {
constexpr std::uint32_t kVideo = MakeFourCC('v', 'i', 'd', 's');
constexpr std::uint32_t kAudio = MakeFourCC('a', 'u', 'd', 's');
constexpr std::uint32_t kKeyFrame = 0x10;             // AVIIF_KEYFRAME, in idx1
constexpr std::uint32_t kNotKeyFrame = 0x80000000u;   // in a standard index entry's size
constexpr std::size_t kIndexHead = 24;                // of a super index and of a standard index
constexpr std::size_t kSuperIndexEntry = 16;
constexpr std::size_t kStandardIndexEntry = 8;
constexpr std::size_t kLegacyIndexEntry = 16;

// The two characters that a stream's chunk ids start with ('00dc', '01wb', 'ix01').
constexpr std::array<char, 2> StreamDigits(std::size_t stream)
{
    return {static_cast<char>('0' + stream / 10 % 10), static_cast<char>('0' + stream % 10)};
}
} // namespace avi
