#pragma once
// Small typed wrappers over a dialog's controls, each with the few verbs a dialog needs and one
// change callback, and a dialog base that routes notifications to them, so that a dialog reads as
// "what happens when this changes".
#include <windows.h>

#include "win/window_base.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class DialogControl {
public:
    DialogControl() = default;
    DialogControl(const DialogControl&) = delete;
    DialogControl& operator=(const DialogControl&) = delete;
    virtual ~DialogControl() = default;

    HWND hwnd() const { return m_hwnd; }
    int id() const { return m_id; }
    void Enable(bool enable) const;
    bool IsEnabled() const;

    // Runs when the user changes the control (click, new selection, slider moved).
    std::function<void()> onChange;

    // Whether a WM_COMMAND notification code means "changed" for this kind of control.
    virtual bool IsChangeNotification(WORD code) const = 0;

private:
    friend class CControlsDialog;
    HWND m_hwnd = nullptr;
    int m_id = 0;
};

// Push buttons: a click is the change.
class PushButton : public DialogControl {
public:
    bool IsChangeNotification(WORD code) const override { return code == BN_CLICKED; }
};

// Check boxes and radio buttons.
class CheckBox : public DialogControl {
public:
    bool IsChecked() const;
    void SetChecked(bool checked) const;
    bool IsChangeNotification(WORD code) const override { return code == BN_CLICKED; }
};

// Edits and static texts whose text is read or written.
class TextField : public DialogControl {
public:
    std::string Text() const;
    void SetText(const std::string& text) const;
    void SetNumber(int value) const;
    // Read as a "%d" scan reads it; empty when the text holds no number.
    std::optional<std::int32_t> Number() const;
    bool IsChangeNotification(WORD) const override { return false; }
};

// Combo boxes, editable or drop-down lists.
class DropDown : public DialogControl {
public:
    void Clear() const;
    void Add(const std::string& text) const;
    int Count() const;
    // -1 when nothing is selected.
    int Selection() const;
    void Select(int index) const;
    bool IsChangeNotification(WORD code) const override { return code == CBN_SELCHANGE; }
};

// Trackbars; every scroll notification is a change.
class Trackbar : public DialogControl {
public:
    void SetRange(int low, int high) const;
    void SetTickFrequency(int every) const;
    int Position() const;
    void SetPosition(int position) const;
    bool IsChangeNotification(WORD) const override { return false; }
};

class CControlsDialog : public CDialog {
public:
    using CDialog::CDialog;

protected:
    // Attaches a wrapper to the dialog's control; call from OnInitDialog.
    void Bind(DialogControl& control, int id);

    bool OnCommand(WORD id, WORD code, HWND control) override;
    // The OK button or Enter; closes with IDOK unless overridden.
    virtual void OnOK() { EndDialog(IDOK); }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // A modal note with the dialog as owner.
    int Note(const std::string& text, UINT type = MB_OK | MB_ICONWARNING) const;

private:
    std::vector<DialogControl*> m_controls;
};
