#include "settings/settings_text.h"

#include <charconv>
#include <limits>

namespace {
constexpr std::string_view kHeaderPattern = "[Framelark Settings ver%f -- Please do not edit ] \n\n";

using S = StoredSettings;
} // namespace

const std::array<SettingsLine, 59> kSettingsLines = {{
    {"flashingRect=%d \n", &S::flashingRect},
    {"launchPlayer=%d \n", &S::launchPlayer},
    {"minimizeOnStart=%d \n", &S::minimizeOnStart},
    {"MouseCaptureMode= %d \n", &S::MouseCaptureMode},
    {"capturewidth=%d \n", &S::capturewidth},
    {"captureheight=%d \n", &S::captureheight},
    {"timelapse=%d \n", &S::timelapse},
    {"frames_per_second= %d \n", &S::frames_per_second},
    {"keyFramesEvery= %d \n", &S::keyFramesEvery},
    {"compquality= %d \n", &S::compquality},
    {"compfccHandler= %ld \n", &S::compfccHandler},
    {"CompressorStateIsFor= %ld \n", &S::CompressorStateIsFor},
    {"CompressorStateSize= %d \n", &S::CompressorStateSize},
    {"g_recordcursor=%d \n", &S::g_recordcursor},
    {"g_customsel=%d \n", &S::g_customsel},
    {"g_cursortype=%d \n", &S::g_cursortype},
    {"g_highlightcursor=%d \n", &S::g_highlightcursor},
    {"g_highlightsize=%d \n", &S::g_highlightsize},
    {"g_highlightshape=%d \n", &S::g_highlightshape},
    {"g_highlightcolorR=%d \n", &S::g_highlightcolorR},
    {"g_highlightcolorG=%d \n", &S::g_highlightcolorG},
    {"g_highlightcolorB=%d \n", &S::g_highlightcolorB},
    {"autopan=%d \n", &S::autopan},
    {"maxpan= %d \n", &S::maxpan},
    {"AudioDeviceID= %d \n", &S::AudioDeviceID},
    {"cbwfx= %ld \n", &S::cbwfx},
    {"recordaudio= %d \n", &S::recordaudio},
    {"waveinselected= %d \n", &S::waveinselected},
    {"audio_bits_per_sample= %d \n", &S::audio_bits_per_sample},
    {"audio_num_channels= %d \n", &S::audio_num_channels},
    {"audio_samples_per_seconds= %d \n", &S::audio_samples_per_seconds},
    {"bAudioCompression= %d \n", &S::bAudioCompression},
    {"interleaveFrames= %d \n", &S::interleaveFrames},
    {"interleaveFactor= %d \n", &S::interleaveFactor},
    {"keyRecordStart= %d \n", &S::keyRecordStart},
    {"keyRecordEnd= %d \n", &S::keyRecordEnd},
    {"keyRecordCancel= %d \n", &S::keyRecordCancel},
    {"g_autoadjust= %d \n", &S::g_autoadjust},
    {"g_valueadjust= %d \n", &S::g_valueadjust},
    {"savedir=%d \n", &S::savedir},
    {"cursordir=%d \n", &S::cursordir},
    {"threadPriority=%d \n", &S::threadPriority},
    {"captureleft= %d \n", &S::captureleft},
    {"capturetop= %d \n", &S::capturetop},
    {"fixedcapture=%d \n", &S::fixedcapture},
    {"interleaveUnit= %d \n", &S::interleaveUnit},
    // Later additions: a file that ends before them leaves them at their defaults.
    {"saveFormat= %d \n", &S::saveFormat},
    {"ffmpegPath=%d \n", &S::ffmpegPath},
    {"g_showclicks=%d \n", &S::g_showclicks},
    {"g_clickcolorR=%d \n", &S::g_clickcolorR},
    {"g_clickcolorG=%d \n", &S::g_clickcolorG},
    {"g_clickcolorB=%d \n", &S::g_clickcolorB},
    {"g_showkeys=%d \n", &S::g_showkeys},
    {"g_shortcutsonly=%d \n", &S::g_shortcutsonly},
    {"countdownSeconds=%d \n", &S::countdownSeconds},
    {"computerSound= %d \n", &S::computerSound},
    {"computerSoundDevice= %d \n", &S::computerSoundDevice},
    {"windowCapture=%d \n", &S::windowCapture},
    {"computerSoundTracks= %d \n", &S::computerSoundTracks},
}};

namespace {
constexpr std::size_t kLinesBeforeThreadPriority = 41;
constexpr std::size_t kLinesBeforeFixedCorner = 42;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Walks a text the way a formatted scan does; a failed match leaves the position where it stopped.
class PatternScanner {
public:
    explicit PatternScanner(std::string_view text) : m_text(text) {}

    // The pattern's one conversion ("%d", "%ld" or "%f") goes to number or version.
    bool Match(std::string_view pattern, std::int32_t* number, float* version)
    {
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            const char c = pattern[i];
            if (IsSpace(c)) {
                SkipSpace();
            } else if (c == '%') {
                const std::size_t end = pattern.find_first_of("df", i);
                const bool converted = pattern[end] == 'f' ? ReadFloat(*version) : ReadInt32(*number);
                if (!converted) {
                    return false;
                }
                i = end;
            } else if (m_position < m_text.size() && m_text[m_position] == c) {
                ++m_position;
            } else {
                return false;
            }
        }
        return true;
    }

private:
    void SkipSpace()
    {
        while (m_position < m_text.size() && IsSpace(m_text[m_position])) {
            ++m_position;
        }
    }

    // A number that does not fit 32 bits cannot be read.
    bool ReadInt32(std::int32_t& value)
    {
        SkipSpace();
        std::size_t end = m_position;
        const bool negative = end < m_text.size() && m_text[end] == '-';
        if (end < m_text.size() && (m_text[end] == '-' || m_text[end] == '+')) {
            ++end;
        }
        std::int64_t magnitude = 0;
        const std::size_t firstDigit = end;
        for (; end < m_text.size() && IsDigit(m_text[end]); ++end) {
            magnitude = magnitude * 10 + (m_text[end] - '0');
            if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
                return false;
            }
        }
        const std::int64_t signedValue = negative ? -magnitude : magnitude;
        if (end == firstDigit || signedValue > std::numeric_limits<std::int32_t>::max()) {
            return false;
        }
        value = static_cast<std::int32_t>(signedValue);
        m_position = end;
        return true;
    }

    // Sign, digits with an optional point, an optional exponent.
    bool ReadFloat(float& value)
    {
        SkipSpace();
        std::size_t end = m_position;
        if (end < m_text.size() && (m_text[end] == '-' || m_text[end] == '+')) {
            ++end;
        }
        const std::size_t mantissa = end;
        std::size_t digits = SkipDigits(end);
        if (end < m_text.size() && m_text[end] == '.') {
            ++end;
            digits += SkipDigits(end);
        }
        if (digits == 0) {
            return false;
        }
        if (end < m_text.size() && (m_text[end] == 'e' || m_text[end] == 'E')) {
            std::size_t exponent = end + 1;
            if (exponent < m_text.size() && (m_text[exponent] == '-' || m_text[exponent] == '+')) {
                ++exponent;
            }
            if (SkipDigits(exponent) > 0) {
                end = exponent;
            }
        }
        // from_chars takes no leading plus; the minus stays part of the number.
        const std::size_t start = m_text[m_position] == '+' ? mantissa : m_position;
        float parsed = 0;
        const auto [stop, error] = std::from_chars(m_text.data() + start, m_text.data() + end, parsed);
        if (error != std::errc{} || stop != m_text.data() + end) {
            return false;
        }
        value = parsed;
        m_position = end;
        return true;
    }

    std::size_t SkipDigits(std::size_t& position) const
    {
        const std::size_t start = position;
        while (position < m_text.size() && IsDigit(m_text[position])) {
            ++position;
        }
        return position - start;
    }

    std::string_view m_text;
    std::size_t m_position = 0;
};

void AppendWithLineEnds(std::string& out, std::string_view pattern, std::string_view value, std::string_view lineEnd)
{
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\n') {
            out += lineEnd;
        } else if (pattern[i] == '%') {
            out += value;
            i = pattern.find_first_of("df", i);
        } else {
            out += pattern[i];
        }
    }
}
} // namespace

SettingsVersionRules RulesForVersion(float version)
{
    const double v = version;
    return {
        .hasFirstLines = v >= 1.199999,
        .hasThreadPriority = v >= 1.299999,
        .hasFixedCorner = v >= 1.499999,
        .predatesCompressorState = v < 1.35,
        .hasDirectoryTexts = v >= 1.2,
        .hasBlobs = v > 1.35,
    };
}

std::string FormatSettingsText(const StoredSettings& values, std::string_view lineEnd)
{
    char version[16];
    const auto written = std::to_chars(version, version + sizeof(version), kSettingsVersion, std::chars_format::fixed, 2);
    std::string out;
    AppendWithLineEnds(out, kHeaderPattern, std::string_view(version, static_cast<std::size_t>(written.ptr - version)),
                       lineEnd);
    for (const SettingsLine& line : kSettingsLines) {
        AppendWithLineEnds(out, line.pattern, std::to_string(values.*line.value), lineEnd);
    }
    return out;
}

SettingsTextRead ReadSettingsText(std::string_view text, StoredSettings& values)
{
    PatternScanner scanner(text);
    SettingsTextRead result;
    float version = 0;
    if (scanner.Match(kHeaderPattern, nullptr, &version)) {
        result.version = version;
    }
    const SettingsVersionRules rules = RulesForVersion(result.version);
    const std::size_t available = rules.hasFixedCorner      ? kSettingsLines.size()
                                  : rules.hasThreadPriority ? kLinesBeforeFixedCorner
                                  : rules.hasFirstLines     ? kLinesBeforeThreadPriority
                                                            : 0;
    for (; result.linesRead < available; ++result.linesRead) {
        const SettingsLine& line = kSettingsLines[result.linesRead];
        std::int32_t value = 0;
        if (!scanner.Match(line.pattern, &value, nullptr)) {
            break;
        }
        values.*line.value = value;
    }
    return result;
}
