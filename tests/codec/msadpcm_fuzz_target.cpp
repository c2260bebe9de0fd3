// libFuzzer entry (clang only): the MS ADPCM encoder with arbitrary channels, block sizes and samples.
#include "msadpcm_fuzz_body.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!EncodeFuzzedAudio(data, size)) {
        std::abort();
    }
    return 0;
}
