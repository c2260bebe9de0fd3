#include "codec/half_frame_worker.h"

#include <exception>
#include <utility>

#ifdef _WIN32
#include <windows.h>

// The system's slim lock: under Wine it waits in-process, where the C++ library's lock goes
// through the Wine server at every hand-over.
struct HalfFrameWorker::Signal {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;

    void acquire() { AcquireSRWLockExclusive(&lock); }
    void release() { ReleaseSRWLockExclusive(&lock); }
    void sleep() { SleepConditionVariableSRW(&changed, &lock, INFINITE, 0); }
    void wakeAll() { WakeAllConditionVariable(&changed); }
};
#else
#include <condition_variable>
#include <mutex>

struct HalfFrameWorker::Signal {
    std::mutex mutex;
    std::condition_variable changed;

    void acquire() { mutex.lock(); }
    void release() { mutex.unlock(); }
    void sleep()
    {
        std::unique_lock lock(mutex, std::adopt_lock);
        changed.wait(lock);
        lock.release();
    }
    void wakeAll() { changed.notify_all(); }
};
#endif

HalfFrameWorker::HalfFrameWorker() : m_signal(std::make_unique<Signal>()), m_thread([this] { loop(); }) {}

HalfFrameWorker::~HalfFrameWorker()
{
    m_signal->acquire();
    m_stop = true;
    m_signal->wakeAll();
    m_signal->release();
    m_thread.join();
}

std::unique_ptr<HalfFrameWorker> HalfFrameWorker::TryCreate()
{
    try {
        return std::make_unique<HalfFrameWorker>();
    } catch (const std::exception&) {
        return nullptr;
    }
}

void HalfFrameWorker::start(std::function<void()> job)
{
    m_signal->acquire();
    m_job = std::move(job);
    m_signal->wakeAll();
    m_signal->release();
}

void HalfFrameWorker::wait()
{
    m_signal->acquire();
    while (m_job) {
        m_signal->sleep();
    }
    m_signal->release();
}

void HalfFrameWorker::loop()
{
    m_signal->acquire();
    for (;;) {
        while (!m_stop && !m_job) {
            m_signal->sleep();
        }
        if (m_stop) {
            break;
        }
        m_signal->release();
        m_job();
        m_signal->acquire();
        m_job = nullptr;
        m_signal->wakeAll();
    }
    m_signal->release();
}
