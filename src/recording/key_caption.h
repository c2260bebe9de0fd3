#pragma once
// What the caption of keys shown in a recording reads. A run of typed characters is joined
// ("hello"), a key pressed with Ctrl, Alt or Win reads as its chord ("Ctrl+Shift+S"), and the
// caption fades once no key has come for a while. With "shortcuts only", typed text never shows:
// only chords and the keys that move or confirm (Enter, Tab, Escape, arrows).
#include <cstdint>
#include <string>
#include <vector>

struct KeyStroke {
    std::uint32_t time = 0; // milliseconds on the recording's clock
    std::int32_t key = 0;   // virtual-key code
    bool released = false;
    bool repeat = false;    // the system repeating a held key
};

struct CaptionRules {
    bool shortcutsOnly = true;
    std::vector<std::int32_t> hidden; // the program's own hotkeys
};

// Shown whole this long after the last key, then faded out over kCaptionFadeMs.
constexpr std::uint32_t kCaptionShownMs = 1000;
constexpr std::uint32_t kCaptionFadeMs = 500;
// Older pieces give way to newer ones beyond this many characters.
constexpr std::size_t kCaptionLongest = 40;

class CKeyCaption {
public:
    explicit CKeyCaption(CaptionRules rules) : m_rules(std::move(rules)) {}

    // Strokes come in the order they happened.
    void Feed(const KeyStroke& stroke);
    // Empty when no caption shows at `now`.
    std::string Text(std::uint32_t now) const;
    // 255 shown whole, 0 gone.
    int Opacity(std::uint32_t now) const;

private:
    bool Held(std::uint32_t modifier) const { return (m_modifiers & modifier) != 0; }
    void Add(std::string piece, bool typed, std::uint32_t time);

    CaptionRules m_rules;
    std::uint32_t m_modifiers = 0;
    std::vector<std::string> m_pieces;
    bool m_lastTyped = false;
    std::uint32_t m_lastTime = 0;
};
