#pragma once
// The small top-most window that shows how far the merge of sound and movie, or the conversion by
// ffmpeg.exe, has come.
#include "win/window_base.h"

#include <functional>
#include <string>

class CConvertProgressDialog : public CDialog {
public:
    CConvertProgressDialog();

    // Creates the window hidden.
    bool Create(HWND owner);
    void SetRange(int low, int high);
    void SetPosition(int position);
    void Show();
    void Hide();
    // With a handler, the window shows a Cancel button that calls it (so do Escape and its close
    // button); without one, it has none, and closing only hides it.
    void SetCancel(std::function<void()> onCancel, const std::string& title);

protected:
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    std::function<void()> m_onCancel;
};
