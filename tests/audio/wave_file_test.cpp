#include "audio/wave_file.h"

#include "message_box_watcher.h"
#include "test_support.h"

#include <mmreg.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {
std::uint32_t Little32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof(value));
    return value;
}

struct IndexedFormat {
    WAVEFORMATEX header;
    BYTE extra[2];
};

IndexedFormat Pcm(WORD channels, DWORD rate, WORD bits)
{
    const WORD align = static_cast<WORD>(bits / 8 * channels);
    return {{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0}, {}};
}

// IMA ADPCM carries 2 extra bytes: the samples in each block.
IndexedFormat ImaAdpcm()
{
    return {{WAVE_FORMAT_IMA_ADPCM, 2, 22050, 22311, 1024, 4, 2}, {0xF9, 0x03}};
}

std::string Bytes(std::size_t count)
{
    std::string data(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        data[i] = static_cast<char>(i * 7 + 3);
    }
    return data;
}

std::string Chunk(const char* id, const std::string& body)
{
    const std::uint32_t size = static_cast<std::uint32_t>(body.size());
    return std::string(id, 4) + std::string(reinterpret_cast<const char*>(&size), 4) + body;
}

void WriteRaw(const std::string& path, const std::string& content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}
} // namespace

TEST(WaveFile, WrittenFileHasCompleteChunksAndReadsBack)
{
    ScratchFolder scratch;
    struct Case {
        IndexedFormat format;
        std::size_t bytes;
    };
    const Case cases[] = {{Pcm(1, 22050, 16), 0},    {Pcm(2, 22050, 16), 4000 * 3}, {Pcm(1, 11025, 8), 1001},
                          {Pcm(2, 44100, 16), 17640}, {ImaAdpcm(), 2048},           {ImaAdpcm(), 0}};
    int number = 0;
    for (const Case& c : cases) {
        const std::string path = scratch.File("written" + std::to_string(number++) + ".wav");
        const std::string data = Bytes(c.bytes);
        const std::size_t extra = c.format.header.cbSize;
        {
            WaveFile writer(path, c.format.header);
            ASSERT_TRUE(writer.IsOpen()) << path;
            EXPECT_EQ(writer.mode(), WaveFile::kWriting);
            // In two parts, as buffers arrive.
            EXPECT_TRUE(writer.Write(data.data(), c.bytes / 2));
            EXPECT_TRUE(writer.Write(data.data() + c.bytes / 2, c.bytes - c.bytes / 2));
        }
        const std::string file = ReadWholeFile(path);
        const std::size_t padding = c.bytes % 2; // chunks are padded to even lengths
        ASSERT_EQ(file.size(), 46 + extra + c.bytes + padding) << path;
        EXPECT_EQ(file.substr(0, 4), "RIFF");
        EXPECT_EQ(Little32(file, 4), file.size() - 8);
        EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(Little32(file, 16), 18 + extra);
        EXPECT_EQ(std::memcmp(file.data() + 20, &c.format, 18 + extra), 0);
        EXPECT_EQ(file.substr(38 + extra, 4), "data");
        EXPECT_EQ(Little32(file, 42 + extra), c.bytes);
        EXPECT_EQ(file.substr(46 + extra, c.bytes), data);

        WaveFile reader(path);
        ASSERT_TRUE(reader.IsOpen());
        EXPECT_EQ(reader.mode(), WaveFile::kReading);
        EXPECT_EQ(std::memcmp(&reader.format(), &c.format, 18 + extra), 0);
        EXPECT_FALSE(reader.Write("x", 1));
        reader.Close();
        EXPECT_EQ(ReadWholeFile(path), file) << "a reader must write nothing";
        EXPECT_FALSE(reader.IsOpen());
    }
}

TEST(WaveFile, RefusesWhatItCannotHold)
{
    ScratchFolder scratch;
    IndexedFormat tooLong = ImaAdpcm();
    tooLong.header.cbSize = 32; // MS ADPCM's coefficient table
    const std::string path = scratch.File("refused.wav");
    {
        WaveFile writer(path, tooLong.header);
        EXPECT_FALSE(writer.IsOpen());
        EXPECT_FALSE(writer.Write("abcd", 4));
    }
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);

    // An existing file is not taken over, and a missing folder fails quietly.
    MessageBoxWatcher watcher;
    const std::string held = scratch.File("held.wav");
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_FALSE(WaveFile(held, Pcm(1, 22050, 16).header).IsOpen());
    CloseHandle(holder);
    EXPECT_FALSE(WaveFile(scratch.File("missing\\x.wav"), Pcm(1, 22050, 16).header).IsOpen());
    EXPECT_FALSE(WaveFile(scratch.File("missing.wav")).IsOpen());
    EXPECT_TRUE(watcher.Seen().empty());

    WaveFile closed(scratch.File("closed.wav"), Pcm(2, 22050, 16).header);
    closed.Close();
    closed.Close();
    EXPECT_FALSE(closed.IsOpen());
    EXPECT_FALSE(closed.Write("abcd", 4));
    EXPECT_EQ(ReadWholeFile(scratch.File("closed.wav")).size(), 46u);
}

TEST(WaveFile, DamagedFilesAreRefusedWithAMessage)
{
    ScratchFolder scratch;
    const IndexedFormat pcm = Pcm(2, 22050, 16);
    const std::string format(reinterpret_cast<const char*>(&pcm), 18);
    const auto riff = [](const std::string& body) { return Chunk("RIFF", "WAVE" + body); };
    struct Case {
        const char* name;
        std::string content;
        const char* message;
    };
    IndexedFormat claimsExtra = pcm;
    claimsExtra.header.cbSize = 2;
    const Case cases[] = {
        {"empty", "", "Error descending into file"},
        {"text", "This is not a sound file at all.", "Error descending into file"},
        {"avi", Chunk("RIFF", "AVI " + Chunk("fmt ", format)), "Error descending into file"},
        {"nofmt", riff(Chunk("data", "abcd")), "Error descending in wave file"},
        {"nodata", riff(Chunk("fmt ", format)), "error reading data chunk"},
        {"datafirst", riff(Chunk("data", "abcd") + Chunk("fmt ", format)), "error reading data chunk"},
        {"shortfmt", riff(Chunk("fmt ", format.substr(0, 12)) + Chunk("data", "")), "Error reading the wave format"},
        {"longfmt", riff(Chunk("fmt ", format + std::string(32, '\0')) + Chunk("data", "")),
         "Error reading the wave format"},
        {"cutfmt", riff(Chunk("fmt ", std::string(reinterpret_cast<const char*>(&claimsExtra), 18)) + Chunk("data", "")),
         "Error reading the wave format"},
        {"truncated", riff(Chunk("fmt ", format)).substr(0, 30), "Error reading the wave format"},
    };
    for (const Case& c : cases) {
        const std::string path = scratch.File(std::string(c.name) + ".wav");
        WriteRaw(path, c.content);
        MessageBoxWatcher watcher;
        WaveFile reader(path);
        EXPECT_FALSE(reader.IsOpen()) << c.name;
        EXPECT_EQ(watcher.Seen(), std::vector<std::string>{std::string("Framelark: ") + c.message}) << c.name;
    }

    // What other programs write: a 16-byte format chunk and chunks of their own in between.
    const std::string path = scratch.File("foreign.wav");
    WriteRaw(path, riff(Chunk("LIST", "INFOxxxx") + Chunk("fmt ", format.substr(0, 16)) + Chunk("data", "abcd")));
    MessageBoxWatcher watcher;
    WaveFile reader(path);
    EXPECT_TRUE(reader.IsOpen());
    EXPECT_EQ(reader.format().nSamplesPerSec, 22050u);
    EXPECT_EQ(reader.format().cbSize, 0);
    EXPECT_TRUE(watcher.Seen().empty());
}

TEST(WaveFile, OtherProgramsReadTheExactFormat)
{
    if (UnixPath("C:\\").empty()) {
        GTEST_SKIP() << "read back with ffprobe under Wine";
    }
    ScratchFolder scratch;
    struct Case {
        IndexedFormat format;
        const char* probe;
    };
    const Case cases[] = {
        {Pcm(1, 11025, 8), "pcm_u8,11025,1,8,1.000000"},
        {Pcm(2, 22050, 16), "pcm_s16le,22050,2,16,1.000000"},
        {Pcm(2, 44100, 16), "pcm_s16le,44100,2,16,1.000000"},
        {ImaAdpcm(), "adpcm_ima_wav,22050,2,4,"},
    };
    int number = 0;
    for (const Case& c : cases) {
        const std::string name = "probe" + std::to_string(number++);
        {
            WaveFile writer(scratch.File(name + ".wav"), c.format.header);
            const std::string second = Bytes(c.format.header.nAvgBytesPerSec / c.format.header.nBlockAlign *
                                             c.format.header.nBlockAlign);
            ASSERT_TRUE(writer.Write(second.data(), second.size()));
        }
        const std::string folder = UnixPath(scratch.path());
        ASSERT_EQ(RunUnixShell("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,bits_per_sample,"
                               "duration -of csv=p=0 '" + folder + "/" + name + ".wav' > '" + folder + "/" + name +
                               ".txt'"),
                  0);
        EXPECT_EQ(ReadWholeFile(scratch.File(name + ".txt")).substr(0, std::strlen(c.probe)), c.probe);
    }
}

#ifdef FRAMELARK_SMALL_DISK
// The multimedia file functions report every byte as written on a full disk; the writer must not.
TEST(WaveFile, AFullDiskEndsTheFileAtTheLastWholeSampleFrame)
{
    const std::string folder = SmallDiskFolder(FRAMELARK_SMALL_DISK);
    if (folder.empty()) {
        GTEST_SKIP() << "no small file system at " FRAMELARK_SMALL_DISK " (mounting one needs root)";
    }
    for (const WORD channels : {WORD{1}, WORD{2}}) {
        const std::string path = folder + "\\full" + std::to_string(channels) + ".wav";
        DeleteFileA(path.c_str());
        const IndexedFormat format = Pcm(channels, 22050, 16);
        const std::string buffer = Bytes(4001 * channels); // not a whole number of pages
        std::size_t accepted = 0;
        {
            WaveFile writer(path, format.header);
            ASSERT_TRUE(writer.IsOpen());
            for (int i = 0; i < 400 && writer.Write(buffer.data(), buffer.size()); ++i) {
                accepted += buffer.size();
            }
            EXPECT_LT(accepted, 400 * buffer.size()) << "the disk never filled";
            EXPECT_FALSE(writer.Write(buffer.data(), buffer.size())) << "a failed file takes no more";
        }
        const std::string file = ReadWholeFile(path);
        const std::uint32_t data = Little32(file, 42);
        EXPECT_EQ(data % format.header.nBlockAlign, 0u) << "whole sample frames only";
        EXPECT_GE(data, accepted) << "what was accepted is kept";
        EXPECT_LE(46 + data, file.size()) << "the data chunk claims no more than the disk holds";
        EXPECT_EQ(Little32(file, 4), 38 + data);
        std::string written;
        while (written.size() < accepted) {
            written += buffer;
        }
        EXPECT_EQ(file.substr(46, accepted), written) << "the kept sound is the sound written";
        WaveFile reader(path);
        EXPECT_TRUE(reader.IsOpen());
        reader.Close();
        DeleteFileA(path.c_str());
    }
}
#endif
