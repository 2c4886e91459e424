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

// The last line of a run: success, or which step failed and why (the last
// error logged before).
void LogRunOutcome(UINT result);
