// The start command of the setup dialog (the start button and Enter).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

struct SetupSession;

// Decides whether a fresh installation may go into the folder text; tells the
// user why not.
using InstallFolderCheck = std::function<bool(const std::wstring& folder)>;

// Ends a running client, and unless the start button is disabled (a run is
// going), disables the welcome page's controls, prepares the record and starts
// the installation worker on a thread of its own, whose handle the session
// keeps (waiting first for the last run's worker to return).
// A folder that acceptFolder refuses leaves the welcome page as it was.
// dialog: the window holding the controls, which receives the worker's reports.
void StartInstallation(HWND dialog, SetupSession& session, const InstallFolderCheck& acceptFolder);
