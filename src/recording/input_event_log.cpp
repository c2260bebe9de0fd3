#include "recording/input_event_log.h"

void CInputEventLog::Add(const InputEvent& event)
{
    const std::lock_guard<std::mutex> hold(m_lock);
    m_events[m_end % kHeld] = event;
    ++m_end;
}

std::uint64_t CInputEventLog::End() const
{
    const std::lock_guard<std::mutex> hold(m_lock);
    return m_end;
}

void CInputEventLog::TakeSince(std::uint64_t& next, std::vector<InputEvent>& out) const
{
    const std::lock_guard<std::mutex> hold(m_lock);
    if (next > m_end || m_end - next > kHeld) {
        next = m_end > kHeld ? m_end - kHeld : 0;
    }
    for (; next < m_end; ++next) {
        out.push_back(m_events[next % kHeld]);
    }
}

CInputEventLog& InputEvents()
{
    static CInputEventLog log;
    return log;
}
