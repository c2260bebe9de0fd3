#pragma once
// Answers the message boxes that code under test shows on this thread, keeping their texts.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // "caption: text" of each box answered so far.
    std::vector<std::string> Seen();

private:
    void Watch(DWORD thread);

    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::vector<std::string> m_seen;
    std::thread m_thread;
};
