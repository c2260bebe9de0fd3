#include "app/heap_relaunch.h"

#include "app/heap_relaunch_rules.h"
#include "win/handles.h"

#include <windows.h>

#include <string>

namespace {
// Long enough for a cold Wine to start the new process; after it the relaunch counts as failed.
constexpr DWORD kStartTimeoutMs = 60000;

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

FARPROC WineExport(const char* module, const char* name)
{
    const HMODULE handle = GetModuleHandleA(module);
    return handle ? GetProcAddress(handle, name) : nullptr;
}

bool UnderWine()
{
    return WineExport("ntdll.dll", "wine_get_version") != nullptr;
}

// Wine names its loader by its Unix path in WINELOADER; CreateProcess wants the DOS form.
std::optional<std::string> LoaderPath()
{
    using ToDosName = WCHAR*(CDECL*)(const char*);
    // Through void (*)() first: FARPROC's own type does not match the export's.
    const auto toDosName = reinterpret_cast<ToDosName>(
        reinterpret_cast<void (*)()>(WineExport("kernel32.dll", "wine_get_dos_file_name")));
    const std::optional<std::string> unixPath = Variable("WINELOADER");
    if (!toDosName || !unixPath) {
        return std::nullopt;
    }
    WCHAR* dosName = toDosName(unixPath->c_str());
    if (!dosName) {
        return std::nullopt;
    }
    std::string path(MAX_PATH * 4, '\0');
    const int length = WideCharToMultiByte(CP_ACP, 0, dosName, -1, path.data(), static_cast<int>(path.size()), nullptr,
                                           nullptr);
    HeapFree(GetProcessHeap(), 0, dosName);
    if (length <= 1) {
        return std::nullopt;
    }
    path.resize(static_cast<std::size_t>(length - 1));
    return path;
}

std::string StartedEventName(const std::string& firstProcess)
{
    return "FramelarkRelaunchStarted" + firstProcess;
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
            SetEnvironmentVariableA(setting.name, setting.value);
        }
        SetEnvironmentVariableA(kRelaunchedByVariable, firstProcess.c_str());
    }
    ChildEnvironment(const ChildEnvironment&) = delete;
    ChildEnvironment& operator=(const ChildEnvironment&) = delete;
    ~ChildEnvironment()
    {
        for (const EnvironmentSetting& setting : kFastHeapSettings) {
            SetEnvironmentVariableA(setting.name, nullptr);
        }
        SetEnvironmentVariableA(kRelaunchedByVariable, nullptr);
    }
};

// Tells the first process that this one has started and takes over.
void AnnounceStart(const std::string& firstProcess)
{
    const KernelHandle started(OpenEventA(EVENT_MODIFY_STATE, FALSE, StartedEventName(firstProcess).c_str()));
    if (started) {
        SetEvent(started.get());
    }
}
} // namespace

std::optional<int> RunRelaunchedWithFastHeap()
{
    if (const std::optional<std::string> firstProcess = Variable(kRelaunchedByVariable)) {
        AnnounceStart(*firstProcess);
        return std::nullopt;
    }
    if (!ShouldRelaunchForHeap(UnderWine(), &Variable)) {
        return std::nullopt;
    }
    const std::optional<std::string> loader = LoaderPath();
    if (!loader) {
        return std::nullopt;
    }
    const std::string self = std::to_string(GetCurrentProcessId());
    const KernelHandle started(CreateEventA(nullptr, TRUE, FALSE, StartedEventName(self).c_str()));
    if (!started) {
        return std::nullopt;
    }
    std::string commandLine = RelaunchCommandLine(*loader, ProgramPath(), ArgumentsOf(GetCommandLineA()));
    const std::string folder = CurrentFolder();
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    {
        const ChildEnvironment environment(self);
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), &startup, &child)) {
            return std::nullopt;
        }
    }
    const KernelHandle process(child.hProcess);
    const KernelHandle thread(child.hThread);
    const HANDLE waits[] = {started.get(), process.get()};
    if (WaitForMultipleObjects(2, waits, FALSE, kStartTimeoutMs) != WAIT_OBJECT_0) {
        // It ended or hung before the program started: run here instead, and only here.
        TerminateProcess(process.get(), 1);
        return std::nullopt;
    }
    WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    return static_cast<int>(exitCode);
}
