#pragma once
// Ownership of the movie library's files and streams, and of the library itself.
#include <windows.h>
#include <vfw.h>

#include "win/handles.h"

namespace avi_handles_detail {
inline void ReleaseStream(PAVISTREAM stream) { AVIStreamRelease(stream); }
inline void ReleaseFile(PAVIFILE file) { AVIFileRelease(file); }
} // namespace avi_handles_detail

using AviStream = Owned<PAVISTREAM, avi_handles_detail::ReleaseStream>;
using AviFile = Owned<PAVIFILE, avi_handles_detail::ReleaseFile>;

// Holds the movie library open while in scope.
class AviLibrary {
public:
    AviLibrary() { AVIFileInit(); }
    ~AviLibrary() { AVIFileExit(); }
    AviLibrary(const AviLibrary&) = delete;
    AviLibrary& operator=(const AviLibrary&) = delete;
};
