#pragma once
// Sound from the wave input device into the temporary WAV file of a recording. The recording
// thread starts and stops the device; filled buffers come back to the main window as MM_WIM_DATA
// and are written there.
#include <windows.h>
#include <mmsystem.h>

#include <string>

// Recording thread: builds g_recordformat, picks g_tempwavfile and opens the WAV writer; says so
// in a message when the file cannot be made. Returns 1.
int StartAudioRecording();

// Recording thread: opens the device AudioDeviceID (format copied into g_recordformat when given)
// with notifications to g_mainwindow, queues the buffers and starts input. 1 on success.
int OpenWaveInput(const WAVEFORMATEX* format);

// Queues one more buffer; returns the number queued before it.
int AddWaveBuffer();

// Main thread, on MM_WIM_DATA: writes a returned buffer unless paused and queues it again while
// recording; otherwise (stopped, or the device stopping) frees it.
void OnWaveInData(WAVEHDR* header);

// A write to the WAV file failed: the sound of this recording ended there. Until the next start.
bool SoundFileFailed();
// The device could not be opened: the recording has no sound. Until the next start.
bool SoundDeviceFailed();

// Recording thread: puts the device in its stopping state (no buffer is written or queued again),
// resets it, unprepares every buffer and closes it; the close's result, or the first failure.
MMRESULT StopWaveInput();

// Recording thread, once the device is stopped: with the computer's sound, stops its capture and
// writes the rest of the mix.
void FinishSoundMixing();
// What to tell the user about the sound's sources after the save; empty when all went well.
const std::string& SoundSourcesNote();

// Completes and closes the WAV file once no write can run.
void ReleaseWaveFile();

// Buffers handed to the device and not yet returned and freed.
int QueuedWaveBuffers();
