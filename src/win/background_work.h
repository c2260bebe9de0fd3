#pragma once
// Work that must not hold up a window, done in order on one thread of its own: the deletion of
// multi-gigabyte temporary files, which under Wine holds every window while the disk frees them.
// What was handed over is finished before the object goes.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CBackgroundWork {
public:
    CBackgroundWork();
    CBackgroundWork(const CBackgroundWork&) = delete;
    CBackgroundWork& operator=(const CBackgroundWork&) = delete;
    ~CBackgroundWork();

    // The task must not throw.
    void Post(std::function<void()> task);
    // Waits until every task handed over so far is done.
    void Drain();

private:
    void Serve();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_tasks;
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_thread;
};

// The one queue of the program, for the code that deletes temporary files.
CBackgroundWork& BackgroundWork();
