#include "recording/background_writer.h"

#include <utility>

namespace {
class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&m_lock); }

private:
    SRWLOCK& m_lock;
};
} // namespace

CBackgroundWriter::CBackgroundWriter(WriteFrame write, int priority)
    : m_write(std::move(write)), m_thread([this, priority] { Run(priority); })
{
}

CBackgroundWriter::~CBackgroundWriter()
{
    {
        const ExclusiveLock lock(m_lock);
        m_quit = true;
    }
    WakeAllConditionVariable(&m_changed);
    m_thread.join();
}

template <typename Condition>
void CBackgroundWriter::WaitUntil(Condition condition)
{
    while (!condition()) {
        SleepConditionVariableSRW(&m_changed, &m_lock, INFINITE, 0);
    }
}

std::int32_t CBackgroundWriter::Submit(FramePtr frame, std::uint32_t number)
{
    FramePtr written;
    {
        const ExclusiveLock lock(m_lock);
        WaitUntil([this] { return !m_pending; });
        written = std::exchange(m_frame, nullptr);
        if (m_error != 0) {
            return m_error;
        }
        m_frame = std::move(frame);
        m_number = number;
        m_pending = true;
    }
    WakeAllConditionVariable(&m_changed);
    return 0;
}

std::int32_t CBackgroundWriter::Drain()
{
    FramePtr written;
    const ExclusiveLock lock(m_lock);
    WaitUntil([this] { return !m_pending; });
    written = std::exchange(m_frame, nullptr);
    return m_error;
}

void CBackgroundWriter::Run(int priority)
{
    SetThreadPriority(GetCurrentThread(), priority);
    AcquireSRWLockExclusive(&m_lock);
    for (;;) {
        WaitUntil([this] { return m_pending || m_quit; });
        if (!m_pending) {
            break;
        }
        const BITMAPINFOHEADER* frame = m_frame.get();
        const std::uint32_t number = m_number;
        ReleaseSRWLockExclusive(&m_lock);
        std::int32_t error = 0;
        try {
            error = m_write(frame, number);
        } catch (...) {
            error = E_OUTOFMEMORY; // what a write can throw is an allocation failure
        }
        AcquireSRWLockExclusive(&m_lock);
        if (m_error == 0) {
            m_error = error;
        }
        m_pending = false;
        WakeAllConditionVariable(&m_changed);
    }
    ReleaseSRWLockExclusive(&m_lock);
}
