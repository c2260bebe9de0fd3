#pragma once
// One thread kept for the second half of large frames: starting a thread per frame costs too much
// under Wine.
#include <functional>
#include <memory>
#include <thread>

class HalfFrameWorker {
public:
    HalfFrameWorker();
    HalfFrameWorker(const HalfFrameWorker&) = delete;
    HalfFrameWorker& operator=(const HalfFrameWorker&) = delete;
    ~HalfFrameWorker();

    void start(std::function<void()> job);
    void wait();

    // A worker, or null where no thread can be had (the caller then does all the work itself).
    static std::unique_ptr<HalfFrameWorker> TryCreate();

private:
    void loop();

    struct Signal; // the platform's lock and condition variable
    std::unique_ptr<Signal> m_signal;
    std::function<void()> m_job;
    bool m_stop = false;
    std::thread m_thread; // last: the thread uses the members above
};
