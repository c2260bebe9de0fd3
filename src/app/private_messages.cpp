#include "app/private_messages.h"

UINT WM_USER_RECORDSTART_MSG = 0;
UINT WM_USER_RECORDINTERRUPTED_MSG = 0;
UINT WM_USER_GENERIC_MSG = 0;
UINT WM_USER_SAVECURSOR_MSG = 0;
UINT WM_USER_KEYSTART_MSG = 0;

void RegisterPrivateMessages()
{
    // In this order, so that each gets the same number as in earlier releases' processes.
    WM_USER_RECORDINTERRUPTED_MSG = RegisterWindowMessageA("WM_USER_RECORDINTERRUPTED_MSG");
    WM_USER_SAVECURSOR_MSG = RegisterWindowMessageA("WM_USER_SAVECURSOR_MSG");
    WM_USER_GENERIC_MSG = RegisterWindowMessageA("WM_USER_GENERIC_MSG");
    WM_USER_RECORDSTART_MSG = RegisterWindowMessageA("WM_USER_RECORDSTART_MSG");
    WM_USER_KEYSTART_MSG = RegisterWindowMessageA("WM_USER_KEYSTART_MSG");
}
