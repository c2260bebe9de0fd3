#pragma once
// Keeps the journal of the temporary movie being recorded (recording_journal_format.h) beside it,
// held open for the whole recording so that no other instance takes the recording for one left
// behind by a crash. Every record goes to the file with one write, as soon as it is known.
#include <windows.h>

#include "recording/recording_journal_format.h"
#include "win/handles.h"

#include <string>

// The journal's name beside a temporary movie: the movie's name followed by this.
inline constexpr char kJournalSuffix[] = ".journal";
std::string JournalPathFor(const std::string& moviePath);
void DeleteJournalOf(const std::string& moviePath);

class CRecordingJournal {
public:
    // A journal that cannot be created leaves the recording without a way back after a crash,
    // nothing more: every later call then does nothing.
    bool Open(const std::string& moviePath, const JournalStream& stream);
    void AddFrame(const JournalFrame& frame);
    void AddSound(const std::string& soundPath);
    // The movie was closed: the journal stays beside it until the recording is saved or thrown
    // away, so that a program ended before then offers it again at its next start.
    void Close() { m_file.reset(); }

    bool IsOpen() const { return static_cast<bool>(m_file); }

private:
    void Append(const std::vector<std::uint8_t>& record);

    KernelHandle m_file;
    bool m_failed = false;
};
