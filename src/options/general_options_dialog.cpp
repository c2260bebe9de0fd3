#include "options/general_options_dialog.h"

#include "messages/private_messages.h"
#include "options/ffmpeg_file_choice.h"
#include "options/fixed_region_rules.h"
#include "region/countdown_window.h"
#include "region/region_window.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"

#include <algorithm>
#include <optional>

CGeneralOptionsDialog::CGeneralOptionsDialog(CRegionWindow* regionWindow)
    : CControlsDialog(IDD_GENERALOPTIONS), m_regionWindow(regionWindow)
{
}

void CGeneralOptionsDialog::Run(HWND owner, CRegionWindow* regionWindow)
{
    if (regionWindow) {
        regionWindow->SetDialogRequest(false, nullptr);
    }
    CGeneralOptionsDialog dialog(regionWindow);
    dialog.DoModal(owner);
    if (regionWindow) {
        regionWindow->SetDialogRequest(false, nullptr);
    }
}

BOOL CGeneralOptionsDialog::OnInitDialog()
{
    Bind(m_normal, IDC_REGION_NORMAL);
    Bind(m_fixed, IDC_REGION_FIXED);
    Bind(m_fullScreen, IDC_REGION_FULLSCREEN);
    Bind(m_window, IDC_REGION_WINDOW);
    Bind(m_selectRegion, IDC_SELECT_FIXED_REGION);
    Bind(m_fixedCorner, IDC_FIXED_CORNER);
    Bind(m_left, IDC_FIXED_LEFT);
    Bind(m_top, IDC_FIXED_TOP);
    Bind(m_width, IDC_FIXED_WIDTH);
    Bind(m_height, IDC_FIXED_HEIGHT);
    Bind(m_minimize, IDC_MINIMIZE_ON_START);
    Bind(m_hideFlashing, IDC_HIDE_FLASHING);
    Bind(m_play, IDC_PLAY_AFTER_RECORDING);
    Bind(m_saveSettings, IDC_SAVE_ON_EXIT);
    Bind(m_ffmpegPath, IDC_FFMPEG_PATH);
    Bind(m_ffmpegBrowse, IDC_FFMPEG_BROWSE);
    Bind(m_countdown, IDC_COUNTDOWN);

    const AppSettings& settings = Settings();
    m_left.SetNumber(settings.captureleft);
    m_top.SetNumber(settings.capturetop);
    m_width.SetNumber(settings.capturewidth);
    m_height.SetNumber(settings.captureheight);
    m_fixedCorner.SetChecked(settings.fixedcapture != 0);
    m_mode = settings.MouseCaptureMode;
    SetMode(m_mode);
    m_minimize.SetChecked(settings.minimizeOnStart != 0);
    m_hideFlashing.SetChecked(settings.flashingRect == 0);
    m_play.SetChecked(settings.launchPlayer != 0);
    m_saveSettings.SetChecked(settings.savesettings != 0);
    m_ffmpegPath.SetText(settings.ffmpegPath);
    m_countdown.SetNumber(settings.countdownSeconds);

    m_normal.onChange = [this] { SetMode(kCaptureNormal); };
    m_fixed.onChange = [this] { SetMode(kCaptureFixed); };
    m_fullScreen.onChange = [this] { SetMode(kCaptureFullScreen); };
    m_window.onChange = [this] { SetMode(kCaptureWindow); };
    m_fixedCorner.onChange = [this] { EnableCorner(); };
    m_selectRegion.onChange = [this] { SelectFixedRegion(); };
    m_ffmpegBrowse.onChange = [this] {
        if (const auto chosen = ChooseFfmpegFile(hwnd(), m_ffmpegPath.Text())) {
            m_ffmpegPath.SetText(*chosen);
        }
    };
    return TRUE;
}

// An unknown mode checks no radio and leaves everything enabled.
void CGeneralOptionsDialog::SetMode(int mode)
{
    m_mode = mode;
    m_normal.SetChecked(mode == kCaptureNormal);
    m_fixed.SetChecked(mode == kCaptureFixed);
    m_fullScreen.SetChecked(mode == kCaptureFullScreen);
    m_window.SetChecked(mode == kCaptureWindow);
    const bool fixedControls = mode != kCaptureNormal && mode != kCaptureFullScreen && mode != kCaptureWindow;
    m_selectRegion.Enable(fixedControls);
    m_fixedCorner.Enable(fixedControls);
    m_width.Enable(fixedControls);
    m_height.Enable(fixedControls);
    if (mode == kCaptureFixed) {
        EnableCorner();
    } else {
        m_left.Enable(fixedControls);
        m_top.Enable(fixedControls);
    }
}

void CGeneralOptionsDialog::EnableCorner()
{
    m_left.Enable(m_fixedCorner.IsChecked());
    m_top.Enable(m_fixedCorner.IsChecked());
}

void CGeneralOptionsDialog::SelectFixedRegion()
{
    if (!m_regionWindow) {
        return;
    }
    // The selection window lets the user drag a free rectangle only in the normal mode.
    Settings().MouseCaptureMode = kCaptureNormal;
    m_regionWindow->SetDialogRequest(true, hwnd());
    m_regionWindow->ShowForSelection();
}

void CGeneralOptionsDialog::OnRegionChosen()
{
    const ScreenRect& r = Settings().g_capturerect;
    m_width.SetNumber(r.Width());
    m_height.SetNumber(r.Height());
    if (m_fixedCorner.IsChecked()) {
        m_left.SetNumber(r.left);
        m_top.SetNumber(r.top);
    }
}

INT_PTR CGeneralOptionsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kSelectionDoneMessage) {
        OnRegionChosen();
        return TRUE;
    }
    return CControlsDialog::HandleMessage(message, wParam, lParam);
}

void CGeneralOptionsDialog::OnOK()
{
    AppSettings& settings = Settings();
    if (m_mode == kCaptureFixed) {
        const FixedRegionFields fields{m_width.Number(), m_height.Number(), m_left.Number(), m_top.Number(),
                                       m_fixedCorner.IsChecked()};
        const FixedRegionOutcome outcome = CheckFixedRegion(fields, settings.g_monitors);
        if (!outcome.refusal.empty()) {
            Note(outcome.refusal);
            return;
        }
        for (const std::string& note : outcome.notes) {
            Note(note);
        }
        if (fields.fixedCorner) {
            settings.captureleft = outcome.left;
            settings.capturetop = outcome.top;
        }
        settings.fixedcapture = fields.fixedCorner ? 1 : 0;
        settings.capturewidth = outcome.width;
        settings.captureheight = outcome.height;
    }
    settings.MouseCaptureMode = m_mode;
    settings.minimizeOnStart = m_minimize.IsChecked() ? 1 : 0;
    settings.flashingRect = m_hideFlashing.IsChecked() ? 0 : 1;
    settings.launchPlayer = m_play.IsChecked() ? 1 : 0;
    settings.savesettings = m_saveSettings.IsChecked() ? 1 : 0;
    settings.ffmpegPath = m_ffmpegPath.Text();
    if (const std::optional<std::int32_t> seconds = m_countdown.Number()) {
        settings.countdownSeconds = std::clamp(*seconds, 0, kLongestCountdown);
    }
    EndDialog(IDOK);
}
