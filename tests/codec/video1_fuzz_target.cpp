// libFuzzer entry (clang only): the encoder with arbitrary sizes, depths, qualities and pixels.
#include "video1_fuzz_body.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!EncodeFuzzedSequence(data, size)) {
        std::abort();
    }
    return 0;
}
