#include "app/app_state.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
std::vector<AppState> AllStates()
{
    std::vector<AppState> states;
    for (int s = 0; s < kAppStates; ++s) {
        states.push_back(static_cast<AppState>(s));
    }
    return states;
}

// The states that can be reached from `from` by the moves the table allows.
std::vector<bool> Reachable(AppState from)
{
    std::vector<bool> seen(kAppStates, false);
    std::vector<AppState> open{from};
    seen[static_cast<int>(from)] = true;
    while (!open.empty()) {
        const AppState state = open.back();
        open.pop_back();
        for (const AppState next : AllStates()) {
            if (!seen[static_cast<int>(next)] && MayMove(state, next)) {
                seen[static_cast<int>(next)] = true;
                open.push_back(next);
            }
        }
    }
    return seen;
}
} // namespace

// What must hold in every state, whatever the table's cells say: a wrong cell fails here even when
// it was copied into the table and into a test of it alike.
TEST(AppState, EveryStateKeepsTheProgramsPromises)
{
    for (const AppState state : AllStates()) {
        SCOPED_TRACE(static_cast<int>(state));
        const bool threadMayRun = ThreadMayRun(state);
        // Nothing ends the program, opens a dialog or starts a second recording under a running thread.
        if (threadMayRun) {
            EXPECT_NE(Decide(state, Command::Close), Verdict::Run);
            EXPECT_NE(Decide(state, Command::Options), Verdict::Run);
            EXPECT_NE(Decide(state, Command::PlayFile), Verdict::Run);
            EXPECT_EQ(Decide(state, Command::Record) == Verdict::Run, state == AppState::Paused) << "only resumes";
        }
        // Stop and Cancel are one pair: wherever one stops the recording, so does the other.
        EXPECT_EQ(Decide(state, Command::Stop), Decide(state, Command::Cancel));
        // A thread's one message is awaited in exactly the state that started the thread.
        EXPECT_EQ(Decide(state, Command::SaveDone) == Verdict::Run, state == AppState::Saving);
        EXPECT_EQ(Decide(state, Command::RecoveryDone) == Verdict::Run, state == AppState::Recovering);
        EXPECT_EQ(Decide(state, Command::ConvertDone) == Verdict::Run, state == AppState::Converting);
        EXPECT_EQ(Decide(state, Command::CountdownEnded) == Verdict::Run, state == AppState::CountingDown);
        // Only the idle program asks nothing and waits for nothing: there alone the user's own
        // dialogs open.
        EXPECT_EQ(Decide(state, Command::Options) == Verdict::Run, state == AppState::Idle);
        // The end of the session always reaches the program, once.
        EXPECT_EQ(Decide(state, Command::EndSession) == Verdict::Run, state != AppState::SessionEnding);
        for (int c = 0; c < kCommands; ++c) {
            const auto command = static_cast<Command>(c);
            EXPECT_EQ(LooksEnabled(state, command), Decide(state, command) == Verdict::Run);
        }
        // Every state leads back to idle, and idle leads to every state but the launch.
        EXPECT_TRUE(Reachable(state)[static_cast<int>(AppState::Idle)]);
        EXPECT_EQ(Reachable(AppState::Idle)[static_cast<int>(state)], state != AppState::Launching);
    }
    EXPECT_EQ(Decide(static_cast<AppState>(kAppStates), Command::Record), Verdict::Ignore);
    EXPECT_FALSE(MayMove(AppState::Idle, static_cast<AppState>(kAppStates)));
}
