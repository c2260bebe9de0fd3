#pragma once
// The built-in MS ADPCM converter, offered to the audio compression manager for this process
// where no installed driver converts PCM to MS ADPCM (on Wine none does).

// Installs ours when the system cannot convert 16-bit PCM to its own suggested MS ADPCM format.
// True when a conversion is available afterwards (the system's or ours).
bool InstallMsAdpcmIfNeeded();

// Removes ours if it is installed; call at exit.
void RemoveMsAdpcm();
