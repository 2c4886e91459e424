// The installation run on its own thread.
#pragma once

struct SetupSession;

// Thread procedure (for _beginthreadex); the argument is the SetupSession.
// Returns the run's SetupResult: 0 after WM_SETUP_COMPLETE, otherwise the
// code it sent last with WM_SETUP_ERROR. Nothing reads that exit code: the
// dialog learns every outcome from the messages.
unsigned __stdcall InstallWorker(void* session);
