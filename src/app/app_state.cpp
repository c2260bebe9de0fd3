#include "app/app_state.h"

#include <array>
#include <initializer_list>

namespace {
constexpr Verdict R = Verdict::Run;
constexpr Verdict I = Verdict::Ignore;
constexpr Verdict N = Verdict::RefuseWithNote;

// Rows: commands in their declared order; columns: states in theirs. During the countdown the
// recording thread prepares the movie: Stop and Cancel there throw it away, nothing being recorded.
//                      Launch Idle Sel Start Rec Paus End Disc Compl Nam Sav Conv Recov Ask Dlg Sess Count
constexpr std::array<std::array<Verdict, kAppStates>, kCommands> kRules = {{
    /* Record          */ {I, R, I, I, I, R, I, I, I, I, I, I, I, I, I, I, I},
    /* Pause           */ {I, I, I, I, R, I, I, I, I, I, I, I, I, I, I, I, I},
    /* Stop            */ {I, I, I, I, R, R, I, I, I, I, I, I, I, I, I, I, R},
    /* Cancel          */ {I, I, I, I, R, R, I, I, I, I, I, I, I, I, I, I, R},
    /* Options         */ {I, R, I, I, I, I, I, I, I, I, I, I, I, I, I, I, I},
    /* About           */ {I, R, I, I, I, I, I, I, I, I, I, I, I, I, I, I, I},
    /* PlayFile        */ {I, R, I, I, I, I, I, I, I, I, I, I, I, I, I, I, I},
    /* Play            */ {I, R, I, I, R, R, R, R, I, I, I, I, I, I, I, I, I},
    // A close in Ending would end the program under the thread that is finishing the movie.
    /* Close           */ {I, R, R, I, N, N, I, I, I, I, I, I, I, I, I, I, I},
    /* RegionChosen    */ {I, I, R, R, I, I, I, I, I, I, I, I, I, I, I, I, I},
    /* RegionAbandoned */ {I, I, R, I, I, I, I, I, I, I, I, I, I, I, I, I, I},
    /* RecordingEnded  */ {I, I, I, I, R, R, R, R, I, I, I, I, I, I, I, I, R},
    /* FirstTick       */ {R, I, I, I, I, I, I, I, I, I, I, I, I, I, I, I, I},
    /* NextSave        */ {I, I, I, I, I, I, I, I, R, I, I, I, I, I, I, I, I},
    /* SaveDone        */ {I, I, I, I, I, I, I, I, I, I, R, I, I, I, I, I, I},
    /* RecoveryDone    */ {I, I, I, I, I, I, I, I, I, I, I, I, R, I, I, I, I},
    /* ConvertDone     */ {I, I, I, I, I, I, I, I, I, I, I, R, I, I, I, I, I},
    /* EndSession      */ {R, R, R, R, R, R, R, R, R, R, R, R, R, R, R, I, R},
    /* CountdownEnded  */ {I, I, I, I, I, I, I, I, I, I, I, I, I, I, I, I, R},
}};

using StateSet = std::uint32_t;

constexpr StateSet Set(std::initializer_list<AppState> states)
{
    StateSet set = 0;
    for (const AppState state : states) {
        set |= StateSet{1} << static_cast<unsigned>(state);
    }
    return set;
}

using S = AppState;
// Where each state may lead, besides the end of the session, which any state may meet.
constexpr std::array<StateSet, kAppStates> kMoves = {
    /* Launching     */ Set({S::Idle, S::Asking}),
    /* Idle          */ Set({S::Selecting, S::Starting, S::InDialog}),
    /* Selecting     */ Set({S::Idle, S::Recording, S::CountingDown}),
    /* Starting      */ Set({S::Idle, S::Recording, S::CountingDown}),
    /* Recording     */ Set({S::Paused, S::Ending, S::Discarding}),
    /* Paused        */ Set({S::Recording, S::Ending, S::Discarding}),
    /* Ending        */ Set({S::Completing, S::Asking}),
    /* Discarding    */ Set({S::Idle}),
    /* Completing    */ Set({S::Naming}),
    /* Naming        */ Set({S::Saving, S::Converting, S::Completing, S::Idle}),
    /* Saving        */ Set({S::Naming, S::Completing, S::Idle}),
    /* Converting    */ Set({S::Naming}),
    /* Recovering    */ Set({S::Completing, S::Idle}),
    /* Asking        */ Set({S::Idle, S::Starting, S::Recovering}),
    /* InDialog      */ Set({S::Idle}),
    // Only a closed recording leads here: the program is idle after it.
    /* SessionEnding */ Set({S::Idle}),
    /* CountingDown  */ Set({S::Recording, S::Ending, S::Discarding}),
};
} // namespace

Verdict Decide(AppState state, Command command)
{
    const auto row = static_cast<std::size_t>(command);
    const auto column = static_cast<std::size_t>(state);
    return row < kRules.size() && column < kAppStates ? kRules[row][column] : Verdict::Ignore;
}

bool MayMove(AppState from, AppState to)
{
    const auto index = static_cast<std::size_t>(from);
    if (index >= kMoves.size() || static_cast<int>(to) >= kAppStates) {
        return false;
    }
    return from == to || to == AppState::SessionEnding || (kMoves[index] & Set({to})) != 0;
}
