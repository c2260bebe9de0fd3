#include "recording/window_follower.h"

#include "win/top_windows.h"

CWindowFollower::CWindowFollower(HWND window, const ScreenRect& chosen)
    : m_window(window), m_width(chosen.Width()), m_height(chosen.Height()), m_last(Unscaled(chosen))
{
}

CWindowFollower::View CWindowFollower::Next(std::uint32_t now)
{
    m_gone = m_gone || !IsWindow(m_window);
    const std::optional<ScreenRect> shown = m_gone ? std::nullopt : ShownWindowRect(m_window);
    if (shown) {
        m_last = FitWindow(*shown, m_width, m_height);
        m_heldMs += m_stretchMs;
        m_stretchMs = 0;
    } else if (m_wasHeld) {
        m_stretchMs += now - m_checked;
    }
    m_wasHeld = !shown;
    m_checked = now;
    return {m_last, !shown};
}
