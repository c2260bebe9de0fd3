#include "app/heap_relaunch_rules.h"

namespace {
bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}
} // namespace

bool ShouldRelaunchForHeap(bool underWine, const EnvironmentLookup& lookup)
{
    if (!underWine || lookup(kRelaunchedByVariable) || lookup(kFastHeapSettings[0].name)) {
        return false;
    }
    const std::optional<std::string> tunables = lookup("GLIBC_TUNABLES");
    return !tunables || tunables->find("glibc.malloc.trim_threshold") == std::string::npos;
}

std::string ArgumentsOf(const std::string& commandLine)
{
    std::size_t at = 0;
    while (at < commandLine.size() && IsBlank(commandLine[at])) {
        ++at;
    }
    // The program's name ends at the closing quote when it starts with one; it has no escapes.
    if (at < commandLine.size() && commandLine[at] == '"') {
        const std::size_t close = commandLine.find('"', at + 1);
        at = close == std::string::npos ? commandLine.size() : close + 1;
    } else {
        while (at < commandLine.size() && !IsBlank(commandLine[at])) {
            ++at;
        }
    }
    while (at < commandLine.size() && IsBlank(commandLine[at])) {
        ++at;
    }
    return commandLine.substr(at);
}

std::string RelaunchCommandLine(const std::string& loader, const std::string& program, const std::string& arguments)
{
    std::string line = Quoted(loader) + " " + Quoted(program);
    if (!arguments.empty()) {
        line += " " + arguments;
    }
    return line;
}
