#pragma once
// Plugs the settings files, with the real audio format choices, into start-up and shutdown.
void ConnectSettingsFiles();
