#pragma once
// Runs the calling thread's messages for a while, the way a modal dialog's loop would.
#include <windows.h>

inline void PumpMessages(DWORD milliseconds, HWND dialog = nullptr)
{
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (dialog && IsWindow(dialog) && IsDialogMessageA(dialog, &msg)) {
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}
