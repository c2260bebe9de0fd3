#include "app/heap_relaunch_rules.h"

#include <gtest/gtest.h>

#include <map>

namespace {
struct RelaunchRow {
    const char* situation;
    bool underWine;
    std::map<std::string, std::string> environment;
    bool relaunches;
};
} // namespace

TEST(HeapRelaunchRules, RelaunchesOnlyUnderWineWithoutTheSetting)
{
    const RelaunchRow rows[] = {
        {"plain wine start", true, {{"WINELOADER", "/usr/bin/wine"}}, true},
        {"on Windows", false, {}, false},
        {"started by a launcher with the setting", true, {{"MALLOC_TRIM_THRESHOLD_", "1073741824"}}, false},
        {"the relaunched process itself", true, {{"FRAMELARK_RELAUNCHED_BY", "32"}}, false},
        {"the setting as a glibc tunable", true,
         {{"GLIBC_TUNABLES", "glibc.malloc.mmap_threshold=268435456:glibc.malloc.trim_threshold=1073741824"}}, false},
        {"other tunables only", true, {{"GLIBC_TUNABLES", "glibc.malloc.arena_max=2"}}, true},
        {"an empty trim threshold still counts as the user's choice", true, {{"MALLOC_TRIM_THRESHOLD_", ""}}, false},
    };
    for (const RelaunchRow& row : rows) {
        const auto lookup = [&row](const char* name) -> std::optional<std::string> {
            const auto found = row.environment.find(name);
            return found == row.environment.end() ? std::nullopt : std::optional<std::string>(found->second);
        };
        EXPECT_EQ(ShouldRelaunchForHeap(row.underWine, lookup), row.relaunches) << row.situation;
    }
}

TEST(HeapRelaunchRules, KeepsTheArgumentsBehindTheProgramName)
{
    const std::pair<const char*, const char*> rows[] = {
        {"framelark.exe", ""},
        {"framelark.exe a b", "a b"},
        {"\"C:\\Program Files\\Framelark\\framelark.exe\" \"my file.avi\" -x", "\"my file.avi\" -x"},
        {"\"C:\\a b\\framelark.exe\"", ""},
        {"  C:\\framelark.exe\t\t/min ", "/min "},
        {"\"unclosed quote", ""},
        {"", ""},
    };
    for (const auto& [line, arguments] : rows) {
        EXPECT_EQ(ArgumentsOf(line), arguments) << line;
    }
    EXPECT_EQ(RelaunchCommandLine("Z:\\usr\\bin\\wine", "C:\\a b\\framelark.exe", ""),
              "\"Z:\\usr\\bin\\wine\" \"C:\\a b\\framelark.exe\"");
    EXPECT_EQ(RelaunchCommandLine("Z:\\usr\\bin\\wine", "C:\\f.exe", "\"x y\" z"),
              "\"Z:\\usr\\bin\\wine\" \"C:\\f.exe\" \"x y\" z");
}
