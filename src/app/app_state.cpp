#include "app/app_state.h"

#include <array>

namespace {
constexpr Verdict R = Verdict::Run;
constexpr Verdict I = Verdict::Ignore;
constexpr Verdict N = Verdict::RefuseWithNote;

constexpr std::size_t kStates = 9;
constexpr std::size_t kCommands = 11;

// Rows: commands in their declared order; columns: Idle, Selecting, Starting, Recording, Paused,
// Ending, Completing, Asking, InDialog.
constexpr std::array<std::array<Verdict, kStates>, kCommands> kRules = {{
    /* Record          */ {R, I, I, I, R, I, I, I, I},
    /* Pause           */ {I, I, I, R, I, I, I, I, I},
    /* Stop            */ {I, I, I, R, R, I, I, I, I},
    /* Options         */ {R, I, I, I, I, I, I, I, I},
    /* About           */ {R, I, I, I, I, I, I, I, I},
    /* PlayFile        */ {R, I, I, I, I, I, I, I, I},
    /* Play            */ {R, I, I, R, R, R, I, I, I},
    // A close in Ending would end the program under the thread that is finishing the movie.
    /* Close           */ {R, R, I, N, N, I, I, I, I},
    /* RegionChosen    */ {I, R, R, I, I, I, I, I, I},
    /* RegionAbandoned */ {I, R, I, I, I, I, I, I, I},
    /* RecordingEnded  */ {I, I, I, R, R, R, I, I, I},
}};
} // namespace

Verdict Decide(AppState state, Command command)
{
    const auto row = static_cast<std::size_t>(command);
    const auto column = static_cast<std::size_t>(state);
    return row < kCommands && column < kStates ? kRules[row][column] : Verdict::Ignore;
}
