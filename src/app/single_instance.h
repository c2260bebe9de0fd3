#pragma once
// One copy of the program at a time: each copy's keyboard hook would start its own recording at
// every press of the start key.
#include <windows.h>

#include "win/handles.h"

class CSingleInstance {
public:
    CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    bool IsFirst() const { return m_first; }
    // Asks the copy that runs to come to the front.
    static void ShowTheFirst();

private:
    KernelHandle m_mutex;
    bool m_first = true;
};
