// Stands in for ffmpeg.exe in the conversion tests, as FRAMELARK_STAND_IN says:
// "fail": starts its output file, says what went wrong on standard error and exits with 1;
// "hang": starts its output file, tells a first progress block and waits, the file open, until it
// is ended.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    const char* mode = std::getenv("FRAMELARK_STAND_IN");
    if (argc < 2 || !mode) {
        return 2;
    }
    std::FILE* output = std::fopen(argv[argc - 1], "wb");
    if (output) {
        std::fputs("partial", output);
        std::fflush(output);
    }
    if (std::strcmp(mode, "hang") == 0) {
        std::printf("frame=1\nout_time=00:00:00.500000\nprogress=continue\n");
        std::fflush(stdout);
        Sleep(INFINITE);
    }
    std::fprintf(stderr, "[mp4 @ 000001] Starting second pass\n%s: No space left on device\nConversion failed!\n",
                 argv[argc - 1]);
    return 1;
}
