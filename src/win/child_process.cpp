#include "win/child_process.h"

#include <utility>

namespace {
constexpr DWORD kStopCheckMs = 50;

struct Pipe {
    KernelHandle read;
    KernelHandle write; // inherited by the child
};

std::optional<Pipe> MakePipe()
{
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0)) {
        return std::nullopt;
    }
    Pipe pipe{KernelHandle(read), KernelHandle(write)};
    if (!SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0)) {
        return std::nullopt;
    }
    return pipe;
}

std::thread ReadAll(KernelHandle pipe, CChildProcess::Reader reader)
{
    return std::thread([pipe = std::move(pipe), reader = std::move(reader)] {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(pipe.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
            reader(buffer, read);
        }
    });
}

KernelHandle KillOnCloseJob()
{
    KernelHandle job(CreateJobObjectA(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        job.reset();
    }
    return job;
}
} // namespace

CChildProcess::~CChildProcess()
{
    End();
}

bool CChildProcess::Start(const std::string& program, const std::string& commandLine, Reader onOutput, Reader onError)
{
    m_job = KillOnCloseJob();
    std::optional<Pipe> output = MakePipe();
    std::optional<Pipe> error = MakePipe();
    if (!m_job || !output || !error) {
        return false;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output->write.get();
    startup.hStdError = error->write.get();
    PROCESS_INFORMATION started{};
    std::string line = commandLine;
    // Suspended until it is in the job: nothing it starts may escape it.
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW | CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &started)) {
        return false;
    }
    m_process.reset(started.hProcess);
    const KernelHandle thread(started.hThread);
    if (!AssignProcessToJobObject(m_job.get(), m_process.get())) {
        const DWORD why = GetLastError();
        TerminateProcess(m_process.get(), 1);
        m_process.reset();
        SetLastError(why);
        return false;
    }
    ResumeThread(thread.get());
    // Only the child holds the writing ends now: the readers see the pipes close when it ends.
    output->write.reset();
    error->write.reset();
    m_outputReader = ReadAll(std::move(output->read), std::move(onOutput));
    m_errorReader = ReadAll(std::move(error->read), std::move(onError));
    return true;
}

std::optional<DWORD> CChildProcess::Wait(const std::atomic<bool>& stop)
{
    if (!m_process) {
        return std::nullopt;
    }
    while (WaitForSingleObject(m_process.get(), kStopCheckMs) == WAIT_TIMEOUT) {
        if (stop) {
            End();
            return std::nullopt;
        }
    }
    DWORD code = 0;
    const bool known = GetExitCodeProcess(m_process.get(), &code);
    End();
    return known ? std::optional<DWORD>(code) : std::nullopt;
}

void CChildProcess::End()
{
    if (m_job) {
        TerminateJobObject(m_job.get(), 1);
    }
    if (m_process) {
        WaitForSingleObject(m_process.get(), INFINITE);
    }
    for (std::thread* reader : {&m_outputReader, &m_errorReader}) {
        if (reader->joinable()) {
            reader->join();
        }
    }
    m_process.reset();
    m_job.reset();
}
