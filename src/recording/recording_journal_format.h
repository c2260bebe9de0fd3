#pragma once
// The journal written beside a temporary movie while it records. The movie's header and last
// index are written only when the movie is closed, so after a crash the journal is what tells the
// stream's format and rate, each frame's place on the time line, and the sound files.
// Every record carries a check, so that a record cut short by a crash ends the journal cleanly.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct JournalStream {
    std::uint32_t rate = 0;
    std::uint32_t scale = 1;
    std::uint32_t handler = 0;         // the compressor's four-character code
    std::vector<std::uint8_t> format;  // the stored stream format: bitmap header and colour table
};

struct JournalFrame {
    std::uint32_t position = 0; // time-line slot
    std::uint32_t size = 0;     // bytes stored for it
    bool key = false;
};

struct RecordingJournal {
    JournalStream stream;
    // Empty without sound; the microphone's (or the mix), then the computer's on a track of its own.
    std::vector<std::string> soundPaths;
    std::vector<JournalFrame> frames;
};

std::vector<std::uint8_t> EncodeJournalStream(const JournalStream& stream);
std::vector<std::uint8_t> EncodeJournalFrame(const JournalFrame& frame);
std::vector<std::uint8_t> EncodeJournalSound(const std::string& path);

// Empty when the stream record is missing or damaged; otherwise everything up to the first
// damaged or incomplete record.
std::optional<RecordingJournal> ParseJournal(std::span<const std::uint8_t> bytes);
