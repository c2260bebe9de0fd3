#pragma once
// "Cursor Options": whether the cursor is recorded, which image stands for it (the one on screen, a
// built-in one or one from a file), the coloured highlight drawn under it, and whether clicks and
// keys are shown in the movie.
#include "settings/app_settings.h"
#include "win/dialog_controls.h"
#include "win/handles.h"

class CCursorOptionsDialog : public CControlsDialog {
public:
    CCursorOptionsDialog();

    // Runs the dialog; the OK handler stores the settings.
    static void Run(HWND owner);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The cursor settings the dialog edits, taken when it opens.
    struct Working {
        std::int32_t recordCursor = 1;
        std::int32_t cursorType = 0;
        std::int32_t customSel = 0;
        std::int32_t highlight = 0;
        std::int32_t highlightSize = 64;
        std::int32_t highlightShape = 0;
        std::uint32_t highlightColor = 0;
        CursorHandles handles;
        std::int32_t showClicks = 0;
        std::uint32_t clickColor = 0;
        std::int32_t showKeys = 0;
        std::int32_t shortcutsOnly = 1;
    };

    void ShowCursorChoice();
    void ChooseType(std::int32_t type);
    void EnableHighlightControls();
    void UpdatePreview();
    void ChooseCursorFile();
    bool PickColour(std::uint32_t& colour);
    void RedrawHighlightPreview() const;
    void DrawHighlightPreview(const DRAWITEMSTRUCT& item) const;

    Working m_working;
    HCURSOR m_preview = nullptr;
    OwnedIcon m_folderIcon;

    CheckBox m_hide;
    CheckBox m_show;
    CheckBox m_actual;
    CheckBox m_builtIn;
    CheckBox m_fromFile;
    DropDown m_builtIns;
    PushButton m_browse;
    TextField m_previewIcon;
    CheckBox m_highlight;
    Trackbar m_size;
    TextField m_sizeLabel;
    DropDown m_shapes;
    TextField m_shapeLabel;
    PushButton m_color;
    TextField m_halfSize;
    TextField m_highlightPreview;
    CheckBox m_showClicks;
    PushButton m_clickColor;
    CheckBox m_showKeys;
    CheckBox m_shortcutsOnly;
};
