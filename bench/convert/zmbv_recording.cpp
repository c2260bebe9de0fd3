#include "zmbv_recording.h"

#include "codec/zmbv_driver.h"
#include "codec/zmbv_install.h"
#include "recording/movie_writer.h"
#include "settings/app_settings.h"

#include <cstdio>
#include <cstring>

bool ChooseZmbv(int width, int height)
{
    if (!InstallZmbvIfNeeded(32, width, height)) {
        std::fprintf(stderr, "ZMBV could not be installed\n");
        return false;
    }
    AppSettings& settings = Settings();
    settings.compfccHandler = static_cast<std::int32_t>(kFourCCZmbv);
    settings.keyFramesEvery = 200;
    settings.compquality = 7000;
    return true;
}

bool WriteZmbvRecording(const std::string& path, int width, int height, int pictures, std::uint32_t slotsPerPicture,
                        const std::function<void(std::vector<std::uint8_t>& pixels, int n)>& draw)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    std::vector<std::uint8_t> frame(sizeof(BITMAPINFOHEADER) + pixels.size());
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(frame.data());
    *header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB,
                               static_cast<DWORD>(pixels.size()), 0, 0, 0, 0};
    CMovieWriter writer;
    if (writer.Open(path, 200, header) != 0) {
        return false;
    }
    for (int n = 0; n < pictures; ++n) {
        draw(pixels, n);
        std::memcpy(frame.data() + sizeof(BITMAPINFOHEADER), pixels.data(), pixels.size());
        if (writer.Write(header, static_cast<std::uint32_t>(n) * slotsPerPicture) != 0) {
            return false;
        }
    }
    writer.ReleaseOptions();
    writer.ReleaseMovie();
    return true;
}
