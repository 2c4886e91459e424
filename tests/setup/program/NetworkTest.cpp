// The setup program on networks that are slow, stall, drop the connection
// or go through a proxy that asks for a login, and over HTTPS: a run
// cancelled while the server sends nothing and one started again at once,
// a dropped connection resumed, the proxy's login asked for with the dialog
// and given by switches to a silent run, a whole installation over TLS.
#include "core/InstallInfo.h"
#include "core/SetupLog.h"
#include "install/UninstallEntry.h"
#include "res/resource.h"
#include "tests/setup/program/SetupProgramFixture.h"
#include "tests/support/Utf8Text.h"
#include "trust/MD5Checksum.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace qxt::test;

// A download through the test's own server that stalls part-way, so the run
// is cancelled while the server sends nothing.
TEST_F(SetupProgram, ConfirmedCancelDuringASlowDownloadLeavesTheDestinationAlone)
{
    TestHttpServer server;
    ASSERT_TRUE(server.Started());
    const std::string big(4 * 1024 * 1024, 'q');
    // Whatever an earlier run left of .NET on this machine.
    ServeFileList(server, HttpReply::Ok("big.bin|0123456789ABCDEF0123456789ABCDEF\r\n"));
    HttpReply slow = HttpReply::Ok(big);
    slow.holdAfter = 65536;
    server.Serve("/Custom/DownloadClient?filename=big.bin", slow);

    // A copy of the setup program whose trailer names this server.
    TempDir temp;
    const std::wstring exe = temp / L"QXTSetup.exe";
    ASSERT_TRUE(CopySetupForServer(server, exe));

    ::CreateDirectoryW(m_installFolder.c_str(), nullptr);
    const std::wstring destination = InstallFilePath(m_installFolder, L"big.bin");
    ASSERT_TRUE(WriteFileBytes(destination, "the file in place"));

    HWND dialog = StartSetup(exe);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    ASSERT_TRUE(server.WaitUntilHeld(kPageTimeoutMs)) << "requests: " << server.Requests().size();
    EXPECT_FALSE(ReadControl(dialog, IDC_CLOSE).enabled) << "close stays disabled during the download";
    EXPECT_TRUE(ReadControl(dialog, IDC_CANCEL_INSTALL).enabled);

    Click(dialog, IDC_CANCEL_INSTALL);
    MessageBoxInfo box = WaitForMessageBox(m_program.Pid());
    ASSERT_NE(box.wnd, nullptr);
    EXPECT_EQ(box.text, L"您确定要取消安装吗？");
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    AnswerMessageBox(box, IDYES);
    WaitForBoxGone(box);
    EXPECT_TRUE(WaitUntil([&] { return !ReadControl(dialog, IDC_CANCEL_INSTALL).enabled; }));

    // The server still sends nothing: the welcome page comes back anyway,
    // long before the request's 30 s receive timeout.
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, 10000));
    ExpectWelcomePage(dialog, false, m_installFolder);
    EXPECT_TRUE(NoTopWindow(m_program.Pid(), L"#32770", L"错误")) << "a cancel shows no box";
    EXPECT_EQ(ReadFileBytes(destination), "the file in place");
    server.Release();
}

namespace {

// The sample client from the test's own server with a large file listed
// first. The first request for that file stalls part-way until the server is
// released; every later one gets what it asks for, the rest of the file
// included.
void ServeClientWithAStallingFile(TestHttpServer& server, const std::string& big, size_t stallAt)
{
    const std::wstring site = Env("QXT_SERVER_SITE");
    const std::string manifest = ReadFileBytes(site + L"\\manifest\\dotnet0\\Client.txt");
    EXPECT_FALSE(manifest.empty()) << "no sample manifest";
    CMD5Checksum md5;
    md5.Update(reinterpret_cast<const BYTE*>(big.data()), static_cast<ULONG>(big.size()));
    const std::wstring digest = md5.Final();
    const std::string prefix = "/Custom/DownloadClient?filename=";
    const std::string bigTarget = prefix + "big.bin";
    auto bodies = std::make_shared<std::map<std::string, std::string>>();
    std::string list = "big.bin|" + std::string(digest.begin(), digest.end()) + "\r\n";
    size_t start = 0;
    while (start < manifest.size()) {
        size_t end = manifest.find("\r\n", start);
        if (end == std::string::npos)
            end = manifest.size();
        const std::string line = manifest.substr(start, end - start);
        start = end + 2;
        const std::string name = line.substr(0, line.find('|'));
        if (name.empty())
            continue;
        (*bodies)[prefix + name] = ReadFileBytes(site + L"\\files\\" + std::wstring(name.begin(), name.end()));
        list += line + "\r\n";
    }
    for (const char* dotnet : {"0", "1"})
        (*bodies)[prefix + "files&dotnet=" + dotnet] = list;

    auto bigRequests = std::make_shared<std::atomic<int>>(0);
    server.SetHandler([bodies, bigRequests, big, bigTarget, stallAt](const HttpRequestRecord& request) {
        if (request.target != bigTarget) {
            const auto found = bodies->find(request.target);
            return found == bodies->end() ? HttpReply::Status(404, "Not Found") : HttpReply::Ok(found->second);
        }
        const std::string range = request.Header("Range");
        if ((*bigRequests)++ == 0) {
            HttpReply stalling = HttpReply::Ok(big);
            stalling.holdAfter = stallAt;
            return stalling;
        }
        if (range.rfind("bytes=", 0) != 0)
            return HttpReply::Ok(big);
        const size_t first = std::strtoull(range.c_str() + 6, nullptr, 10);
        if (first >= big.size())
            return HttpReply::Status(416, "Range Not Satisfiable");
        HttpReply rest = HttpReply::Ok(big.substr(first));
        rest.status = 206;
        rest.reason = "Partial Content";
        rest.extraHeaders.push_back("Content-Range: bytes " + std::to_string(first) + "-" +
                                    std::to_string(big.size() - 1) + "/" + std::to_string(big.size()));
        return rest;
    });
}

}  // namespace

// Cancelled while the server stalls in the middle of a file, then started
// again at once while the server answers: the request left behind by the
// cancel still waits for the rest of its body, and the new run must not trip
// over it. It asks for the rest of what arrived and reaches the finish page.
TEST_F(SetupProgram, StartingAgainRightAfterACancelCompletesWhileTheOldRequestStillWaits)
{
    TestHttpServer server;
    ASSERT_TRUE(server.Started());
    std::string big(4 * 1024 * 1024, '\0');
    unsigned state = 3;
    for (char& c : big) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    ServeClientWithAStallingFile(server, big, 65536);
    if (HasFatalFailure())
        return;
    TempDir temp;
    const std::wstring exe = temp / L"QXTSetup.exe";
    ASSERT_TRUE(CopySetupForServer(server, exe));
    const std::wstring destination = InstallFilePath(m_installFolder, L"big.bin");
    const std::wstring temporary = destination + L".tmp";

    HWND dialog = StartSetup(exe);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    ASSERT_TRUE(server.WaitUntilHeld(kPageTimeoutMs)) << "requests: " << server.Requests().size();
    Click(dialog, IDC_CANCEL_INSTALL);
    MessageBoxInfo question = WaitForMessageBox(m_program.Pid());
    ASSERT_NE(question.wnd, nullptr);
    AnswerMessageBox(question, IDYES);
    WaitForBoxGone(question);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, 10000));
    EXPECT_NE(::GetFileAttributesW(temporary.c_str()), INVALID_FILE_ATTRIBUTES) << "nothing of the file was kept";

    // At once, while the first request for big.bin still waits on the server.
    Click(dialog, IDC_START);
    ASSERT_TRUE(WaitUntil([&] { return OnFinishPage(dialog) || !NoTopWindow(m_program.Pid(), L"#32770", L"错误"); },
                          kPageTimeoutMs));
    if (!OnFinishPage(dialog)) {
        const MessageBoxInfo box = WaitForMessageBox(m_program.Pid(), 1000);
        Screenshot(box.wnd, L"error-restart-after-cancel.png");
        FAIL() << "the run started again ended with the box " << ::testing::PrintToString(box.text);
    }
    EXPECT_TRUE(ReadFileBytes(destination) == big) << "big.bin is not whole";
    EXPECT_TRUE(IsReadOnly(destination));
    EXPECT_EQ(::GetFileAttributesW(temporary.c_str()), INVALID_FILE_ATTRIBUTES);
    std::vector<std::string> asked;  // the Range header of each request for big.bin
    for (const HttpRequestRecord& request : server.Requests())
        if (request.target == "/Custom/DownloadClient?filename=big.bin")
            asked.push_back(request.Header("Range"));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], "");
    EXPECT_EQ(asked[1].rfind("bytes=", 0), 0u) << "the new run did not take over the held part: " << asked[1];
    server.Release();
}

// The reference server, on a slow network, drops the connection half-way
// through a large file (it is stopped and started again): the program
// retries, asks for the rest and finishes without a box. The file ends whole,
// the server saw a partial request and the run's log names the retry.
TEST_F(SetupProgram, ADroppedConnectionHalfWayIsResumedAndTheRunCompletes)
{
    constexpr size_t kSize = 16 * 1024 * 1024;
    constexpr ULONGLONG kDropAt = 4 * 1024 * 1024;
    std::string body(kSize, '\0');
    unsigned state = 7;
    for (char& c : body) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    const std::wstring site = Env("QXT_SERVER_SITE");
    const std::wstring published = site + L"\\files\\big.bin";
    // Whatever happens, the sample site and its server are as they were for
    // the next test.
    struct SiteRestore {
        std::vector<std::pair<std::wstring, std::string>> manifests;
        std::wstring added;
        ~SiteRestore()
        {
            for (const auto& [path, text] : manifests)
                WriteFileBytes(path, text);
            ::DeleteFileW(added.c_str());
            ControlServer(L"stop");
            ControlServer(L"start");
        }
    } restore;
    restore.added = published;
    ASSERT_TRUE(WriteFileBytes(published, body));
    CMD5Checksum md5;
    md5.Update(reinterpret_cast<const BYTE*>(body.data()), static_cast<ULONG>(body.size()));
    const std::wstring digest = md5.Final();
    for (const wchar_t* flag : {L"0", L"1"}) {
        const std::wstring path = site + L"\\manifest\\dotnet" + flag + L"\\Client.txt";
        const std::string text = ReadFileBytes(path);
        ASSERT_FALSE(text.empty()) << "no sample manifest";
        restore.manifests.emplace_back(path, text);
        ASSERT_TRUE(WriteFileBytes(path, text + "big.bin|" + std::string(digest.begin(), digest.end()) + "\r\n"));
    }
    ASSERT_TRUE(ControlServer(L"stop"));
    ASSERT_TRUE(ControlServer(L"start-slow"));
    const std::wstring logPath = SetupLogPath(L"");
    ::DeleteFileW(logPath.c_str());

    HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    const std::wstring temporary = InstallFilePath(m_installFolder, L"big.bin.tmp");
    const auto held = [&] {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(temporary.c_str(), GetFileExInfoStandard, &data))
            return 0ull;
        return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    };
    ASSERT_TRUE(WaitUntil([&] { return held() >= kDropAt; }, kPageTimeoutMs)) << "the transfer never got going";
    ASSERT_TRUE(ControlServer(L"stop"));
    const unsigned long long atDrop = held();
    ASSERT_LT(atDrop, kSize) << "the transfer ended before the server was stopped";
    EXPECT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_STATUS).text.rfind(L"正在重试...big.bin (", 0) == 0; },
                          kPageTimeoutMs))
        << "the status line does not show the retry";
    Screenshot(dialog, L"progress-retry.png");
    ASSERT_TRUE(ControlServer(L"start"));

    ASSERT_TRUE(WaitUntil([&] { return OnFinishPage(dialog); }, kPageTimeoutMs));
    EXPECT_TRUE(NoTopWindow(m_program.Pid(), L"#32770", L"错误")) << "a dropped connection shows no box";
    EXPECT_TRUE(ReadFileBytes(InstallFilePath(m_installFolder, L"big.bin")) == body) << "the file is not whole";
    EXPECT_EQ(::GetFileAttributesW(temporary.c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string access = ReadFileBytes(Env("QXT_SERVER_STATE") + L"\\access.log");
    EXPECT_NE(access.find("filename=big.bin HTTP/1.1\" 206 "), std::string::npos) << access;
    const std::string log = ReadFileBytes(logPath);
    EXPECT_NE(log.find("filename=big.bin (retry 1/3, from byte "), std::string::npos) << log;
    EXPECT_NE(log.find("after the held part"), std::string::npos) << log;
}

// A proxy named in the system's Internet settings asks for a login: the
// dialog asks for it in its login box; leaving the box ends the run with
// the download box naming the login; a wrong password is asked for again,
// and the right one serves every request of the run.
TEST_F(SetupProgram, AProxyLoginIsAskedForAndAskedAgainAfterAWrongPassword)
{
    SystemProxySettings proxy(Env("QXT_PROXY_HOST"));
    ASSERT_TRUE(proxy.Set());
    const std::wstring user = Env("QXT_PROXY_USER");
    const std::wstring password = Env("QXT_PROXY_PASSWORD");
    const std::wstring logPath = SetupLogPath(L"");
    const size_t proxiedBefore = ProxiedRequests("filename=QXTClient.exe");

    HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    HWND box = WaitForTopWindow(m_program.Pid(), L"#32770", L"代理服务器登录", kPageTimeoutMs);
    ASSERT_NE(box, nullptr) << "no login box";
    EXPECT_EQ(ReadControl(box, IDC_PROXY_REFUSED).text, L"");
    EXPECT_NE(ReadControl(box, IDC_PROXY_PROMPT).text.find(Env("QXT_PROXY_HOST")), std::wstring::npos)
        << "the box names the proxy";
    Screenshot(box, L"proxy-login.png");
    Click(box, IDCANCEL);
    MessageBoxInfo error =
        ExpectErrorBox(L"文件下载失败，请重试！\n网络要求登录：代理服务器需要用户名和密码。", {IDOK});
    ASSERT_NE(error.wnd, nullptr);
    Screenshot(error.wnd, L"error-download-proxy-login.png");
    AnswerMessageBox(error, IDOK);
    WaitForBoxGone(error);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, kPageTimeoutMs));

    // Again, with a wrong password first.
    Click(dialog, IDC_START);
    box = WaitForTopWindow(m_program.Pid(), L"#32770", L"代理服务器登录", kPageTimeoutMs);
    ASSERT_NE(box, nullptr) << "no login box on the second run";
    ::SendMessageW(::GetDlgItem(box, IDC_PROXY_USER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(user.c_str()));
    ::SendMessageW(::GetDlgItem(box, IDC_PROXY_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"wrong-pass-2"));
    Click(box, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }, kPageTimeoutMs));
    box = WaitForTopWindow(m_program.Pid(), L"#32770", L"代理服务器登录", kPageTimeoutMs);
    ASSERT_NE(box, nullptr) << "a refused login is not asked for again";
    EXPECT_EQ(ReadControl(box, IDC_PROXY_REFUSED).text, L"用户名或密码不正确，请重新输入。");
    EXPECT_EQ(ReadControl(box, IDC_PROXY_USER).text, user) << "the name typed before stays";
    EXPECT_EQ(ReadControl(box, IDC_PROXY_PASSWORD).text, L"");
    Screenshot(box, L"proxy-login-refused.png");
    ::SendMessageW(::GetDlgItem(box, IDC_PROXY_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password.c_str()));
    Click(box, IDOK);

    EXPECT_TRUE(WaitUntil([&] { return OnFinishPage(dialog); }, kPageTimeoutMs));
    EXPECT_TRUE(NoTopWindow(m_program.Pid(), L"#32770", L"代理服务器登录")) << "asked once more than needed";
    EXPECT_GT(ProxiedRequests("filename=QXTClient.exe"), proxiedBefore) << "the client did not come through the proxy";
    const std::string log = ReadFileBytes(logPath);
    EXPECT_NE(log.find("a login for user " + std::string(user.begin(), user.end()) + " was typed in"),
              std::string::npos)
        << log;
    for (const char* secret : {"wrong-pass-2", "proxy-pass-1"})
        EXPECT_EQ(log.find(secret), std::string::npos) << "the log holds a password";
}

// Through a proxy that asks for a login, named with /PROXY= or in the
// system's Internet settings: the switches give the login; one still
// missing or refused ends the run with 233 and the log's last line says so;
// no password reaches the log.
TEST_F(SilentSetupProgram, ThroughAProxyThatAsksForALoginTheSwitchesGiveIt)
{
    const std::wstring proxy = Env("QXT_PROXY_HOST");
    const std::wstring login = L" /PROXYUSER=" + Env("QXT_PROXY_USER");
    const std::wstring password = Env("QXT_PROXY_PASSWORD");
    ASSERT_FALSE(proxy.empty());
    const struct {
        const char* label;
        bool systemSettings;  // the Internet settings name the proxy
        std::wstring switches;
        DWORD code;
        const wchar_t* detail;  // the last line's cause, for a failed run
    } kCases[] = {
        {"/PROXY= and its login", false, L"/PROXY=" + proxy + login + L" /PROXYPASS=" + password, 0, nullptr},
        {"the system's proxy and the login's switches", true, login + L" /PROXYPASS=" + password, 0, nullptr},
        {"no login", false, L"/PROXY=" + proxy, 233, L"网络要求登录：代理服务器需要用户名和密码。"},
        {"no login for the system's proxy", true, L"", 233, L"网络要求登录：代理服务器需要用户名和密码。"},
        {"a wrong password", false, L"/PROXY=" + proxy + login + L" /PROXYPASS=wrong-pass-2", 233,
         L"网络要求登录：代理服务器拒绝了所给的用户名或密码。"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        ResetMachine();
        std::unique_ptr<SystemProxySettings> settings;
        if (c.systemSettings) {
            settings = std::make_unique<SystemProxySettings>(proxy);
            ASSERT_TRUE(settings->Set());
        }
        const size_t proxiedBefore = ProxiedRequests("filename=QXTClient.exe");
        bool windowSeen = true;
        const DWORD code =
            RunToEnd(Env("QXT_SETUP_EXE"), L"/S /NOLAUNCH \"/LOG=" + m_log + L"\" " + c.switches, windowSeen);
        EXPECT_EQ(code, c.code) << LogText();
        EXPECT_FALSE(windowSeen);
        const std::vector<std::string> lines = LogLines();
        ASSERT_FALSE(lines.empty());
        if (c.code == 0) {
            EXPECT_TRUE(IsReadOnly(InstallFilePath(m_installFolder, L"QXTClient.exe")));
            // Once or twice: WinInet may try without the login first.
            EXPECT_GT(ProxiedRequests("filename=QXTClient.exe"), proxiedBefore) << "not through the proxy";
        } else {
            EXPECT_NE(lines.back().find("(exit code 233): " + Utf8(c.detail)), std::string::npos) << LogText();
            EXPECT_EQ(::GetFileAttributesW(InstallFilePath(m_installFolder, L"QXTClient.exe").c_str()),
                      INVALID_FILE_ATTRIBUTES);
            InstallInfo entry{};
            EXPECT_NE(ReadUninstallEntry(entry), 1);
        }
        const std::string log = LogText();
        for (const char* secret : {"wrong-pass-2", "proxy-pass-1"})
            EXPECT_EQ(log.find(secret), std::string::npos) << "the log holds a password: " << log;
        if (c.switches.find(L"/PROXYPASS=") != std::wstring::npos) {
            EXPECT_TRUE(LogHasLine({"Command line: ", "/PROXYPASS=(hidden)"})) << log;
        }
        if (c.code == 0 && !c.systemSettings)
            ::CopyFileW(m_log.c_str(), (Env("QXT_SCREENSHOTS") + L"\\silent-proxy.log").c_str(), FALSE);
        if (c.code != 0 && c.switches.find(L"wrong") != std::wstring::npos)
            ::CopyFileW(m_log.c_str(), (Env("QXT_SCREENSHOTS") + L"\\silent-proxy-refused.log").c_str(), FALSE);
    }
}

// Stamped with https://localhost:PORT, a server whose certificate comes from
// the authority the prefix trusts: the whole client comes over TLS, and the
// client's configuration names the server without the scheme.
TEST_F(SilentSetupProgram, InstallsOverHttpsAndTheClientConfigurationNamesTheHostWithoutTheScheme)
{
    bool windowSeen = true;
    const DWORD code = RunToEnd(Env("QXT_SETUP_EXE_HTTPS"),
                                L"/S /NOLAUNCH \"/LOG=" + m_log + L"\" /D=" + m_spacedFolder, windowSeen);
    EXPECT_EQ(code, 0u) << LogText();
    for (const wchar_t* name : {L"QXTClient.exe", L"QXTUnist.exe", L"readme.txt", L"x264vfw.exe"})
        EXPECT_TRUE(IsReadOnly(InstallFilePath(m_spacedFolder, name))) << name;
    const std::string host = Narrow(Env("QXT_TLS_HOST"));
    EXPECT_TRUE(LogHasLine({"Server host: https://" + host + " (from the executable's trailer)"})) << LogText();
    EXPECT_TRUE(LogHasLine({"GET https://" + host + "/Custom/DownloadClient?filename=QXTClient.exe", "status 200",
                            "stored"}))
        << LogText();
    EXPECT_FALSE(LogHasLine({"GET http://"})) << LogText();
    wchar_t configured[256] = {};
    ::GetPrivateProfileStringW(L"CONFIG", L"HOST", L"(none)", configured, 256,
                               InstallFilePath(m_spacedFolder, L"QXTClient.ini").c_str());
    EXPECT_EQ(std::wstring(configured), Env("QXT_TLS_HOST"));
    ::CopyFileW(m_log.c_str(), (Env("QXT_SCREENSHOTS") + L"\\silent-https.log").c_str(), FALSE);
}
