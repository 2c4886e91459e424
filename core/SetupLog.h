// The setup program's run log: where it goes and the lines that only the
// product can write (its steps and outcomes). Every layer writes its own
// events with LogLine and LogError (framework/LogFile.h).
#pragma once

#include <windows.h>

#include <string>

// %TEMP%\QXTSetup.log.
std::wstring DefaultSetupLogPath();

// The log's path: the one asked for, or the default one when empty.
std::wstring SetupLogPath(const std::wstring& requested);

// Starts the run's log at path (empty: the default one); the previous log at
// that place is kept beside it with ".old" before the extension. False when
// the log cannot be written: the run goes on without it.
bool OpenSetupLog(const std::wstring& path);

// What a SetupResult means, as a log line names it: the failed step and what
// its code stands for ("download of the client's files").
const wchar_t* SetupResultName(UINT result);

// The first and the last line of an installation run. The last one says
// success, or which step failed and why: the line the error box added
// (detail, when there is one) and the log's line of what failed (cause; when
// empty, the last error logged before).
void LogRunStart();
void LogRunOutcome(UINT result, const std::wstring& detail = {}, const std::wstring& cause = {});

// The outcome of the last run, for the program's exit code: 0 before any
// run, SETUP_CANCELLED while one is going (a program closed during a run has
// not installed), then the SetupResult the last run ended with.
UINT LastRunOutcome();

// The finish page's choices as they are carried out.
void LogFinishActions(bool autorun, bool programGroup, bool desktopShortcut, bool launchClient);
