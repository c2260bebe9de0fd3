// libFuzzer entry (clang only): hostile CS.ini and Cdata.ini contents.
#include "settings_fuzz_body.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!ReadFuzzedSettings(data, size)) {
        std::abort();
    }
    return 0;
}
