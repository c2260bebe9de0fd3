#include "recording/recording_journal.h"

std::string JournalPathFor(const std::string& moviePath)
{
    return moviePath + kJournalSuffix;
}

bool CRecordingJournal::Open(const std::string& moviePath, const JournalStream& stream)
{
    Discard();
    m_failed = false;
    m_path = JournalPathFor(moviePath);
    // Shared for deleting, so that the file is gone before the handle closes (see Discard).
    m_file = OwnFile(CreateFileA(m_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
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

void CRecordingJournal::Discard()
{
    if (!m_file) {
        return;
    }
    // Deleted while still held: between a close and a delete another instance could take it.
    DeleteFileA(m_path.c_str());
    m_file.reset();
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
