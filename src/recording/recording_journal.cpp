#include "recording/recording_journal.h"

std::string JournalPathFor(const std::string& moviePath)
{
    return moviePath + kJournalSuffix;
}

void DeleteJournalOf(const std::string& moviePath)
{
    if (!moviePath.empty()) {
        DeleteFileA(JournalPathFor(moviePath).c_str());
    }
}

bool CRecordingJournal::Open(const std::string& moviePath, const JournalStream& stream)
{
    Close();
    m_failed = false;
    m_file = OwnFile(CreateFileA(JournalPathFor(moviePath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    Append(EncodeJournalStream(stream));
    return IsOpen();
}

void CRecordingJournal::AddFrame(const JournalFrame& frame)
{
    Append(EncodeJournalFrame(frame));
}

void CRecordingJournal::AddSound(const std::string& soundPath)
{
    Append(EncodeJournalSound(soundPath));
}

void CRecordingJournal::Append(const std::vector<std::uint8_t>& record)
{
    if (!m_file || m_failed) {
        return;
    }
    DWORD written = 0;
    if (!WriteFile(m_file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr) ||
        written != record.size()) {
        // A half-written record ends the journal when it is read; nothing after it would count.
        m_failed = true;
    }
}
