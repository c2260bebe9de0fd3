#pragma once
// Windows and devices that the recording engine drives but does not own. The main window plugs
// them in at start-up; a seam left empty does nothing, so the engine also runs on its own.
#include <windows.h>

class IFlashingFrame {
public:
    virtual ~IFlashingFrame() = default;
    // The captured region, right = left + width - 1; thin is the style that follows autopan.
    virtual void SetShape(int left, int top, int width, int height, bool thin) = 0;
    virtual void Paint(COLORREF color) = 0;
    virtual void Invert(COLORREF color) = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
};

class IRegionSelection {
public:
    virtual ~IRegionSelection() = default;
    // Shows the selection window maximised and updates it at once.
    virtual void ShowForSelection() = 0;
    // Mode 0 without a fixed corner: a rectangle of the size of g_fixedrect follows the mouse.
    virtual void BeginPlacement() = 0;
    // The fixed-corner rectangle becomes the window's current and new rectangle.
    virtual void SetCurrentRectangle(const RECT& rect) = 0;
};

class IAudioCapture {
public:
    virtual ~IAudioCapture() = default;
    // Creates the temporary sound file and starts the wave input; failures are reported by the
    // audio code itself.
    virtual void Start() = 0;
    virtual void Stop() = 0;
    // True once the sound file of this recording could not take more sound.
    virtual bool Failed() const = 0;
};

struct RecordingSeams {
    IFlashingFrame* flashingFrame = nullptr;
    IRegionSelection* regionSelection = nullptr;
    IAudioCapture* audio = nullptr;
};

RecordingSeams& Seams();
