#include "app/app_state.h"

#include <gtest/gtest.h>

#include <string>

// One row per state: what each command does there, in the commands' declared order
// (Record Pause Stop Options About PlayFile Play Close Chosen Abandoned Ended). R runs, . is
// ignored, N refuses with a note.
TEST(AppState, EveryCommandIsDecidedByTheStateAndLooksItsDecision)
{
    struct Row {
        AppState state;
        const char* verdicts;
    };
    const Row rows[] = {
        {AppState::Idle, "R..RRRRR..."},
        {AppState::Selecting, ".......RRR."},
        {AppState::Starting, "........R.."},
        {AppState::Recording, ".RR...RN..R"},
        {AppState::Paused, "R.R...RN..R"},
        {AppState::Ending, "......R...R"},
        {AppState::Completing, "..........."},
        {AppState::Asking, "..........."},
        {AppState::InDialog, "..........."},
    };
    for (const Row& row : rows) {
        const std::string expected = row.verdicts;
        ASSERT_EQ(expected.size(), 11u);
        for (std::size_t c = 0; c < expected.size(); ++c) {
            const auto command = static_cast<Command>(c);
            const Verdict verdict = Decide(row.state, command);
            const char got = verdict == Verdict::Run ? 'R' : verdict == Verdict::Ignore ? '.' : 'N';
            EXPECT_EQ(got, expected[c]) << "state " << static_cast<int>(row.state) << ", command " << c;
            EXPECT_EQ(LooksEnabled(row.state, command), got == 'R');
        }
    }
}
