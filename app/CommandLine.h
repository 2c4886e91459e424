// The setup program's command line. Switches start with "/" and are read
// without regard to case:
//   /S            silent: no dialog and no message box
//   /D=folder     the install folder; quoted as one argument ("/D=C:\My Games"
//                 or /D="C:\My Games") or, unquoted, the last switch: it then
//                 takes the rest of the line
//   /LOG=file     where the run's log goes
//   /NOLAUNCH     the client is not started at the end
//   /NOAUTORUN, /NODESKTOP, /NOGROUP
//                 a silent run leaves out start with Windows, the desktop
//                 shortcut, the program group
//   /PROXY=host:port
//                 the proxy to go through instead of the system's settings
//   /PROXYUSER=name, /PROXYPASS=password
//                 the proxy's login (never written to the log)
//   /?            a box listing the switches
#pragma once

#include <string>
#include <vector>

struct CommandLineOptions {
    bool silent = false;
    bool help = false;
    bool noLaunch = false;
    bool noAutorun = false;
    bool noDesktop = false;
    bool noGroup = false;
    bool hasFolder = false;
    std::wstring folder;
    bool hasLogPath = false;
    std::wstring logPath;
    bool hasProxy = false;
    std::wstring proxy;
    bool hasProxyUser = false;
    std::wstring proxyUser;
    bool hasProxyPassword = false;
    std::wstring proxyPassword;
    // Every argument that is not one of the switches above, as it was written.
    std::vector<std::wstring> unknown;
};

// Reads the arguments: the command line without the program's name (what
// wWinMain receives). Quotes group spaces into one argument and are removed.
CommandLineOptions ParseCommandLine(const std::wstring& arguments);

// The command line of the running process without the program's name.
std::wstring ProcessArguments();

// The arguments as the log shows them: the value of /PROXYPASS= hidden.
std::wstring ArgumentsForTheLog(const std::wstring& arguments);

// The text of the box that /? shows.
extern const wchar_t kCommandLineHelp[];
