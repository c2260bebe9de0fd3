#include "recording/key_caption.h"

#include <algorithm>

namespace {
// Virtual-key codes; this file includes no Windows header.
constexpr std::int32_t kTab = 0x09, kEnter = 0x0D, kEscape = 0x1B, kSpace = 0x20, kBackspace = 0x08;
constexpr std::int32_t kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28;
constexpr std::uint32_t kCtrl = 1, kAlt = 2, kShift = 4, kWin = 8;

// The modifier a key is, or 0.
std::uint32_t ModifierOf(std::int32_t key)
{
    switch (key) {
    case 0x11: case 0xA2: case 0xA3: return kCtrl;  // Control, left, right
    case 0x12: case 0xA4: case 0xA5: return kAlt;   // Menu, left, right
    case 0x10: case 0xA0: case 0xA1: return kShift; // Shift, left, right
    case 0x5B: case 0x5C: return kWin;
    default: return 0;
    }
}

// Keys shown even with "shortcuts only": they confirm, move or leave, and give nothing away.
bool IsCommandKey(std::int32_t key)
{
    return key == kEnter || key == kTab || key == kEscape || (key >= kLeft && key <= kDown);
}

std::string KeyName(std::int32_t key)
{
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
        return std::string(1, static_cast<char>(key));
    }
    if (key >= 0x70 && key <= 0x87) {
        return "F" + std::to_string(key - 0x70 + 1);
    }
    if (key >= 0x60 && key <= 0x69) {
        return "Num " + std::to_string(key - 0x60);
    }
    switch (key) {
    case kTab: return "Tab";
    case kEnter: return "Enter";
    case kEscape: return "Esc";
    case kSpace: return "Space";
    case kBackspace: return "Backspace";
    case kLeft: return "Left";
    case kUp: return "Up";
    case kRight: return "Right";
    case kDown: return "Down";
    case 0x21: return "PgUp";
    case 0x22: return "PgDn";
    case 0x23: return "End";
    case 0x24: return "Home";
    case 0x2D: return "Insert";
    case 0x2E: return "Delete";
    default: return {};
    }
}

// The character a key types without Ctrl, Alt or Win, or 0 when it types none we can name.
char TypedCharacter(std::int32_t key, bool shift)
{
    if (key >= 'A' && key <= 'Z') {
        return static_cast<char>(shift ? key : key - 'A' + 'a');
    }
    if (key >= '0' && key <= '9' && !shift) {
        return static_cast<char>(key);
    }
    return key == kSpace ? ' ' : '\0';
}

// Signed, so that a stroke stamped just after `now` reads as new rather than ages old.
std::int32_t Age(std::uint32_t now, std::uint32_t then)
{
    return std::max(static_cast<std::int32_t>(now - then), 0);
}
} // namespace

void CKeyCaption::Feed(const KeyStroke& stroke)
{
    if (const std::uint32_t modifier = ModifierOf(stroke.key)) {
        m_modifiers = stroke.released ? m_modifiers & ~modifier : m_modifiers | modifier;
        return;
    }
    if (stroke.released || stroke.repeat ||
        std::find(m_rules.hidden.begin(), m_rules.hidden.end(), stroke.key) != m_rules.hidden.end()) {
        return;
    }
    const std::string name = KeyName(stroke.key);
    if (name.empty()) {
        return;
    }
    const bool shift = Held(kShift);
    if (Held(kCtrl) || Held(kAlt) || Held(kWin)) {
        std::string chord;
        for (const auto& [modifier, text] : {std::pair{kCtrl, "Ctrl+"}, {kAlt, "Alt+"}, {kShift, "Shift+"}, {kWin, "Win+"}}) {
            if (Held(modifier)) {
                chord += text;
            }
        }
        Add(chord + name, false, stroke.time);
    } else if (IsCommandKey(stroke.key)) {
        Add(shift ? "Shift+" + name : name, false, stroke.time);
    } else if (m_rules.shortcutsOnly) {
        return;
    } else if (const char typed = TypedCharacter(stroke.key, shift)) {
        Add(std::string(1, typed), true, stroke.time);
    } else {
        Add(shift ? "Shift+" + name : name, false, stroke.time);
    }
}

void CKeyCaption::Add(std::string piece, bool typed, std::uint32_t time)
{
    if (Opacity(time) == 0) {
        m_pieces.clear();
    }
    if (typed && m_lastTyped && !m_pieces.empty()) {
        m_pieces.back() += piece;
    } else {
        m_pieces.push_back(std::move(piece));
    }
    m_lastTyped = typed;
    m_lastTime = time;
    std::size_t length = 0;
    for (const std::string& p : m_pieces) {
        length += p.size() + 1;
    }
    while (m_pieces.size() > 1 && length > kCaptionLongest + 1) {
        length -= m_pieces.front().size() + 1;
        m_pieces.erase(m_pieces.begin());
    }
    std::string& last = m_pieces.back();
    if (last.size() > kCaptionLongest) {
        last.erase(0, last.size() - kCaptionLongest);
    }
}

std::string CKeyCaption::Text(std::uint32_t now) const
{
    std::string text;
    if (Opacity(now) == 0) {
        return text;
    }
    for (const std::string& piece : m_pieces) {
        text += text.empty() ? piece : " " + piece;
    }
    return text;
}

int CKeyCaption::Opacity(std::uint32_t now) const
{
    const auto age = static_cast<std::uint32_t>(Age(now, m_lastTime));
    if (m_pieces.empty() || age >= kCaptionShownMs + kCaptionFadeMs) {
        return 0;
    }
    if (age <= kCaptionShownMs) {
        return 255;
    }
    return static_cast<int>(255 * (kCaptionShownMs + kCaptionFadeMs - age) / kCaptionFadeMs);
}
