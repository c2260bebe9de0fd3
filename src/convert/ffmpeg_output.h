#pragma once
// What ffmpeg.exe tells while it converts: its -progress lines on standard output become a
// percentage of the movie's duration, and its standard error the line that says what went wrong.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class FfmpegProgress {
public:
    explicit FfmpegProgress(std::int64_t durationMicroseconds) : m_duration(durationMicroseconds) {}

    // Takes text as it comes from the pipe, in pieces of any size; returns the percentage when it
    // grew. It never goes back, and reaches 100 only when ffmpeg says it has ended.
    std::optional<int> Take(std::string_view text);
    bool ended() const { return m_ended; }

private:
    void TakeLine(std::string_view line);

    std::int64_t m_duration;
    std::string m_partial;
    int m_percent = 0;
    bool m_ended = false;
};

// The last line worth showing of what ffmpeg wrote on its standard error; empty when there is none.
std::string LastErrorLine(std::string_view errors);
