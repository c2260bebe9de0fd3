#pragma once
// The system's recording volume settings, opened for the Audio Options' Volume button.

enum class VolumeControl { kOpened, kNone, kFailed };

// The old volume control where it exists, the Sound control panel at its Recording tab on later
// Windows, and under Wine the desktop's own sound mixer.
VolumeControl OpenRecordingVolumeControl();
