// The fixtures' machinery and the helpers the end-to-end tests share.
#include "tests/setup/program/SetupProgramFixture.h"

#include "core/InstallInfo.h"
#include "install/FinishActions.h"
#include "install/InstallerKeyAccess.h"
#include "res/resource.h"
#include "setup/InstallLocation.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdlib>

namespace qxt::test {

std::wstring Env(const char* name)
{
    const char* value = std::getenv(name);
    if (!value)
        return {};
    std::wstring wide;
    for (const char* p = value; *p; ++p)
        wide.push_back(static_cast<unsigned char>(*p));
    return wide;
}

bool ControlServer(const std::wstring& request)
{
    const std::wstring folder = Env("QXT_SERVER_CONTROL");
    const std::wstring done = folder + L"\\" + request + L".done";
    ::DeleteFileW(done.c_str());
    if (!WriteFileBytes(folder + L"\\" + request, ""))
        return false;
    const bool answered = WaitUntil([&] { return ::GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
    ::DeleteFileW(done.c_str());
    return answered;
}

bool PortAnswers(unsigned short port)
{
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    const bool answered = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::closesocket(s);
    ::WSACleanup();
    return answered;
}

bool CopySetupForServer(const TestHttpServer& server, const std::wstring& exe)
{
    const std::string image = ReadFileBytes(qxt::test::HelperPath(L"..\\QXTSetup.exe"));
    std::string host;
    for (wchar_t c : server.Host())
        host.push_back(static_cast<char>(c));
    // Appended straight after the image, as a publisher may do by hand.
    return !image.empty() && WriteFileBytes(exe, image + "$" + host);
}

void ServeFileList(TestHttpServer& server, const HttpReply& reply)
{
    for (const char* dotnet : {"0", "1"})
        server.Serve(std::string("/Custom/DownloadClient?filename=files&dotnet=") + dotnet, reply);
}

std::wstring IniValue(const std::wstring& file, const wchar_t* section, const wchar_t* key)
{
    wchar_t value[512] = {};
    ::GetPrivateProfileStringW(section, key, L"<missing>", value, 512, file.c_str());
    return value;
}

SystemProxySettings::SystemProxySettings(const std::wstring& proxy)
{
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &m_key, nullptr) !=
        ERROR_SUCCESS)
        return;
    const DWORD enable = 1;
    m_set = ::RegSetValueExW(m_key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable),
                             sizeof enable) == ERROR_SUCCESS &&
            ::RegSetValueExW(m_key, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(proxy.c_str()),
                             static_cast<DWORD>((proxy.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

SystemProxySettings::~SystemProxySettings()
{
    if (!m_key)
        return;
    const DWORD disable = 0;
    ::RegSetValueExW(m_key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&disable), sizeof disable);
    ::RegDeleteValueW(m_key, L"ProxyServer");
    ::RegCloseKey(m_key);
}

size_t ProxiedRequests(const std::string& what)
{
    const std::string log = ReadFileBytes(Env("QXT_PROXY_LOG"));
    size_t count = 0;
    for (size_t at = log.find("Request ("); at != std::string::npos; at = log.find("Request (", at + 1)) {
        const size_t end = log.find('\n', at);
        if (log.substr(at, end - at).find(what) != std::string::npos)
            ++count;
    }
    return count;
}

void PressEscape(HWND dialog)
{
    ::PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageW(dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void SetupProgram::SetUp()
{
    ASSERT_FALSE(Env("QXT_SETUP_EXE").empty()) << "run through setup_program_e2e.sh";
    m_installFolder = GetDefaultInstallPath(nullptr);
    ResetMachine();
}

void SetupProgram::TearDown()
{
    m_program.Kill();
    ResetMachine();
}

void SetupProgram::ResetMachine()
{
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QXTClient");
    RemoveRunEntry();
    RemoveDesktopShortcut();
    RemoveProgramGroup();
    DeleteTree(m_installFolder);
    // No key left open to Everyone by a test that failed half-way.
    RestoreLeftInstallerKeyAccess();
}

HWND SetupProgram::StartSetup(const std::wstring& exe)
{
    EXPECT_TRUE(m_program.Start(exe));
    HWND dialog = nullptr;
    WaitUntil(
        [&] {
            dialog = WaitForTopWindow(m_program.Pid(), L"#32770", L"QXTSetup", 0);
            return dialog || m_program.WaitForExit(0);
        },
        kPageTimeoutMs);
    EXPECT_NE(dialog, nullptr) << "no setup dialog";
    if (dialog) {
        EXPECT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }));
    }
    return dialog;
}

void SetupProgram::Screenshot(HWND wnd, const std::wstring& name)
{
    const std::wstring folder = Env("QXT_SCREENSHOTS");
    ::RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    WaitUntil([] { return false; }, 300);  // the panel's fade settles
    EXPECT_TRUE(SaveWindowScreenshot(wnd, folder + L"\\" + name)) << name.c_str();
}

void SetupProgram::ScriptInstallers(const std::string& ini)
{
    ::CreateDirectoryW(m_installFolder.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(InstallFilePath(m_installFolder, L"installers.ini"), ini));
}

std::string SetupProgram::InstallerLog()
{
    return ReadFileBytes(InstallFilePath(m_installFolder, L"installers.log"));
}

size_t SetupProgram::Count(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

void SetupProgram::ExpectWelcomePage(HWND dialog, bool existing, const std::wstring& folder)
{
    const ControlState edit = ReadControl(dialog, IDC_INSTALL_PATH);
    EXPECT_TRUE(edit.visible);
    EXPECT_EQ(edit.enabled, !existing);
    EXPECT_EQ(edit.text, folder);
    const ControlState browse = ReadControl(dialog, IDC_BROWSE);
    EXPECT_TRUE(browse.visible);
    EXPECT_EQ(browse.enabled, !existing);
    const ControlState start = ReadControl(dialog, IDC_START);
    EXPECT_TRUE(start.visible);
    EXPECT_TRUE(start.enabled);
    EXPECT_TRUE(ReadControl(dialog, IDC_CLOSE).enabled);
    EXPECT_FALSE(ReadControl(dialog, IDC_CANCEL_INSTALL).visible);
    EXPECT_FALSE(ReadControl(dialog, IDC_PROGRESS).visible);
    EXPECT_FALSE(ReadControl(dialog, IDC_STATUS).visible);
    EXPECT_FALSE(ReadControl(dialog, IDC_FINISH).visible);
    for (int id : {IDC_AUTORUN, IDC_DESKTOP_SHORTCUT, IDC_PROGRAM_GROUP})
        EXPECT_FALSE(ReadControl(dialog, id).visible) << id;
}

bool SetupProgram::OnFinishPage(HWND dialog)
{
    return ReadControl(dialog, IDC_FINISH).visible;
}

MessageBoxInfo SetupProgram::ExpectErrorBox(const wchar_t* text, std::vector<int> buttons)
{
    MessageBoxInfo box = WaitForMessageBox(m_program.Pid(), kPageTimeoutMs);
    EXPECT_NE(box.wnd, nullptr) << "no error box";
    EXPECT_EQ(box.caption, L"错误");
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.buttons, buttons);
    EXPECT_TRUE(box.hasErrorIcon);
    return box;
}

void SetupProgram::WaitForBoxGone(const MessageBoxInfo& box)
{
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box.wnd); }));
}

void SilentSetupProgram::SetUp()
{
    SetupProgram::SetUp();
    m_spacedFolder = GetDefaultInstallPath(nullptr) + L" Games\\My Quolix";
    DeleteTree(m_spacedFolder);
    m_log = m_logDir / L"setup run.log";
}

void SilentSetupProgram::TearDown()
{
    SetupProgram::TearDown();
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QXTClient");
    DeleteTree(m_spacedFolder.substr(0, m_spacedFolder.rfind(L'\\')));
}

DWORD SilentSetupProgram::RunToEnd(const std::wstring& exe, const std::wstring& arguments, bool& windowSeen)
{
    windowSeen = false;
    EXPECT_TRUE(m_program.Start(exe, arguments));
    DWORD code = 0xdeadbeef;
    const bool ended = WaitUntil(
        [&] {
            if (!NoTopWindow(m_program.Pid(), nullptr, nullptr))
                windowSeen = true;
            return m_program.WaitForExit(0, &code);
        },
        kPageTimeoutMs * 2);
    EXPECT_TRUE(ended) << "the silent run did not end";
    return code;
}

std::vector<std::string> SilentSetupProgram::LogLines()
{
    std::vector<std::string> lines;
    const std::string bytes = ReadFileBytes(m_log);
    size_t start = 0;
    for (size_t end = bytes.find("\r\n"); end != std::string::npos; end = bytes.find("\r\n", start)) {
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool SilentSetupProgram::LogHasLine(std::initializer_list<std::string> parts)
{
    for (const std::string& line : LogLines()) {
        bool all = true;
        for (const std::string& part : parts)
            all = all && line.find(part) != std::string::npos;
        if (all)
            return true;
    }
    return false;
}

std::string SilentSetupProgram::Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text)
        narrow.push_back(static_cast<char>(c));
    return narrow;
}

std::string SilentSetupProgram::LogText()
{
    return ReadFileBytes(m_log);
}

}  // namespace qxt::test
