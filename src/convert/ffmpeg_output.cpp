#include "convert/ffmpeg_output.h"

#include <algorithm>
#include <charconv>

namespace {
constexpr std::size_t kLongestLine = 4096;

std::string_view Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// "HH:MM:SS.ffffff", as every ffmpeg writes out_time; negative before the first frame.
std::optional<std::int64_t> Microseconds(std::string_view time)
{
    std::int64_t hours = 0, minutes = 0, seconds = 0;
    const char* p = time.data();
    const char* end = p + time.size();
    const bool negative = p != end && *p == '-';
    p += negative ? 1 : 0;
    auto number = [&](std::int64_t& value, char separator) {
        const auto [next, error] = std::from_chars(p, end, value);
        if (error != std::errc{} || next == end || *next != separator || value < 0) {
            return false;
        }
        p = next + 1;
        return true;
    };
    if (!number(hours, ':') || !number(minutes, ':') || !number(seconds, '.') || hours > 1'000'000) {
        return std::nullopt;
    }
    std::int64_t fraction = 0;
    int digits = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p, ++digits) {
        if (digits < 6) {
            fraction = fraction * 10 + (*p - '0');
        }
    }
    if (p != end || digits == 0) {
        return std::nullopt;
    }
    for (; digits < 6; ++digits) {
        fraction *= 10;
    }
    const std::int64_t total = ((hours * 60 + minutes) * 60 + seconds) * 1'000'000 + fraction;
    return negative ? -total : total;
}
} // namespace

std::optional<int> FfmpegProgress::Take(std::string_view text)
{
    const int before = m_percent;
    for (const char c : text) {
        if (c == '\n') {
            TakeLine(m_partial);
            m_partial.clear();
        } else if (m_partial.size() < kLongestLine) {
            m_partial += c;
        }
    }
    return m_percent > before ? std::optional<int>(m_percent) : std::nullopt;
}

void FfmpegProgress::TakeLine(std::string_view line)
{
    line = Trimmed(line);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return;
    }
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == "progress" && value == "end") {
        m_ended = true;
        m_percent = 100;
        return;
    }
    if (key != "out_time" || m_duration <= 0) {
        return;
    }
    const std::optional<std::int64_t> done = Microseconds(value);
    if (!done || *done <= 0) {
        return;
    }
    // 100 is kept for the end: the muxer still writes after the last frame.
    const std::int64_t percent = std::min<std::int64_t>(99, *done * 100 / m_duration);
    m_percent = std::max(m_percent, static_cast<int>(percent));
}

std::string LastErrorLine(std::string_view errors)
{
    std::string_view last;
    while (!errors.empty()) {
        const std::size_t end = errors.find('\n');
        const std::string_view line = Trimmed(errors.substr(0, end));
        // fftools' closing words add nothing to the error before them.
        if (!line.empty() && line != "Conversion failed!") {
            last = line;
        }
        errors = end == std::string_view::npos ? std::string_view() : errors.substr(end + 1);
    }
    return std::string(last);
}
