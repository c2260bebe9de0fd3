#pragma once
// The program's one main window: the skinned panel with its buttons, every user command, the
// recording state's buttons and title, and the private messages of the recording thread and hooks.
#include "app/convert_progress_dialog.h"
#include "app/main_commands.h"
#include "app/recording_completion.h"
#include "app/system_tray.h"
#include "controls/image_button.h"
#include "recording/recording_audio.h"
#include "recording/recording_end.h"
#include "region/flashing_frame.h"
#include "region/region_window.h"
#include "win/handles.h"
#include "win/window_base.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

// Reading and writing the settings files; the program connects them at start, tests may leave them empty.
struct SettingsFileSeam {
    void (*load)() = nullptr;
    void (*saveOrForget)() = nullptr;
};
SettingsFileSeam& SettingsFiles();

class CMainDialog : public CDialog, public IMainCommands {
public:
    CMainDialog();
    ~CMainDialog() override;

    void BringToFront();

    void RecordCommand() override;
    void OnPause() override;
    void OnRecordInterrupted(int endKey) override;
    AppState State() const override { return m_state; }

    void OnStop();
    // At the first tick, offers back the recordings that a crashed run left behind.
    void OfferLeftRecordingsAtStart() { m_offerLeftRecordings = true; }
    // The last movie saved in this run; Play opens it.
    const std::string& currentMovie() const { return m_completion.CurrentMovie(); }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Sizes the face, its shape and its buttons for the monitor's dpi.
    void LayOut(int dpi);
    void SetUpButtons();
    void SetState(AppState state);
    bool Allows(Command command) const { return Decide(m_state, command) == Verdict::Run; }
    // Runs a modal dialog opened from idle; nothing else starts meanwhile.
    template <typename Dialog> void RunModal(Dialog&& dialog);
    void EnableMenuEntries(HMENU menu) const;
    void OnRegionChosen();
    void OnRecordingEnded(RecordingStop stop, std::uint32_t framesWritten);
    void AfterCompletion();
    void OnEndSession();
    void CloseCheck(WORD id);
    void OnPaint();
    void OnFirstTick(UINT_PTR timer);
    void OnContextMenu(LPARAM screenPoint);
    void ShowOptionMenu();
    void OpenOptions(WORD id);
    void RunOptionsDialog(WORD id);
    void PlayVideoFile();
    void ShowAbout();
    void Shutdown();
    void EnableButton(int id, bool enable) const;
    INT_PTR Result(LRESULT value);

    HICON m_icon = nullptr;
    int m_skinBitmap;
    bool m_firstTickPending = true;
    bool m_offerLeftRecordings = false;
    AppState m_state = AppState::Idle;
    KernelHandle m_recordingThread;
    // Taken when the recording starts: the options may change before it is saved.
    bool m_recordingWithSound = false;
    bool m_sessionEnding = false;
    GdiBitmap m_skin;
    std::array<CImageButton, 12> m_buttons;
    CSystemTray m_tray;
    CConvertProgressDialog m_progress;
    CRecordingCompletion m_completion{m_progress};
    std::unique_ptr<CRegionWindow> m_regionWindow;
    std::unique_ptr<CFlashingFrame> m_flashingFrame;
    CAudioCapture m_audio;
};
