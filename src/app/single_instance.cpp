#include "app/single_instance.h"

#include "messages/private_messages.h"

CSingleInstance::CSingleInstance()
    : m_mutex(CreateMutexA(nullptr, FALSE, "Framelark.Running")),
      // Without a mutex nothing can be told: better two copies than none.
      m_first(!m_mutex || GetLastError() != ERROR_ALREADY_EXISTS)
{
}

void CSingleInstance::ShowTheFirst()
{
    // The running copy may take the foreground from this one, which the user just started.
    AllowSetForegroundWindow(ASFW_ANY);
    PostMessageA(HWND_BROADCAST, kAnotherStartMessage, 0, 0);
}
