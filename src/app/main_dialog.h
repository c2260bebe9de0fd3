#pragma once
// The program's one main window. It owns the program's state: every input (buttons, menus,
// hotkeys, the tray, the region window, the threads' messages, the session's end) becomes a
// command that the state table decides, and the face, menus and title follow the state.
#include "app/app_services.h"
#include "app/main_commands.h"
#include "app/main_face.h"
#include "app/recording_session.h"
#include "app/system_tray.h"
#include "win/window_base.h"

#include <string>

class CMainDialog : public CDialog, public IMainCommands, private IProgramState {
public:
    CMainDialog();
    ~CMainDialog() override;

    void BringToFront() override;
    void Run(Command command) override;
    AppState State() const override { return m_state; }

    // At the first tick, offers back the recordings that a crashed run left behind.
    void OfferLeftRecordingsAtStart() { m_offerLeftRecordings = true; }
    // The last movie saved in this run; Play opens it.
    const std::string& currentMovie() const { return m_session.CurrentMovie(); }
    CRecordingCompletion& completion() { return m_session.completion(); }
    // Changes of state that the table does not allow, counted over the process's life: a fault.
    static int UnexpectedMoves();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void SetState(AppState state) override;
    HWND Window() const override { return hwnd(); }
    bool Allows(Command command) const { return Decide(m_state, command) == Verdict::Run; }
    // Runs a modal dialog opened from idle; nothing else starts meanwhile.
    template <typename Dialog> void RunModal(Dialog&& dialog);
    void OnTimer(UINT_PTR timer);
    void ShowOptionMenu();
    void Shutdown();
    INT_PTR Result(LRESULT value);

    AppState m_state = AppState::Launching;
    bool m_offerLeftRecordings = false;
    CMainFace m_face;
    CSystemTray m_tray;
    CAppServices m_services;
    CRecordingSession m_session{*this};
};
