#pragma once
// The About box: banner, version and the product's web address as a link; dragged by its face.
#include "common/dpi_scale.h"
#include "controls/link_label.h"
#include "win/handles.h"
#include "win/window_base.h"

constexpr char kProductWebSite[] = "https://framelark.example/";

class CAboutDialog : public CDialog {
public:
    CAboutDialog();

protected:
    BOOL OnInitDialog() override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ShowBanner(int dpi);

    CLinkLabel m_link;
    GdiBitmap m_banner;
    int m_bannerDpi = kBaseDpi;
};

// Posts a caption click at the point, so that the user drags the window by any point of its face.
void DragByFace(HWND window, LPARAM clientPoint);
