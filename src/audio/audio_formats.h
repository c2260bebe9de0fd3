#pragma once
// The PCM format sound is recorded in and the compressed format it is converted to when sound and
// movie are merged, chosen with the wave input device and the audio compression manager.
//
// Each operation acts on one set of format values: by default the settings record's, or the
// working copy of a dialog that edits them.
#include <windows.h>
#include <mmsystem.h>

#include "win/global_block.h"

#include <cstdint>
#include <string>

struct AudioFormatSet {
    const std::int32_t& deviceId;     // AudioDeviceID; -1 is the system's default input device
    std::int32_t& waveinselected;     // capability bit of the recording format
    std::int32_t& bitsPerSample;      // audio_bits_per_sample
    std::int32_t& channels;           // audio_num_channels
    std::int32_t& samplesPerSecond;   // audio_samples_per_seconds
    WAVEFORMATEX& recordFormat;       // g_recordformat
    GlobalBlock& compressedFormat;    // g_audioformat
    std::uint32_t& compressedSize;    // cbwfx
    std::int32_t& compression;        // bAudioCompression
    std::uint32_t minimumBlockSize;   // a working copy's block holds at least the settings' format
    HWND messageOwner;
};

// The settings record's set.
AudioFormatSet SettingsAudioFormats();

// The capability mask of a wave input device (-1: the default device); 0 when it cannot be read.
std::uint32_t DeviceFormatMask(std::int32_t deviceId);

// recordFormat = PCM from bitsPerSample, channels and samplesPerSecond.
void BuildRecordFormat(const AudioFormatSet& set = SettingsAudioFormats());

// The device's most preferred recording format (22.05 kHz mono 8-bit when it reports none).
void ChooseRecordingFormatFromDevice(const AudioFormatSet& set = SettingsAudioFormats());

// Keeps waveinselected when the device supports it, otherwise chooses from the device.
void CheckRecordingFormat(const AudioFormatSet& set = SettingsAudioFormats());

// Allocates the compressed-format block, of the compression manager's largest format size, when
// there is none; says so in a message when that fails. True when a usable block exists.
bool AllocAudioFormatBuffer(const AudioFormatSet& set = SettingsAudioFormats());

// Suggests MPEG Layer-3 (22.05 kHz stereo only), then MS ADPCM, then PCM; compression 0 when the
// compression manager suggests none of them.
void SuggestCompressedFormat(const AudioFormatSet& set = SettingsAudioFormats());

// Keeps the stored compressed format when it can still be made from the recording format,
// otherwise suggests a new one.
void ValidateCompressedFormat(const AudioFormatSet& set = SettingsAudioFormats());

// The detail text of a format ("22050 Hz, 16 Bit, Stereo      88200 Bytes/sec") and, when asked
// for, its name from the compression manager; false, with nothing filled, when it has no name for
// the format's tag.
bool DescribeAudioFormat(const WAVEFORMATEX& format, std::string& detail, std::string* name = nullptr);

// Start-up without stored audio settings: the recording format from the device, the compressed
// format by suggestion.
void ChooseDefaultAudioFormats();
