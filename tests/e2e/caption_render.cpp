// What a recording of a white region shows for the keys given, drawn by the program's own marks
// code, for end-to-end tests to hold the saved frames against.
//   caption_render <left> <top> <width> <height> <shortcuts only 0|1> <out.ppm> <key>...
// Keys are virtual-key codes in hex, pressed; with a leading '-' released. The caption is drawn
// as it stands just after the last key, shown whole.
#include "recording/input_marks.h"
#include "recording/window_fit.h"
#include "settings/app_settings.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 8) {
        std::fprintf(stderr, "usage: caption_render LEFT TOP WIDTH HEIGHT SHORTCUTS OUT KEY...\n");
        return 2;
    }
    const int left = std::atoi(argv[1]);
    const int top = std::atoi(argv[2]);
    const int width = std::atoi(argv[3]);
    const int height = std::atoi(argv[4]);
    AppSettings& settings = Settings();
    settings.g_showkeys = 1;
    settings.g_showclicks = 0;
    settings.g_shortcutsonly = std::atoi(argv[5]);
    CInputMarks marks;
    std::uint32_t time = 1000;
    for (int i = 7; i < argc; ++i) {
        const std::string key = argv[i];
        const bool released = key.front() == '-';
        InputEvent event;
        event.key = {time += 10, static_cast<std::int32_t>(std::strtol(key.c_str() + (released ? 1 : 0), nullptr, 16)),
                     released, false};
        InputEvents().Add(event);
    }
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    std::vector<std::uint8_t> pixels(stride * static_cast<std::size_t>(height), 255);
    marks.Draw(FrameRows{pixels.data(), stride, width, height, 4},
               Unscaled({left, top, left + width - 1, top + height - 1}), time + 100);
    std::ofstream out(argv[6], std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    for (int y = height - 1; y >= 0; --y) { // the frame's rows lie bottom-up
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* pixel = &pixels[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 4];
            const char rgb[3] = {static_cast<char>(pixel[2]), static_cast<char>(pixel[1]), static_cast<char>(pixel[0])};
            out.write(rgb, 3);
        }
    }
    out.close();
    return out ? 0 : 1;
}
