#include "options/cursor_options_dialog.h"

#include "options/cursor_options_rules.h"
#include "resources/resource_ids.h"
#include "win/directories.h"
#include "win/dpi.h"
#include "win/handles.h"
#include "win/message_box.h"

#include <commdlg.h>

#include <algorithm>
#include <array>

namespace {
constexpr std::array<const char*, 4> kShapeNames{"Circle", "Ellipse", "Square", "Rectangle"};

// The colour chooser's custom colours, kept for the rest of the run.
std::array<COLORREF, 16> g_customColors{};
} // namespace

CCursorOptionsDialog::CCursorOptionsDialog() : CControlsDialog(IDD_CURSOROPTIONS) {}

void CCursorOptionsDialog::Run(HWND owner)
{
    CCursorOptionsDialog dialog;
    dialog.DoModal(owner);
}

BOOL CCursorOptionsDialog::OnInitDialog()
{
    Bind(m_hide, IDC_HIDE_CURSOR);
    Bind(m_show, IDC_SHOW_CURSOR);
    Bind(m_actual, IDC_ACTUAL_CURSOR);
    Bind(m_builtIn, IDC_CUSTOM_CURSOR);
    Bind(m_fromFile, IDC_FILE_CURSOR);
    Bind(m_builtIns, IDC_BUILTIN_CURSORS);
    Bind(m_browse, IDC_CURSOR_FILE);
    Bind(m_previewIcon, IDC_CURSOR_PREVIEW);
    Bind(m_highlight, IDC_HIGHLIGHT_CURSOR);
    Bind(m_size, IDC_HIGHLIGHT_SIZE);
    Bind(m_sizeLabel, IDC_HIGHLIGHT_SIZE_LABEL);
    Bind(m_shapes, IDC_HIGHLIGHT_SHAPE);
    Bind(m_shapeLabel, IDC_HIGHLIGHT_SHAPE_LABEL);
    Bind(m_color, IDC_HIGHLIGHT_COLOR);
    Bind(m_halfSize, IDC_HIGHLIGHT_HALFSIZE);
    Bind(m_highlightPreview, IDC_HIGHLIGHT_PREVIEW);
    Bind(m_showClicks, IDC_SHOW_CLICKS);
    Bind(m_clickColor, IDC_CLICK_COLOR);
    Bind(m_showKeys, IDC_SHOW_KEYS);
    Bind(m_shortcutsOnly, IDC_SHORTCUTS_ONLY);

    const AppSettings& settings = Settings();
    m_working = {settings.g_recordcursor,
                 ShownCursorType(settings.g_cursortype),
                 settings.g_customsel,
                 settings.g_highlightcursor,
                 settings.g_highlightsize,
                 settings.g_highlightshape,
                 settings.g_highlightcolor,
                 settings.g_cursorhandle,
                 settings.g_showclicks,
                 settings.g_clickcolor,
                 settings.g_showkeys,
                 settings.g_shortcutsonly};

    // Not shared: an icon of another size than the system's own must be destroyed by its owner.
    const int iconSide = ScaleForDpi(16, WindowDpi(hwnd()));
    m_folderIcon.reset(static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_BROWSE), IMAGE_ICON, iconSide, iconSide, 0)));
    SendMessageA(m_browse.hwnd(), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(m_folderIcon.get()));

    m_size.SetRange(1, 128);
    m_size.SetPosition(m_working.highlightSize);
    for (const char* name : kShapeNames) {
        m_shapes.Add(name);
    }
    m_shapes.Select(m_working.highlightShape);
    m_highlight.SetChecked(m_working.highlight != 0);
    EnableHighlightControls();

    for (const BuiltInCursor& cursor : kBuiltInCursors) {
        m_builtIns.Add(cursor.name);
    }
    m_builtIns.Select(m_working.customSel);
    ShowCursorChoice();

    m_hide.onChange = [this] {
        m_working.recordCursor = 0;
        ShowCursorChoice();
    };
    m_show.onChange = [this] {
        m_working.recordCursor = 1;
        m_working.cursorType = ShownCursorType(m_working.cursorType);
        ShowCursorChoice();
    };
    m_actual.onChange = [this] { ChooseType(kCursorActual); };
    m_builtIn.onChange = [this] { ChooseType(kCursorBuiltIn); };
    m_fromFile.onChange = [this] { ChooseType(kCursorFromFile); };
    m_builtIns.onChange = [this] { UpdatePreview(); };
    m_browse.onChange = [this] { ChooseCursorFile(); };
    m_highlight.onChange = [this] {
        m_working.highlight = m_highlight.IsChecked() ? 1 : 0;
        EnableHighlightControls();
        RedrawHighlightPreview();
    };
    m_shapes.onChange = [this] {
        m_working.highlightShape = std::max(m_shapes.Selection(), 0);
        RedrawHighlightPreview();
    };
    m_size.onChange = [this] {
        m_working.highlightSize = m_size.Position();
        RedrawHighlightPreview();
    };
    m_color.onChange = [this] {
        if (PickColour(m_working.highlightColor)) {
            RedrawHighlightPreview();
        }
    };

    m_showClicks.SetChecked(m_working.showClicks != 0);
    m_showKeys.SetChecked(m_working.showKeys != 0);
    m_shortcutsOnly.SetChecked(m_working.shortcutsOnly != 0);
    m_clickColor.Enable(m_working.showClicks != 0);
    m_shortcutsOnly.Enable(m_working.showKeys != 0);
    m_showClicks.onChange = [this] {
        m_working.showClicks = m_showClicks.IsChecked() ? 1 : 0;
        m_clickColor.Enable(m_working.showClicks != 0);
    };
    m_clickColor.onChange = [this] { PickColour(m_working.clickColor); };
    m_showKeys.onChange = [this] {
        m_working.showKeys = m_showKeys.IsChecked() ? 1 : 0;
        m_shortcutsOnly.Enable(m_working.showKeys != 0);
    };
    m_shortcutsOnly.onChange = [this] { m_working.shortcutsOnly = m_shortcutsOnly.IsChecked() ? 1 : 0; };
    return TRUE;
}

void CCursorOptionsDialog::ShowCursorChoice()
{
    const bool shown = m_working.recordCursor != 0;
    const std::int32_t type = m_working.cursorType;
    m_hide.SetChecked(!shown);
    m_show.SetChecked(shown);
    m_actual.SetChecked(type == kCursorActual);
    m_builtIn.SetChecked(type == kCursorBuiltIn);
    m_fromFile.SetChecked(type == kCursorFromFile);
    m_actual.Enable(shown);
    m_builtIn.Enable(shown);
    m_fromFile.Enable(shown);
    m_builtIns.Enable(shown && type == kCursorBuiltIn);
    m_browse.Enable(shown && type == kCursorFromFile);
    UpdatePreview();
}

void CCursorOptionsDialog::ChooseType(std::int32_t type)
{
    m_working.cursorType = type;
    ShowCursorChoice();
}

void CCursorOptionsDialog::EnableHighlightControls()
{
    const bool on = m_working.highlight != 0;
    for (const DialogControl* control :
         std::array<const DialogControl*, 6>{&m_size, &m_shapes, &m_color, &m_sizeLabel, &m_shapeLabel, &m_halfSize}) {
        control->Enable(on);
    }
}

void CCursorOptionsDialog::UpdatePreview()
{
    if (m_working.recordCursor == 0) {
        m_preview = nullptr;
    } else if (m_working.cursorType == kCursorActual) {
        CURSORINFO onScreen{};
        onScreen.cbSize = sizeof(onScreen);
        m_preview = GetCursorInfo(&onScreen) ? onScreen.hCursor : nullptr;
    } else if (m_working.cursorType == kCursorBuiltIn) {
        m_working.customSel = static_cast<std::int32_t>(BuiltInCursorIndex(m_builtIns.Selection()));
        m_builtIns.Select(m_working.customSel);
        const int icon = kBuiltInCursors[static_cast<std::size_t>(m_working.customSel)].iconResource;
        m_preview = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(icon));
        m_working.handles.builtIn = m_preview;
    } else {
        m_preview = m_working.handles.fromFile;
    }
    SendMessageA(m_previewIcon.hwnd(), STM_SETICON, reinterpret_cast<WPARAM>(m_preview), 0);
}

void CCursorOptionsDialog::ChooseCursorFile()
{
    AppSettings& settings = Settings();
    if (settings.cursordir.empty()) {
        settings.cursordir = GetWindowsDirectoryPath() + "\\cursors";
    }
    std::string filter = LoadResourceString(IDS_CURSOR_FILES, "Icon and Cursor Files") + " (*.ico; *.cur)|*.ico;*.cur||";
    std::replace(filter.begin(), filter.end(), '|', '\0');
    const std::string title = LoadResourceString(IDS_CURSOR_FILE_TITLE, "File to load");
    char path[MAX_PATH] = "*.ico;*.cur";
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = hwnd();
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof(path);
    dialog.lpstrInitialDir = settings.cursordir.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = "ico";
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&dialog)) {
        return;
    }
    if (IsLoadableCursorFile(path)) {
        m_working.handles.fromFile = LoadCursorFromFileA(path);
        UpdatePreview();
    }
    // The chosen file is remembered even when the dialog is cancelled later.
    settings.g_cursorfile = path;
    settings.cursordir = FolderOf(path);
}

bool CCursorOptionsDialog::PickColour(std::uint32_t& colour)
{
    CHOOSECOLORA chooser{};
    chooser.lStructSize = sizeof(chooser);
    chooser.hwndOwner = hwnd();
    chooser.rgbResult = colour;
    chooser.lpCustColors = g_customColors.data();
    chooser.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    if (!ChooseColorA(&chooser)) {
        return false;
    }
    colour = chooser.rgbResult;
    return true;
}

void CCursorOptionsDialog::RedrawHighlightPreview() const
{
    // At once: the slider is dragged while the preview follows it.
    RedrawWindow(m_highlightPreview.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CCursorOptionsDialog::DrawHighlightPreview(const DRAWITEMSTRUCT& item) const
{
    // Drawn off screen, then copied centred into the preview's box; lengths follow the dpi.
    const int dpi = WindowDpi(hwnd());
    const int side = ScaleForDpi(kHighlightPreviewSide, dpi);
    MemoryDC canvas(CreateCompatibleDC(item.hDC));
    GdiBitmap picture(CreateCompatibleBitmap(item.hDC, side, side));
    GdiPen outline(CreatePen(PS_INSIDEFRAME, ScaleForDpi(1, dpi), RGB(0, 0, 0)));
    if (!canvas || !picture || !outline) {
        return;
    }
    SelectGuard keepPicture(canvas.get(), picture.get());
    SelectGuard blackPen(canvas.get(), outline.get());
    {
        SelectGuard grey(canvas.get(), GetStockObject(LTGRAY_BRUSH));
        Rectangle(canvas.get(), 0, 0, side, side);
    }
    const HighlightBox box = HighlightPreviewBox(m_working.highlightSize, m_working.highlightShape);
    if (m_working.highlight != 0 && box.drawn) {
        GdiBrush colour(CreateSolidBrush(m_working.highlightColor));
        SelectGuard useColour(canvas.get(), colour.get());
        (box.ellipse ? Ellipse : Rectangle)(canvas.get(), ScaleForDpi(box.left, dpi), ScaleForDpi(box.top, dpi),
                                            ScaleForDpi(box.right, dpi), ScaleForDpi(box.bottom, dpi));
    }
    const RECT& area = item.rcItem;
    FillRect(item.hDC, &area, GetSysColorBrush(COLOR_3DFACE));
    BitBlt(item.hDC, (area.left + area.right - side) / 2, (area.top + area.bottom - side) / 2, side, side,
           canvas.get(), 0, 0, SRCCOPY);
}

INT_PTR CCursorOptionsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DRAWITEM && wParam == IDC_HIGHLIGHT_PREVIEW) {
        DrawHighlightPreview(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    return CControlsDialog::HandleMessage(message, wParam, lParam);
}

void CCursorOptionsDialog::OnOK()
{
    // A hidden cursor shows no preview; keeping the handles then lets "Show Cursor" bring them back.
    if (m_working.recordCursor != 0 && m_working.cursorType == kCursorBuiltIn) {
        m_working.handles.builtIn = m_preview;
    } else if (m_working.recordCursor != 0 && m_working.cursorType == kCursorFromFile) {
        m_working.handles.fromFile = m_preview;
    }
    AppSettings& settings = Settings();
    settings.g_recordcursor = m_working.recordCursor;
    settings.g_cursortype = m_working.cursorType;
    settings.g_customsel = m_working.customSel;
    settings.g_highlightcursor = m_working.highlight;
    settings.g_highlightsize = m_working.highlightSize;
    settings.g_highlightshape = m_working.highlightShape;
    settings.g_highlightcolor = m_working.highlightColor;
    settings.g_cursorhandle = m_working.handles;
    settings.g_showclicks = m_working.showClicks;
    settings.g_clickcolor = m_working.clickColor;
    settings.g_showkeys = m_working.showKeys;
    settings.g_shortcutsonly = m_working.shortcutsOnly;
    EndDialog(IDOK);
}
