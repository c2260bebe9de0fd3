#pragma once
// The ZMBV encoder's zlib stream: how hard zlib searches at each quality, and the stream that runs
// through a key frame interval. Portable.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <new>

namespace zmbv {

// zlib's level and its match search limits.
struct DeflateEffort {
    int level = 1;
    int goodLength = 4;
    int maxLazy = 4;
    int niceLength = 8;
    int chain = 4;

    bool operator==(const DeflateEffort&) const = default;
};

// zlib's level follows the quality, 1 to 9. On screen content long runs of background make zlib's
// match chains long: from level 6 to 8 it follows up to 256, 512 or 1024 links of them but takes
// any match up to the longest, which gives most of level 9's size at a sixth of its time.
DeflateEffort EffortFor(int quality);

// zlib's header for a 32 KB window, fastest level: the two bytes make a multiple of 31.
inline constexpr std::uint8_t kZlibHeader[] = {0x78, 0x01};

// One deflate stream per key frame interval, flushed to a byte boundary at the end of each frame.
// It is a raw stream behind a zlib header of our own: its checksum trailer is never reached, so
// zlib need not compute it.
struct Deflater {
    z_stream stream{};
    DeflateEffort effort;
    bool effortSet = false; // zlib's reset restores the level's own limits

    Deflater()
    {
        if (deflateInit2(&stream, effort.level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    bool reset()
    {
        effortSet = false;
        return deflateReset(&stream) == Z_OK;
    }
    // Takes effect from the next bytes on; output must have room, for the flush a change may make.
    bool use(const DeflateEffort& wanted, std::uint8_t* output, std::size_t room)
    {
        if (effortSet && wanted == effort) {
            return true;
        }
        stream.next_out = output;
        stream.avail_out = static_cast<uInt>(room);
        if (deflateParams(&stream, wanted.level, Z_DEFAULT_STRATEGY) != Z_OK ||
            deflateTune(&stream, wanted.goodLength, wanted.maxLazy, wanted.niceLength, wanted.chain) != Z_OK) {
            return false;
        }
        effort = wanted;
        effortSet = true;
        return true;
    }
    ~Deflater() { deflateEnd(&stream); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
};

} // namespace zmbv
