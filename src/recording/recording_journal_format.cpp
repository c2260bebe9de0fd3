#include "recording/recording_journal_format.h"

#include "common/fourcc.h"
#include "common/little_endian.h"

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

std::vector<std::uint8_t> Record(std::uint32_t tag, std::span<const std::uint8_t> payload)
{
    std::vector<std::uint8_t> out;
    out.reserve(payload.size() + 12);
    AppendLittle32(out, tag);
    AppendLittle32(out, static_cast<std::uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    AppendLittle32(out, Check(out));
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
    const std::uint32_t length = ReadLittle32(bytes.data() + 4);
    if (length > kLongestPayload || bytes.size() - 12 < length) {
        return std::nullopt;
    }
    if (Check(bytes.first(8 + length)) != ReadLittle32(bytes.data() + 8 + length)) {
        return std::nullopt;
    }
    ParsedRecord record{ReadLittle32(bytes.data()), bytes.subspan(8, length)};
    bytes = bytes.subspan(12 + length);
    return record;
}
} // namespace

std::vector<std::uint8_t> EncodeJournalStream(const JournalStream& stream)
{
    std::vector<std::uint8_t> payload;
    AppendLittle32(payload, stream.rate);
    AppendLittle32(payload, stream.scale);
    AppendLittle32(payload, stream.handler);
    payload.insert(payload.end(), stream.format.begin(), stream.format.end());
    return Record(kStreamTag, payload);
}

std::vector<std::uint8_t> EncodeJournalFrame(const JournalFrame& frame)
{
    std::vector<std::uint8_t> payload;
    AppendLittle32(payload, frame.position);
    AppendLittle32(payload, frame.size);
    AppendLittle32(payload, frame.key ? kKeyFlag : 0);
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
    journal.stream.rate = ReadLittle32(first->payload.data());
    journal.stream.scale = ReadLittle32(first->payload.data() + 4);
    journal.stream.handler = ReadLittle32(first->payload.data() + 8);
    journal.stream.format.assign(first->payload.begin() + kStreamFixedBytes, first->payload.end());
    if (journal.stream.rate == 0 || journal.stream.scale == 0) {
        return std::nullopt;
    }
    while (const auto record = NextRecord(bytes)) {
        if (record->tag == kFrameTag && record->payload.size() == kFrameBytes) {
            journal.frames.push_back({ReadLittle32(record->payload.data()), ReadLittle32(record->payload.data() + 4),
                                      (ReadLittle32(record->payload.data() + 8) & kKeyFlag) != 0});
        } else if (record->tag == kSoundTag) {
            journal.soundPaths.emplace_back(reinterpret_cast<const char*>(record->payload.data()), record->payload.size());
        } else {
            break;
        }
    }
    return journal;
}
