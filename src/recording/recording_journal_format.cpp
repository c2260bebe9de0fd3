#include "recording/recording_journal_format.h"

#include "common/fourcc.h"

namespace {
constexpr std::uint32_t kStreamTag = MakeFourCC('F', 'L', 'J', 'S');
constexpr std::uint32_t kFrameTag = MakeFourCC('F', 'L', 'J', 'F');
constexpr std::uint32_t kSoundTag = MakeFourCC('F', 'L', 'J', 'W');
constexpr std::uint32_t kKeyFlag = 1;
constexpr std::size_t kStreamFixedBytes = 12;
constexpr std::size_t kFrameBytes = 12;
// A bitmap header with a full colour table, or a long path, fits with room to spare.
constexpr std::uint32_t kLongestPayload = 64 * 1024;
constexpr std::size_t kBitmapHeaderBytes = 40;

// FNV-1a: a zero-filled or half-written record does not pass.
std::uint32_t Check(std::span<const std::uint8_t> bytes)
{
    std::uint32_t hash = 2166136261u;
    for (const std::uint8_t b : bytes) {
        hash = (hash ^ b) * 16777619u;
    }
    return hash;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

std::uint32_t GetU32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::vector<std::uint8_t> Record(std::uint32_t tag, std::span<const std::uint8_t> payload)
{
    std::vector<std::uint8_t> out;
    out.reserve(payload.size() + 12);
    PutU32(out, tag);
    PutU32(out, static_cast<std::uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    PutU32(out, Check(out));
    return out;
}

struct ParsedRecord {
    std::uint32_t tag;
    std::span<const std::uint8_t> payload;
};

// The record at the front of bytes, or nothing when it is incomplete or fails its check.
std::optional<ParsedRecord> NextRecord(std::span<const std::uint8_t>& bytes)
{
    if (bytes.size() < 12) {
        return std::nullopt;
    }
    const std::uint32_t length = GetU32(bytes, 4);
    if (length > kLongestPayload || bytes.size() - 12 < length) {
        return std::nullopt;
    }
    if (Check(bytes.first(8 + length)) != GetU32(bytes, 8 + length)) {
        return std::nullopt;
    }
    ParsedRecord record{GetU32(bytes, 0), bytes.subspan(8, length)};
    bytes = bytes.subspan(12 + length);
    return record;
}
} // namespace

std::vector<std::uint8_t> EncodeJournalStream(const JournalStream& stream)
{
    std::vector<std::uint8_t> payload;
    PutU32(payload, stream.rate);
    PutU32(payload, stream.scale);
    PutU32(payload, stream.handler);
    payload.insert(payload.end(), stream.format.begin(), stream.format.end());
    return Record(kStreamTag, payload);
}

std::vector<std::uint8_t> EncodeJournalFrame(const JournalFrame& frame)
{
    std::vector<std::uint8_t> payload;
    PutU32(payload, frame.position);
    PutU32(payload, frame.size);
    PutU32(payload, frame.key ? kKeyFlag : 0);
    return Record(kFrameTag, payload);
}

std::vector<std::uint8_t> EncodeJournalSound(const std::string& path)
{
    return Record(kSoundTag, std::span(reinterpret_cast<const std::uint8_t*>(path.data()), path.size()));
}

std::optional<RecordingJournal> ParseJournal(std::span<const std::uint8_t> bytes)
{
    const auto first = NextRecord(bytes);
    if (!first || first->tag != kStreamTag || first->payload.size() < kStreamFixedBytes + kBitmapHeaderBytes) {
        return std::nullopt;
    }
    RecordingJournal journal;
    journal.stream.rate = GetU32(first->payload, 0);
    journal.stream.scale = GetU32(first->payload, 4);
    journal.stream.handler = GetU32(first->payload, 8);
    journal.stream.format.assign(first->payload.begin() + kStreamFixedBytes, first->payload.end());
    if (journal.stream.rate == 0 || journal.stream.scale == 0) {
        return std::nullopt;
    }
    while (const auto record = NextRecord(bytes)) {
        if (record->tag == kFrameTag && record->payload.size() == kFrameBytes) {
            journal.frames.push_back({GetU32(record->payload, 0), GetU32(record->payload, 4),
                                      (GetU32(record->payload, 8) & kKeyFlag) != 0});
        } else if (record->tag == kSoundTag) {
            journal.soundPath.assign(reinterpret_cast<const char*>(record->payload.data()), record->payload.size());
        } else {
            break;
        }
    }
    return journal;
}
