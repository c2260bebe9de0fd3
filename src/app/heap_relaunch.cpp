#include "app/heap_relaunch.h"

#include "app/heap_relaunch_rules.h"
#include "win/handles.h"
#include "win/wine.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace {
// Long enough for a busy Wine to start the new process; after it the relaunch counts as failed.
constexpr DWORD kStartTimeoutMs = 30000;

std::optional<std::string> Variable(const char* name)
{
    const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) {
        return std::nullopt;
    }
    std::string value(size, '\0');
    value.resize(GetEnvironmentVariableA(name, value.data(), size));
    return value;
}

// Whichever process owns this mutex runs the program: the relaunched one from its start to its end,
// or the first one when it gave up waiting. The relaunched process's end abandons it.
std::string RunMutexName(const std::string& firstProcess)
{
    return "FramelarkRelaunchRun" + firstProcess;
}

std::string StartedEventName(const std::string& firstProcess)
{
    return "FramelarkRelaunchStarted" + firstProcess;
}

bool Owns(HANDLE mutex, DWORD timeoutMs)
{
    const DWORD result = WaitForSingleObject(mutex, timeoutMs);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

std::string ProgramPath()
{
    std::string path(MAX_PATH, '\0');
    path.resize(GetModuleFileNameA(nullptr, path.data(), MAX_PATH));
    return path;
}

std::string CurrentFolder()
{
    std::string folder(MAX_PATH, '\0');
    folder.resize(GetCurrentDirectoryA(MAX_PATH, folder.data()));
    return folder;
}

// The variables that the new process inherits, set for the moment of its start only.
class ChildEnvironment {
public:
    explicit ChildEnvironment(const std::string& firstProcess)
    {
        for (const EnvironmentSetting& setting : kFastHeapSettings) {
            Set(setting.name, setting.value);
        }
        Set(kRelaunchedByVariable, firstProcess.c_str());
    }
    ChildEnvironment(const ChildEnvironment&) = delete;
    ChildEnvironment& operator=(const ChildEnvironment&) = delete;
    ~ChildEnvironment()
    {
        for (const auto& [name, value] : m_before) {
            SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
        }
    }

private:
    void Set(const char* name, const char* value)
    {
        m_before.emplace_back(name, Variable(name));
        SetEnvironmentVariableA(name, value);
    }

    std::vector<std::pair<const char*, std::optional<std::string>>> m_before;
};

// The relaunched process takes the run over, unless the first one gave up waiting and runs itself.
bool TakeOverRun(const std::string& firstProcess)
{
    // Held until this process ends; the handle is left open on purpose.
    const HANDLE run = OpenMutexA(SYNCHRONIZE, FALSE, RunMutexName(firstProcess).c_str());
    if (!run || !Owns(run, 0)) {
        return false;
    }
    const KernelHandle started(OpenEventA(EVENT_MODIFY_STATE, FALSE, StartedEventName(firstProcess).c_str()));
    if (started) {
        SetEvent(started.get());
    }
    // Programs started from here are first processes of their own.
    SetEnvironmentVariableA(kRelaunchedByVariable, nullptr);
    return true;
}
} // namespace

std::optional<int> RunRelaunchedWithFastHeap()
{
    if (const std::optional<std::string> firstProcess = Variable(kRelaunchedByVariable)) {
        if (TakeOverRun(*firstProcess)) {
            return std::nullopt;
        }
        return 0; // the first process runs the program
    }
    if (!ShouldRelaunchForHeap(UnderWine(), &Variable)) {
        return std::nullopt;
    }
    const std::optional<std::string> unixLoader = Variable("WINELOADER");
    const std::optional<std::string> loader = unixLoader ? DosPath(*unixLoader) : std::nullopt;
    if (!loader) {
        return std::nullopt;
    }
    const std::string self = std::to_string(GetCurrentProcessId());
    const KernelHandle run(CreateMutexA(nullptr, FALSE, RunMutexName(self).c_str()));
    const KernelHandle started(CreateEventA(nullptr, TRUE, FALSE, StartedEventName(self).c_str()));
    if (!run || !started) {
        return std::nullopt;
    }
    // The loader finds its own files by the Unix path it is started under.
    std::string commandLine = RelaunchCommandLine(*unixLoader, ProgramPath(), ArgumentsOf(GetCommandLineA()));
    const std::string folder = CurrentFolder();
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    {
        const ChildEnvironment environment(self);
        if (!CreateProcessA(loader->c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), &startup, &child)) {
            return std::nullopt;
        }
    }
    // A Unix program started this way comes without a process handle to wait on.
    const KernelHandle process(child.hProcess);
    const KernelHandle thread(child.hThread);
    if (WaitForSingleObject(started.get(), kStartTimeoutMs) != WAIT_OBJECT_0 && Owns(run.get(), 0)) {
        return std::nullopt; // it never came: this process runs the program, and the late one will not
    }
    Owns(run.get(), INFINITE); // until the relaunched process ends
    ReleaseMutex(run.get());
    return 0;
}
