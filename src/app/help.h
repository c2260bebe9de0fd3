#pragma once
// Opens the program's help: help.chm beside the program, or, where the system's help viewer shows
// blank pages (under Wine, which has no HTML engine), the same pages as plain HTML in the desktop's
// browser.
#include <windows.h>

#include <string>

struct HelpOpening {
    std::string file;       // what the shell opens
    std::string parameters; // empty unless a program is started with the page
};

// Wine's help viewer opens help.chm but cannot draw its pages.
bool HelpViewerShowsPages();

HelpOpening HelpFor(const std::string& programDirectory, bool viewerShowsPages);

// The shell's result: above 32 on success. A failure is not reported to the user.
HINSTANCE OpenHelp(HWND owner, const std::string& programDirectory);
