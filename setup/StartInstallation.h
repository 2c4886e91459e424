// The start command of the setup dialog (the start button and Enter).
#pragma once

#include <windows.h>

struct SetupSession;

// Ends a running client, and unless the start button is disabled (a run is
// going), disables the welcome page's controls, prepares the record and starts
// the installation worker on a thread of its own, which nobody waits for.
// dialog: the window holding the controls, which receives the worker's reports.
void StartInstallation(HWND dialog, SetupSession& session);
