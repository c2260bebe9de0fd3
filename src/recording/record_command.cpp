#include "recording/record_command.h"

#include "messages/hook_library.h"
#include "messages/private_messages.h"
#include "recording/recording.h"
#include "recording/recording_seams.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/handles.h"

namespace {
void EnableButton(int id, bool enable)
{
    if (HWND button = GetDlgItem(Settings().g_mainwindow, id)) {
        EnableWindow(button, enable ? TRUE : FALSE);
    }
}

void ShowRecordingButtons()
{
    EnableButton(IDC_RECORD, false);
    EnableButton(IDC_PAUSE, true);
    EnableButton(IDC_STOP, true);
}

void PostRecordStart()
{
    PostMessageA(Settings().g_mainwindow, WM_USER_RECORDSTART_MSG, 0, 0);
}

// Edges past the screen are pulled in one by one: the rectangle shrinks, it is not moved.
void ClipToScreen(ScreenRect& rect, int screenWidth, int screenHeight)
{
    if (rect.top < 0) {
        rect.top = 0;
    }
    if (rect.left < 0) {
        rect.left = 0;
    }
    if (rect.right > screenWidth - 1) {
        rect.right = screenWidth - 1;
    }
    if (rect.bottom > screenHeight - 1) {
        rect.bottom = screenHeight - 1;
    }
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
    if (settings.g_isrecording == 1 && settings.g_paused == 0) {
        return RecordStep::Refused;
    }
    if (settings.g_paused.exchange(0) == 1) {
        ShowRecordingButtons();
        SetWindowTextA(settings.g_mainwindow, "Framelark");
        return RecordStep::Resumed;
    }
    // A hand-edited mode the program does not know: the user drags the region, rather than Record
    // (and the region window) doing nothing at all.
    if (settings.MouseCaptureMode < kCaptureFixed || settings.MouseCaptureMode > kCaptureFullScreen) {
        settings.MouseCaptureMode = kCaptureNormal;
    }
    switch (settings.MouseCaptureMode) {
    case kCaptureFixed:
        if (settings.fixedcapture == 1) {
            ScreenRect& fixed = settings.g_fixedrect;
            fixed = ScreenRect{settings.captureleft, settings.capturetop, settings.captureleft + settings.capturewidth - 1,
                               settings.capturetop + settings.captureheight - 1};
            ClipToScreen(fixed, settings.g_screenwidth, settings.g_screenheight);
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
    case kCaptureFullScreen:
        settings.g_capturerect = ScreenRect{0, 0, settings.g_screenwidth - 1, settings.g_screenheight - 1};
        PostRecordStart();
        return RecordStep::Starting;
    default:
        ShowRegionSelection(false);
        return RecordStep::Selecting;
    }
}

KernelHandle OnRecordStart()
{
    AppSettings& settings = Settings();
    if (settings.minimizeOnStart == 1) {
        PostMessageA(settings.g_mainwindow, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    }
    ReadScreenSize(settings);
    FitIntoScreen(settings.g_fixedrect, settings.g_screenwidth, settings.g_screenheight);
    InstallMouseHook(settings.g_mainwindow, WM_USER_SAVECURSOR_MSG);
    settings.g_isrecording = 1;
    settings.g_endkey = 0;
    settings.g_startkeyarmed = 1;
    KernelHandle thread(CreateThread(nullptr, 0, &RecordingThread, nullptr, 0, nullptr));
    if (!thread) {
        settings.g_isrecording = 0;
        UninstallMouseHook();
        return thread;
    }
    ShowRecordingButtons();
    SetThreadPriority(thread.get(), settings.threadPriority);
    return thread;
}
