#pragma once
// Another program run by ours: its standard output and error come through pipes, and it lives in a
// job object that ends it when the job's handle closes, so that it never outlives Framelark.
#include <windows.h>

#include "win/handles.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

class CChildProcess {
public:
    using Reader = std::function<void(const char* data, std::size_t size)>;

    CChildProcess() = default;
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;
    // Ends the program if it still runs, and waits for the readers.
    ~CChildProcess();

    // Each reader runs on a thread of its own until its pipe closes. False when the program could
    // not be started; GetLastError tells why.
    bool Start(const std::string& program, const std::string& commandLine, Reader onOutput, Reader onError);

    // Waits until the program ends or stop is raised, which ends it; its exit code then, and the
    // readers have taken everything. Empty when it did not start or was stopped.
    std::optional<DWORD> Wait(const std::atomic<bool>& stop);

private:
    void End();

    KernelHandle m_job;
    KernelHandle m_process;
    std::thread m_outputReader;
    std::thread m_errorReader;
};
