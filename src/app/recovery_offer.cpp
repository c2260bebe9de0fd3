#include "app/recovery_offer.h"

#include "app/recording_completion.h"
#include "recording/movie_recovery.h"
#include "win/directories.h"
#include "win/message_box.h"

namespace {
std::string Question(std::size_t count)
{
    if (count == 1) {
        return "Framelark ended while a recording was running.\n\n"
               "Recover what was recorded? No deletes it.";
    }
    return "Framelark ended while recordings were running (" + std::to_string(count) +
           ").\n\nRecover what was recorded? No deletes them.";
}
} // namespace

void OfferLeftRecordings(HWND mainWindow, CRecordingCompletion& completion)
{
    std::vector<LeftRecording> left = FindLeftRecordings(GetTempDirectory());
    if (left.empty()) {
        return;
    }
    if (ShowNote(mainWindow, Question(left.size()), MB_YESNO | MB_ICONQUESTION) != IDYES) {
        for (LeftRecording& recording : left) {
            DeleteLeftRecording(recording);
        }
        return;
    }
    std::vector<RecordingFiles> recovered;
    std::size_t empty = 0;
    std::size_t failed = 0;
    for (LeftRecording& recording : left) {
        RecoveredRecording result;
        switch (RecoverRecording(recording, result)) {
        case RecoveryOutcome::Recovered:
            recovered.push_back({result.movie, result.sound, !result.sound.empty(), false});
            break;
        case RecoveryOutcome::NothingLeft:
            ++empty;
            break;
        case RecoveryOutcome::Failed:
            ++failed;
            break;
        }
    }
    if (empty > 0) {
        ShowNote(mainWindow, empty == 1 ? "No picture of the interrupted recording had reached the disk: there was "
                                          "nothing to recover."
                                        : "Some interrupted recordings had no picture on the disk: there was "
                                          "nothing to recover of them.",
                 MB_OK | MB_ICONINFORMATION);
    }
    if (failed > 0) {
        ShowNote(mainWindow,
                 "A recording could not be recovered now: the temporary folder may be full or in use.\n"
                 "Its files are kept; Framelark offers it again at its next start.",
                 MB_OK | MB_ICONEXCLAMATION);
    }
    completion.CompleteRecovered(std::move(recovered));
}
