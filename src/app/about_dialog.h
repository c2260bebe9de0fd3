#pragma once
// The About box: banner, version and the product's web address; dragged by its face.
#include "win/window_base.h"

constexpr char kProductWebSite[] = "https://framelark.example/";

class CAboutDialog : public CDialog {
public:
    CAboutDialog();

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// Posts a caption click at the point, so that the user drags the window by any point of its face.
void DragByFace(HWND window, LPARAM clientPoint);
