#pragma once
// WASAPI loopback of the default output: a shared-mode capture of what it plays, in its mix format.
#include "audio/computer_sound.h"

// Nullptr where the system cannot capture the output; defaultOutput then holds the output's
// name where there is one.
std::unique_ptr<ComputerSound> OpenLoopback(std::string& defaultOutput);
