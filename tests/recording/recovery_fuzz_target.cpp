// libFuzzer entry (clang only): the recovery's readers on arbitrary journals, movies and sound files.
#include "recovery_fuzz_body.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!RecoverFuzzedFiles(data, size)) {
        std::abort();
    }
    return 0;
}
