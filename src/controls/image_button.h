#pragma once
// An owner-drawn push button, check box or radio button painted from bitmap resources, shaped by
// an optional mask, with hover images, a tooltip and the skin cursor.
#include <windows.h>

#include "common/dpi_scale.h"
#include "win/handles.h"
#include "win/window_base.h"

#include <array>

// The cursor the main window shows over its face and buttons: 1024 over a button, else 1023.
extern HCURSOR g_skincursor;

class CImageButton : public CSubclassedControl {
public:
    enum Kind { kPush = 0, kCheck = 2, kRadio = 4 };
    enum DrawMode { kDrawNormal = 0, kDrawStretch = 1, kDrawTile = 2 };

    CImageButton() = default;
    ~CImageButton() override;

    // Subclasses the dialog's control and makes it owner-drawn.
    bool AttachTo(HWND dialog, int id);

    // Resource ids, 0 for none, taken from the image set for dpi. A missing disabled image falls back
    // to the normal one.
    void SetBitmaps(UINT normal, UINT pressed, UINT hover, UINT disabled, UINT focused, UINT mask, int drawMode,
                    int border, int focusMargin, int dpi = kBaseDpi);
    void SetTooltip(const char* text);

    // The parent passes its WM_DRAWITEM on; returns false when the item is no CImageButton.
    static bool ReflectDrawItem(const DRAWITEMSTRUCT& item);

    Kind kind() const { return m_kind; }
    int drawMode() const { return m_drawMode; }
    int focusMargin() const { return m_focusMargin; }
    bool hovering() const { return m_hovering; }
    HWND tooltip() const { return m_tooltip.get(); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    enum Slot { kNormal, kPressed, kDisabled, kMask, kHover, kFocused, kSlots };

    void DrawItem(const DRAWITEMSTRUCT& item);
    void PaintImage(HDC dc, const RECT& r, HBITMAP image) const;
    void RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam) const;
    void SetCheck(bool check);
    bool UnderPoint(POINT screen) const;
    void Repaint() const;

    std::array<GdiBitmap, kSlots> m_images;
    Kind m_kind = kPush;
    bool m_checked = false;
    bool m_hovering = false;
    bool m_pressing = false;
    OwnedWindow m_tooltip;
    short m_focusMargin = 0;
    COLORREF m_textColour = GetSysColor(COLOR_BTNTEXT);
    int m_border = 0;
    short m_drawMode = kDrawStretch;
};
