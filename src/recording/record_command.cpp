#include "recording/record_command.h"

#include "messages/hook_library.h"
#include "messages/private_messages.h"
#include "recording/recording.h"
#include "recording/recording_seams.h"
#include "settings/app_settings.h"
#include "win/handles.h"

namespace {
void PostRecordStart()
{
    PostMessageA(Settings().g_mainwindow, WM_USER_RECORDSTART_MSG, 0, 0);
}

void ShowRegionSelection(bool placement)
{
    if (IRegionSelection* selection = Seams().regionSelection) {
        selection->ShowForSelection();
        if (placement) {
            selection->BeginPlacement();
        }
    }
}
} // namespace

RecordStep RecordCommand()
{
    AppSettings& settings = Settings();
    // A hand-edited mode the program does not know: the user drags the region, rather than Record
    // (and the region window) doing nothing at all.
    if (settings.MouseCaptureMode < kCaptureFixed || settings.MouseCaptureMode > kCaptureWindow) {
        settings.MouseCaptureMode = kCaptureNormal;
    }
    // The display may have changed since the last recording.
    ReadScreenSize(settings);
    switch (settings.MouseCaptureMode) {
    case kCaptureFixed:
        if (settings.fixedcapture == 1) {
            // Edges past the monitors are pulled in: the rectangle shrinks, it is not moved, unless
            // its monitor is gone.
            ScreenRect& fixed = settings.g_fixedrect;
            fixed = BringOntoMonitors(ScreenRect{settings.captureleft, settings.capturetop,
                                                 settings.captureleft + settings.capturewidth - 1,
                                                 settings.capturetop + settings.captureheight - 1},
                                      settings.g_monitors);
            if (IRegionSelection* selection = Seams().regionSelection) {
                selection->SetCurrentRectangle(RECT{fixed.left, fixed.top, fixed.right, fixed.bottom});
            }
            ScreenRect capture = fixed;
            Normalise(capture);
            settings.g_capturerect = capture;
            PostRecordStart();
            return RecordStep::Starting;
        }
        settings.g_fixedrect = ScreenRect{0, 0, settings.capturewidth - 1, settings.captureheight - 1};
        ShowRegionSelection(true);
        return RecordStep::Selecting;
    case kCaptureFullScreen: {
        // The monitor the pointer is on.
        POINT cursor{};
        GetCursorPos(&cursor);
        settings.g_capturerect = settings.g_monitors[MonitorForPoint(settings.g_monitors, cursor.x, cursor.y)];
        PostRecordStart();
        return RecordStep::Starting;
    }
    default:
        ShowRegionSelection(false);
        return RecordStep::Selecting;
    }
}

KernelHandle OnRecordStart(bool held)
{
    AppSettings& settings = Settings();
    if (settings.minimizeOnStart == 1) {
        PostMessageA(settings.g_mainwindow, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    }
    ReadScreenSize(settings);
    settings.g_panarea = settings.g_monitors[MonitorForRect(settings.g_monitors, settings.g_capturerect)];
    settings.g_regiongone = 0;
    settings.g_windowheldms = 0;
    if (settings.MouseCaptureMode != kCaptureWindow) {
        settings.g_capturewindow = nullptr;
    }
    InstallMouseHook(settings.g_mainwindow, WM_USER_SAVECURSOR_MSG);
    ReportMouseClicks(settings.g_showclicks != 0 ? kMouseClickMessage : 0);
    settings.g_isrecording = 1;
    HoldRecordingStart(held);
    KernelHandle thread(CreateThread(nullptr, 0, &RecordingThread, nullptr, 0, nullptr));
    if (!thread) {
        settings.g_isrecording = 0;
        UninstallMouseHook();
        return thread;
    }
    SetThreadPriority(thread.get(), settings.threadPriority);
    return thread;
}

void OnDisplayChange(bool recording)
{
    AppSettings& settings = Settings();
    ReadScreenSize(settings);
    // Frames keep their size: a recording whose pixels partly left the display ends and is kept.
    // A followed window goes wherever it is shown.
    const ScreenRect& recorded = settings.autopan != 0 ? settings.g_panarea : settings.g_capturerect;
    if (recording && !settings.g_capturewindow && !LiesOnMonitors(recorded, settings.g_monitors)) {
        settings.g_regiongone = 1;
    }
}
