#include "app/recovery_offer.h"

#include "app/completion_files.h"
#include "messages/private_messages.h"
#include "win/background_work.h"
#include "win/directories.h"
#include "win/message_box.h"

#include <memory>

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

void DeleteAllFound(const std::string& pattern, const std::string& folder)
{
    for (const std::string& name : FilesMatching(folder, pattern)) {
        DeleteLater(folder + "\\" + name);
    }
}
} // namespace

void CleanUnfinishedFiles(const std::string& folder)
{
    // A rebuild starts again from the movie and its journal, which it replaces only when whole; a
    // merge starts again from the recording, which keeps its journal until it is saved.
    DeleteAllFound("~temp*.avi.rebuilt", folder);
    DeleteAllFound(std::string("~temp*.avi") + kReplacedSuffix, folder);
    DeleteAllFound("tempaudiovideomerge.avi*", folder);
}

std::vector<LeftRecording> AskAboutLeftRecordings(HWND mainWindow)
{
    std::vector<LeftRecording> left = FindLeftRecordings(GetTempDirectory());
    if (left.empty() || ShowNote(mainWindow, Question(left.size()), MB_YESNO | MB_ICONQUESTION) == IDYES) {
        return left;
    }
    for (LeftRecording& recording : left) {
        // Held until deleted, so that nothing offers or takes the files meanwhile.
        BackgroundWork().Post([recording = std::make_shared<LeftRecording>(std::move(recording))] {
            DeleteLeftRecording(*recording);
        });
    }
    return {};
}

CRecoveryRun::~CRecoveryRun()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CRecoveryRun::Start(HWND mainWindow, std::vector<LeftRecording> left, CConvertProgressDialog& progress)
{
    m_recovered.clear();
    m_empty = 0;
    m_failed = 0;
    progress.SetRange(0, 100);
    progress.SetPosition(0);
    progress.Show();
    m_thread = std::thread([this, mainWindow, left = std::move(left)]() mutable {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
        for (std::size_t i = 0; i < left.size(); ++i) {
            RecoveredRecording result;
            try {
                switch (RecoverRecording(left[i], result)) {
                case RecoveryOutcome::Recovered:
                    m_recovered.push_back(
                        {result.movie, result.sound, !result.sound.empty(), false, {}, result.computerSound});
                    break;
                case RecoveryOutcome::NothingLeft:
                    ++m_empty;
                    break;
                case RecoveryOutcome::Failed:
                    ++m_failed;
                    break;
                }
            } catch (...) {
                ++m_failed; // the files stay for the next start
            }
            PostMessageA(mainWindow, MergeProgressMessage, static_cast<WPARAM>((i + 1) * 100 / left.size()), 0);
        }
        left.clear(); // the holds go before the main window hears of it
        PostMessageA(mainWindow, kRecoveryDoneMessage, 0, 0);
    });
}

std::vector<RecordingFiles> CRecoveryRun::Finish(HWND mainWindow, CConvertProgressDialog& progress)
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
    progress.Hide();
    if (m_empty > 0) {
        ShowNote(mainWindow, m_empty == 1 ? "No picture of the interrupted recording had reached the disk: there was "
                                            "nothing to recover."
                                          : "Some interrupted recordings had no picture on the disk: there was "
                                            "nothing to recover of them.",
                 MB_OK | MB_ICONINFORMATION);
    }
    if (m_failed > 0) {
        ShowNote(mainWindow,
                 "A recording could not be recovered now: the temporary folder may be full or in use.\n"
                 "Its files are kept; Framelark offers it again at its next start.",
                 MB_OK | MB_ICONEXCLAMATION);
    }
    return std::move(m_recovered);
}
