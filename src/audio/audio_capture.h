#pragma once
// Sound from the wave input device into the temporary WAV file of a recording. The recording
// thread starts and stops the device; filled buffers come back to the main window as MM_WIM_DATA
// and are written there.
#include <windows.h>
#include <mmsystem.h>

#include <cstddef>

// Recording thread: builds g_recordformat, picks g_tempwavfile and opens the WAV writer; says so
// in a message when the file cannot be made. Returns 1.
int StartAudioRecording();

// Recording thread: opens the device AudioDeviceID (format copied into g_recordformat when given)
// with notifications to g_mainwindow, queues the buffers and starts input. 1 on success.
int OpenWaveInput(const WAVEFORMATEX* format);

// Queues one more buffer; returns the number queued before it.
int AddWaveBuffer();

// Main thread, on MM_WIM_DATA: writes a returned buffer unless paused and queues it again while
// recording; otherwise frees it.
void OnWaveInData(WAVEHDR* header);

// Appends to the WAV file; a failed write ends the sound of this recording, and SoundFileFailed
// then says so until the next recording starts.
void WriteAudioData(const void* data, std::size_t length);
bool SoundFileFailed();

// Resets, stops and closes the device, leaving it time to return its buffers.
MMRESULT StopWaveInput();

// Completes and closes the WAV file.
void ReleaseWaveFile();

// Buffers handed to the device and not yet returned and freed.
int QueuedWaveBuffers();
