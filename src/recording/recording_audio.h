#pragma once
// The recording thread's sound: the temporary WAV file and the wave input device, behind the
// audio seam.
#include "recording/recording_seams.h"

class CAudioCapture : public IAudioCapture {
public:
    void Start() override;
    void Stop() override;
    bool Failed() const override;
};
