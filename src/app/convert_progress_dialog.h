#pragma once
// The small top-most window that shows how far the merge of sound and movie has come.
#include "win/window_base.h"

class CConvertProgressDialog : public CDialog {
public:
    CConvertProgressDialog();

    // Creates the window hidden.
    bool Create(HWND owner);
    void SetRange(int low, int high);
    void SetPosition(int position);
    void Show();
    void Hide();

protected:
    bool OnCommand(WORD id, WORD code, HWND control) override;
};
