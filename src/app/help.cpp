#include "app/help.h"

#include "win/wine.h"

#include <shellapi.h>

bool HelpViewerShowsPages()
{
    return !UnderWine();
}

HelpOpening HelpFor(const std::string& programDirectory, bool viewerShowsPages)
{
    if (viewerShowsPages) {
        return {programDirectory + "\\help.chm", ""};
    }
    // Wine's browser bridge hands the page to the desktop's own browser. It is named directly: a
    // prefix without the HTML engine has no program registered for .html files.
    return {"winebrowser.exe", "\"" + programDirectory + "\\help\\index.html\""};
}

HINSTANCE OpenHelp(HWND owner, const std::string& programDirectory)
{
    const HelpOpening help = HelpFor(programDirectory, HelpViewerShowsPages());
    return ShellExecuteA(owner, "open", help.file.c_str(), help.parameters.empty() ? nullptr : help.parameters.c_str(),
                         nullptr, SW_SHOWNORMAL);
}
