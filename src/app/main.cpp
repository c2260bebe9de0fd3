#include "app/heap_relaunch.h"
#include "app/main_dialog.h"
#include "app/settings_files_connection.h"
#include "app/single_instance.h"
#include "messages/private_messages.h"

#include <commctrl.h>

// No message loop of our own: the program is the main window's modal run. Arguments are ignored.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (const std::optional<int> relaunched = RunRelaunchedWithFastHeap()) {
        return *relaunched;
    }
    RegisterPrivateMessages();
    const CSingleInstance instance;
    if (!instance.IsFirst()) {
        CSingleInstance::ShowTheFirst();
        return 0;
    }
    ConnectSettingsFiles();
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    CMainDialog dialog;
    dialog.OfferLeftRecordingsAtStart();
    dialog.DoModal(nullptr);
    return 0;
}
