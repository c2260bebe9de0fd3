// libFuzzer entry (clang only): the ZMBV encoder with arbitrary sizes, depths, palettes and pixels.
#include "zmbv_fuzz_body.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!EncodeFuzzedZmbvSequence(data, size)) {
        std::abort();
    }
    return 0;
}
