// An installation without the dialog: what a silent run (/S) does instead of
// showing the welcome, progress and finish pages.
#pragma once

#include "setup/SetupOperations.h"

#include <string>

// Exit codes of the program besides the run's SetupResult (0, 244 to 255).
constexpr int kExitAlreadyRunning = 1;  // another setup program runs in this logon (silent runs only)
constexpr int kExitUnknownSwitch = 2;   // a silent run was given a switch it does not know
constexpr int kExitFolderRefused = 3;   // the install folder failed the folder check

struct SilentInstallOptions {
    bool hasFolder = false;  // /D= was given
    std::wstring folder;
    bool autorun = true;  // the finish page's three boxes, all checked
    bool desktopShortcut = true;
    bool programGroup = true;
    bool launchClient = true;
};

// Runs the whole installation on the worker thread, with a hidden window on
// the calling thread answering its reports: every question is answered Abort,
// nothing is ever shown. On success the finish actions follow. Returns the
// program's exit code: the run's SetupResult, or kExitFolderRefused.
int RunSilentInstall(const SilentInstallOptions& options, SetupOperations operations = RealSetupOperations());
