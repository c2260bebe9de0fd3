#include "test_avi.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace {

class RiffBuffer {
public:
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    void u16(std::uint16_t v)
    {
        bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void tag(const char* t) { bytes.insert(bytes.end(), t, t + 4); }
    std::size_t begin(const char* t, const char* listType = nullptr)
    {
        tag(t);
        const std::size_t at = bytes.size();
        u32(0);
        if (listType) {
            tag(listType);
        }
        return at;
    }
    // The size excludes the pad byte that keeps the next chunk at an even offset.
    void end(std::size_t at)
    {
        const auto size = static_cast<std::uint32_t>(bytes.size() - at - 4);
        std::memcpy(bytes.data() + at, &size, 4);
        if (bytes.size() % 2) {
            bytes.push_back(0);
        }
    }
    std::vector<std::uint8_t> bytes;
};

} // namespace

bool WriteTestAvi(const std::string& path, const char* handler, const char* compression, int bits, int codedWidth,
                  int codedHeight, const std::vector<CompressedFrame>& frames)
{
    std::uint32_t largest = 0;
    for (const CompressedFrame& f : frames) {
        largest = std::max(largest, static_cast<std::uint32_t>(f.data.size()));
    }
    const auto count = static_cast<std::uint32_t>(frames.size());
    RiffBuffer riff;
    const std::size_t file = riff.begin("RIFF", "AVI ");
    const std::size_t hdrl = riff.begin("LIST", "hdrl");
    const std::size_t avih = riff.begin("avih");
    for (std::uint32_t v : {40000u, 0u, 0u, 0x10u, count, 0u, 1u, largest, static_cast<std::uint32_t>(codedWidth),
                            static_cast<std::uint32_t>(codedHeight), 0u, 0u, 0u, 0u}) {
        riff.u32(v);
    }
    riff.end(avih);
    const std::size_t strl = riff.begin("LIST", "strl");
    const std::size_t strh = riff.begin("strh");
    riff.tag("vids");
    riff.tag(handler);
    for (std::uint32_t v : {0u, 0u, 0u, 1u, 25u, 0u, count, largest, 0xFFFFFFFFu, 0u}) {
        riff.u32(v);
    }
    for (int v : {0, 0, codedWidth, codedHeight}) {
        riff.u16(static_cast<std::uint16_t>(v));
    }
    riff.end(strh);
    const std::size_t strf = riff.begin("strf");
    riff.u32(40);
    riff.u32(static_cast<std::uint32_t>(codedWidth));
    riff.u32(static_cast<std::uint32_t>(codedHeight));
    riff.u16(1);
    riff.u16(static_cast<std::uint16_t>(bits));
    riff.tag(compression);
    for (int i = 0; i < 5; ++i) {
        riff.u32(i == 0 ? largest : 0);
    }
    riff.end(strf);
    riff.end(strl);
    riff.end(hdrl);
    const std::size_t movi = riff.begin("LIST", "movi");
    std::vector<std::uint32_t> offsets;
    for (const CompressedFrame& f : frames) {
        offsets.push_back(static_cast<std::uint32_t>(riff.bytes.size() - (movi + 4)));
        const std::size_t chunk = riff.begin("00dc");
        riff.bytes.insert(riff.bytes.end(), f.data.begin(), f.data.end());
        riff.end(chunk);
    }
    riff.end(movi);
    const std::size_t idx = riff.begin("idx1");
    for (std::size_t i = 0; i < frames.size(); ++i) {
        riff.tag("00dc");
        riff.u32(frames[i].key ? 0x10u : 0u);
        riff.u32(offsets[i]);
        riff.u32(static_cast<std::uint32_t>(frames[i].data.size()));
    }
    riff.end(idx);
    riff.end(file);

    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(riff.bytes.data()), static_cast<std::streamsize>(riff.bytes.size()));
    out.close();
    return static_cast<bool>(out);
}
