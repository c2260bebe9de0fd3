// The movie writer's files judged by ffmpeg, an independent reader: a small movie is whole through
// its old index alone, and one of several gigabytes plays to its last frame.
#include "audio/movie_index.h"
#include "audio/odml_writer.h"
#include "common/fourcc.h"
#include "common/little_endian.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {
// Writes the file sparsely: blocks of zeros become holes, so that gigabytes cost little disk.
class SparseFileSink : public MovieSink {
public:
    explicit SparseFileSink(const std::string& path) : m_fd(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644)) {}
    ~SparseFileSink()
    {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    bool Append(std::span<const std::uint8_t> data) override
    {
        static const std::vector<std::uint8_t> zeros(64 * 1024, 0);
        for (std::size_t at = 0; at < data.size(); at += zeros.size()) {
            const auto block = data.subspan(at, std::min(zeros.size(), data.size() - at));
            if (std::memcmp(block.data(), zeros.data(), block.size()) != 0 && !Overwrite(m_end + at, block)) {
                return false;
            }
        }
        m_end += data.size();
        return ftruncate(m_fd, static_cast<off_t>(m_end)) == 0;
    }
    bool Truncate(std::uint64_t end) override
    {
        m_end = std::min(m_end, end);
        return ftruncate(m_fd, static_cast<off_t>(m_end)) == 0;
    }
    bool Overwrite(std::uint64_t offset, std::span<const std::uint8_t> data) override
    {
        return m_fd >= 0 && pwrite(m_fd, data.data(), data.size(), static_cast<off_t>(offset)) ==
                                static_cast<ssize_t>(data.size());
    }

private:
    int m_fd;
    std::uint64_t m_end = 0;
};

// Removed however the test ends.
struct ScratchMovie {
    explicit ScratchMovie(const std::string& name) : path(testing::TempDir() + name) {}
    ~ScratchMovie() { std::remove(path.c_str()); }
    std::string path;
};

std::string Output(const std::string& command)
{
    std::string output;
    if (std::FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
            output.append(buffer, got);
        }
        pclose(pipe);
    }
    return output;
}

MovieStream RawVideo(std::uint32_t width, std::uint32_t height, std::uint32_t rate)
{
    std::vector<std::uint8_t> format(40, 0);
    WriteLittle32(format.data(), 40);
    WriteLittle32(format.data() + 4, width);
    WriteLittle32(format.data() + 8, height);
    format[12] = 1;
    format[14] = 24;
    WriteLittle32(format.data() + 20, width * height * 3);
    return {MakeFourCC('v', 'i', 'd', 's'), 0, 1, rate, 0, format};
}
} // namespace

TEST(OdmlInFfmpeg, SmallMovieIsWholeForAnAvi10Reader)
{
    const ScratchMovie movie("odml_small.avi");
    const MovieStream sound = {MakeFourCC('a', 'u', 'd', 's'), 0, 4, 88200, 4,
                               {1, 0, 2, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 1, 0, 4, 0, 16, 0, 0, 0}};
    {
        SparseFileSink sink(movie.path);
        MovieLayout layout;
        layout.interleaved = true;
        OdmlWriter writer(sink, {RawVideo(64, 48, 10), sound}, layout);
        ASSERT_TRUE(writer.Start());
        std::vector<std::uint8_t> frame(64 * 48 * 3);
        const std::vector<std::uint8_t> tenth(8820, 1);
        for (std::uint32_t slot = 0; slot < 30; ++slot) {
            ASSERT_EQ(writer.Add(1, tenth, true), AddResult::Added);
            // Every third slot is a gap on the time line.
            std::fill(frame.begin(), frame.end(), static_cast<std::uint8_t>(slot * 8));
            ASSERT_EQ(writer.Add(0, slot % 3 == 2 ? std::span<const std::uint8_t>() : frame, slot % 3 != 2),
                      AddResult::Added);
        }
        ASSERT_TRUE(writer.Finish());
    }
    const std::string packets = "ffprobe -v error -show_entries packet=stream_index,pts,size,flags -of csv=p=0 ";
    const std::string withIndexes = Output(packets + "'" + movie.path + "'");
    EXPECT_EQ(Output(packets + "-use_odml 0 '" + movie.path + "'"), withIndexes);
    std::size_t pictures = 0;
    for (std::size_t line = 0; line < withIndexes.size(); line = withIndexes.find('\n', line) + 1) {
        pictures += withIndexes.compare(line, 2, "0,") == 0 ? 1 : 0;
    }
    EXPECT_EQ(pictures, 20u) << withIndexes;
    EXPECT_NE(withIndexes.find("\n0,28,9216,K_\n"), std::string::npos) << withIndexes;
    EXPECT_EQ(Output("ffprobe -v error -select_streams v -show_entries stream=nb_frames,duration -of csv=p=0 '" +
                  movie.path + "'"),
              "3.000000,30\n");
    EXPECT_EQ(Output("ffmpeg -nostdin -v error -i '" + movie.path + "' -f null -"), "");
}

TEST(OdmlInFfmpeg, MovieOfSeveralGigabytesPlaysToItsEnd)
{
    constexpr std::uint32_t kSide = 4096;
    constexpr std::uint32_t kFrames = 100;
    constexpr std::uint32_t kRate = 25;
    const ScratchMovie movie("odml_large.avi");
    std::vector<std::uint8_t> frame(std::size_t{kSide} * kSide * 3, 0);
    {
        SparseFileSink sink(movie.path);
        OdmlWriter writer(sink, {RawVideo(kSide, kSide, kRate)});
        ASSERT_TRUE(writer.Start());
        for (std::uint32_t n = 0; n < kFrames; ++n) {
            WriteLittle32(frame.data(), n + 1); // the rest stays a hole in the file
            ASSERT_EQ(writer.Add(0, frame, true), AddResult::Added) << "frame " << n;
        }
        ASSERT_TRUE(writer.Finish());
    }
    std::ifstream file(movie.path, std::ios::binary);
    const auto contents = ReadMovie(file);
    ASSERT_TRUE(contents);
    ASSERT_EQ(contents->chunks[0].size(), kFrames);
    EXPECT_GT(contents->chunks[0].back().offset, std::uint64_t{1} << 32);
    std::uint8_t stamp[4] = {};
    file.clear();
    file.seekg(static_cast<std::streamoff>(contents->chunks[0].back().offset));
    file.read(reinterpret_cast<char*>(stamp), sizeof(stamp));
    EXPECT_EQ(ReadLittle32(stamp), kFrames);
    EXPECT_EQ(contents->totalFrames, kFrames);
    EXPECT_LT(contents->firstPartFrames, 23u) << "the first part stays below 1 GiB";

    EXPECT_EQ(Output("ffprobe -v error -select_streams v -show_entries stream=nb_frames,duration -of csv=p=0 '" +
                     movie.path + "'"),
              "4.000000,100\n");
    // Seeking to the last frames goes through the indexes past 4 GB: read all, the file would take
    // minutes here.
    std::string lastFrames;
    for (std::uint32_t n = 96; n < kFrames; ++n) {
        lastFrames += std::to_string(n) + "," + std::to_string(contents->chunks[0][n].offset) + "\n";
    }
    EXPECT_EQ(Output("ffprobe -v error -read_intervals 3.85% -select_streams v -show_entries packet=pts,pos "
                     "-of csv=p=0 '" + movie.path + "'"),
              lastFrames);
    EXPECT_EQ(Output("ffmpeg -nostdin -v error -ss 3.85 -i '" + movie.path + "' -f null -"), "");
}
