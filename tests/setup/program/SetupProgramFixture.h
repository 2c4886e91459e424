// What every end-to-end test of the real QXTSetup.exe stands on: the
// fixtures that start it (with its dialog, or silent with a log of its own)
// and put the machine back after it, and the helpers around them: what
// setup_program_e2e.sh set up (the reference server and its control, the
// stamped copies, the proxy, the screenshots' folder), copies stamped for a
// server of the test's own, the prefix's proxy settings, the run's log.
#pragma once

#include "tests/support/DownloadTestSupport.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestPaths.h"
#include "tests/support/UiDriver.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace qxt::test {

constexpr DWORD kPageTimeoutMs = 60000;

// A variable setup_program_e2e.sh exported (ASCII); empty when it is unset.
std::wstring Env(const char* name);

// Asks the test's script to stop or start the download server ("stop",
// "start") and waits until it has.
bool ControlServer(const std::wstring& request);

// Whether something accepts connections on the loopback port.
bool PortAnswers(unsigned short port);

// Writes a copy of the built setup program whose trailer names the server.
bool CopySetupForServer(const TestHttpServer& server, const std::wstring& exe);

// Answers the plain file list's request for either value of the .NET flag.
void ServeFileList(TestHttpServer& server, const HttpReply& reply);

std::wstring IniValue(const std::wstring& file, const wchar_t* section, const wchar_t* key);

// The prefix's Internet settings point at the test's proxy for as long as
// the object lives (the settings of a proxy configured in the system).
class SystemProxySettings {
public:
    explicit SystemProxySettings(const std::wstring& proxy);
    SystemProxySettings(const SystemProxySettings&) = delete;
    SystemProxySettings& operator=(const SystemProxySettings&) = delete;
    ~SystemProxySettings();
    bool Set() const { return m_set; }

private:
    static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    HKEY m_key = nullptr;
    bool m_set = false;
};

// The request lines the test's proxy has logged so far.
size_t ProxiedRequests(const std::string& what);

// Escape as the keyboard delivers it: the dialog's message loop turns it
// into the cancel command.
void PressEscape(HWND dialog);

// The program with its dialog, started from the stamped copy the script made
// (or one the test makes), on a machine without an earlier installation.
class SetupProgram : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Nothing of an earlier installation is left: no files, no uninstall
    // entry, no Run value, shortcuts or program group.
    void ResetMachine();

    // Starts a setup program and waits for its welcome page.
    HWND StartSetup(const std::wstring& exe);

    void Screenshot(HWND wnd, const std::wstring& name);

    // Writes what the stand-in installers do into the install folder (the
    // manifest does not list this file, so the download leaves it alone).
    void ScriptInstallers(const std::string& ini);

    std::string InstallerLog();

    static size_t Count(const std::string& text, const std::string& what);

    static void ExpectWelcomePage(HWND dialog, bool existing, const std::wstring& folder);

    static bool OnFinishPage(HWND dialog);

    // An error box of the run, checked and answered.
    MessageBoxInfo ExpectErrorBox(const wchar_t* text, std::vector<int> buttons);

    void WaitForBoxGone(const MessageBoxInfo& box);

    std::wstring m_installFolder;
    ProgramRun m_program;
};

// Runs without the dialog: started from the command line, watched until it
// ends (no visible window of it may ever appear), with its log in a scratch
// folder.
class SilentSetupProgram : public SetupProgram {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program with the arguments and waits for its end; its exit
    // code, and in windowSeen whether any visible window of it showed.
    DWORD RunToEnd(const std::wstring& exe, const std::wstring& arguments, bool& windowSeen);

    std::vector<std::string> LogLines();

    // Whether a line of the log contains every one of the parts.
    bool LogHasLine(std::initializer_list<std::string> parts);

    static std::string Narrow(const std::wstring& text);

    std::string LogText();

    std::wstring m_spacedFolder;
    TempDir m_logDir;
    std::wstring m_log;
};

}  // namespace qxt::test
