#include "messages/private_messages.h"

UINT WM_USER_RECORDSTART_MSG = 0;
UINT WM_USER_GENERIC_MSG = 0;
UINT WM_USER_SAVECURSOR_MSG = 0;
UINT WM_USER_KEYSTART_MSG = 0;
UINT kAnotherStartMessage = 0;
UINT kMouseClickMessage = 0;

void RegisterPrivateMessages()
{
    WM_USER_SAVECURSOR_MSG = RegisterWindowMessageA("WM_USER_SAVECURSOR_MSG");
    WM_USER_GENERIC_MSG = RegisterWindowMessageA("WM_USER_GENERIC_MSG");
    WM_USER_RECORDSTART_MSG = RegisterWindowMessageA("WM_USER_RECORDSTART_MSG");
    WM_USER_KEYSTART_MSG = RegisterWindowMessageA("WM_USER_KEYSTART_MSG");
    kAnotherStartMessage = RegisterWindowMessageA("Framelark.AnotherStart");
    kMouseClickMessage = RegisterWindowMessageA("Framelark.MouseClick");
}
