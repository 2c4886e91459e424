// Runs of the setup program with its dialog that cannot go on: the error box
// each failed step shows (a failing installer, the download server down or
// answering with an error or a login page, a damaged or empty file list, a
// file with another digest, a disk too small, a refused certificate, a
// codec or an uninstall entry the system refuses) and the welcome page
// after it with nothing installed or replaced; a folder the program cannot
// install into, and an uninstall entry without a usable folder.
#include "core/InstallInfo.h"
#include "core/SetupLog.h"
#include "install/UninstallEntry.h"
#include "res/resource.h"
#include "tests/setup/program/SetupProgramFixture.h"
#include "transfer/FailureDetail.h"
#include "trust/MD5Checksum.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace qxt::test;

TEST_F(SetupProgram, FailingPluginInstallerRetriedThenIgnored)
{
    ScriptInstallers("[fp_pl_pfs_installer19.exe]\r\nExitCodes=1\r\n");
    HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);

    MessageBoxInfo box = ExpectErrorBox(L"Flash插件安装失败，请重试！", {IDABORT, IDRETRY, IDIGNORE});
    ASSERT_NE(box.wnd, nullptr);
    Screenshot(box.wnd, L"error-flash.png");
    EXPECT_TRUE(ReadControl(dialog, IDC_PROGRESS).visible);
    AnswerMessageBox(box, IDRETRY);
    WaitForBoxGone(box);

    box = ExpectErrorBox(L"Flash插件安装失败，请重试！", {IDABORT, IDRETRY, IDIGNORE});
    ASSERT_NE(box.wnd, nullptr);
    EXPECT_EQ(Count(InstallerLog(), "fp_pl_pfs_installer19.exe|"), 2u) << "Retry runs the installer again";
    AnswerMessageBox(box, IDIGNORE);
    WaitForBoxGone(box);

    ASSERT_TRUE(WaitUntil([&] { return OnFinishPage(dialog); }, kPageTimeoutMs));
    EXPECT_EQ(Count(InstallerLog(), "x264vfw.exe|"), 1u) << "Ignore goes on with the next step";
}

// A folder the program cannot install into is refused with a box before
// anything starts: no request to the server, no file in the root of a drive,
// no uninstall entry; the welcome page stays as the user left it.
TEST_F(SetupProgram, UnusableFolderIsRefusedBeforeAnythingStarts)
{
    TestHttpServer server;
    ASSERT_TRUE(server.Started());
    TempDir temp;
    const std::wstring exe = temp / L"QXTSetup.exe";
    ASSERT_TRUE(CopySetupForServer(server, exe));
    // Where a relative folder would have put the manifest: the root of the
    // program's current drive (it inherits ours) and of drive C.
    const std::wstring roots[] = {L"\\Client.txt", L"C:\\Client.txt"};
    for (const std::wstring& file : roots)
        ASSERT_EQ(::GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << "left over: " << file.c_str();

    HWND dialog = StartSetup(exe);
    ASSERT_NE(dialog, nullptr);
    const struct {
        const char* label;
        std::wstring folder;
        const wchar_t* text;
    } cases[] = {
        {"cleared", L"", L"请选择有效的安装路径！"},
        {"blanks", L"   ", L"请选择有效的安装路径！"},
        {"relative", L"QXTClient", L"请选择有效的安装路径！"},
        {"root of the current drive", L"\\QXTClient", L"请选择有效的安装路径！"},
        {"drive without backslash", L"C:QXTClient", L"请选择有效的安装路径！"},
        {"too long", L"C:\\" + std::wstring(250, L'a'), L"安装路径过长，请重新选择！"},
        {"a switch read into the folder", L"C:\\QXTClient /LOG=C:\\x.log", L"请选择有效的安装路径！"},
        {"device name", L"C:\\Games\\CON\\QXTClient", L"请选择有效的安装路径！"},
        {"name ending in a dot", L"C:\\Games.\\QXTClient", L"请选择有效的安装路径！"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ::SendMessageW(::GetDlgItem(dialog, IDC_INSTALL_PATH), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(c.folder.c_str()));
        Click(dialog, IDC_START);

        MessageBoxInfo box = ExpectErrorBox(c.text, {IDOK});
        ASSERT_NE(box.wnd, nullptr);
        if (c.folder.empty())
            Screenshot(box.wnd, L"error-folder.png");
        AnswerMessageBox(box, IDOK);
        WaitForBoxGone(box);
        ExpectWelcomePage(dialog, false, c.folder);
    }
    EXPECT_TRUE(server.Requests().empty()) << "nothing may be downloaded";
    for (const std::wstring& file : roots)
        EXPECT_EQ(::GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << file.c_str();
    InstallInfo entry{};
    EXPECT_NE(ReadUninstallEntry(entry), 1) << "a refused folder registers nothing";
}

// An uninstall entry whose folder the installation could not go back into
// counts as none: the welcome page offers the default folder to change.
TEST_F(SetupProgram, UninstallEntryWithoutAUsableFolderCountsAsNone)
{
    const wchar_t* entryKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QXTClient";
    const std::wstring tooLong = L"C:\\" + std::wstring(300, L'a');
    const DWORD number = 7;
    const struct {
        const char* label;
        DWORD type;  // REG_NONE: no InstallLocation value
        std::wstring text;
    } cases[] = {
        {"missing", REG_NONE, L""},
        {"empty", REG_SZ, L""},
        {"relative", REG_SZ, L"QXTClient"},
        {"blanks", REG_SZ, L"  "},
        {"too long", REG_SZ, tooLong},
        {"not a string", REG_DWORD, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ResetMachine();
        ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, entryKey, L"DisplayName", REG_SZ, L"Quolix", 14),
                  ERROR_SUCCESS);
        if (c.type == REG_SZ) {
            ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, entryKey, L"InstallLocation", REG_SZ, c.text.c_str(),
                                        static_cast<DWORD>((c.text.size() + 1) * sizeof(wchar_t))),
                      ERROR_SUCCESS);
        } else if (c.type == REG_DWORD) {
            ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, entryKey, L"InstallLocation", REG_DWORD, &number,
                                        sizeof number),
                      ERROR_SUCCESS);
        }

        HWND dialog = StartSetup(Env("QXT_SETUP_EXE"));
        ASSERT_NE(dialog, nullptr);
        ExpectWelcomePage(dialog, false, m_installFolder);
        m_program.Kill();
    }
}

namespace {

// Serves the sample client from the test's own server, with a codec whose
// registration fails in place of the product's codec, and writes a copy of
// the setup program that downloads from it.
void ServeClientWithFailingCodec(TestHttpServer& server, const std::wstring& exe)
{
    const std::wstring site = Env("QXT_SERVER_SITE");
    const std::string manifest = ReadFileBytes(site + L"\\manifest\\dotnet0\\Client.txt");
    ASSERT_NE(manifest.find("qxtcodec.dll|"), std::string::npos) << "the sample client has no codec";
    const std::wstring failing = qxt::test::HelperPath(L"testcodec_failing.dll");
    std::string failingDigest;
    for (wchar_t c : CMD5Checksum::DigestFile(failing.c_str()))
        failingDigest.push_back(static_cast<char>(c));
    ASSERT_EQ(failingDigest.size(), 32u);

    ASSERT_TRUE(server.Started());
    std::string list;
    size_t start = 0;
    while (start < manifest.size()) {
        size_t end = manifest.find("\r\n", start);
        if (end == std::string::npos)
            end = manifest.size();
        std::string line = manifest.substr(start, end - start);
        start = end + 2;
        const std::string name = line.substr(0, line.find('|'));
        if (name.empty())
            continue;
        std::wstring wideName(name.begin(), name.end());
        std::string body = ReadFileBytes(site + L"\\files\\" + wideName);
        if (name == "qxtcodec.dll") {
            body = ReadFileBytes(failing);
            line = name + "|" + failingDigest;
        }
        server.Serve("/Custom/DownloadClient?filename=" + name, HttpReply::Ok(body));
        list += line + "\r\n";
    }
    ServeFileList(server, HttpReply::Ok(list));
    ASSERT_TRUE(CopySetupForServer(server, exe));
}

// An uninstall entry key whose access list lets nobody set a value in it.
bool RefuseUninstallEntry()
{
    PSECURITY_DESCRIPTOR noValues = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x2;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                                &noValues, nullptr))
        return false;
    const wchar_t entry[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QXTClient";
    HKEY key = nullptr;
    LONG result = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, entry, 0, nullptr, 0, WRITE_DAC, nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS) {
        result = ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, noValues);
        ::RegCloseKey(key);
    }
    ::LocalFree(noValues);
    return result == ERROR_SUCCESS;
}

}  // namespace

// Every run that fails ends the same way: the start, the error box of the
// failed step, its answer, and the welcome page again with nothing registered.
TEST_F(SetupProgram, AFailedRunShowsItsErrorBoxAndReturnsToTheWelcomePage)
{
    enum class Cause { Installers, ServerDown, FailingCodec, Served, RefusedEntry };
    static const struct {
        const char* label;
        Cause cause;
        const char* installers;  // installers.ini for Cause::Installers
        const wchar_t* text;
        std::vector<int> buttons;
        int answer;
        const wchar_t* screenshot;  // nullptr: none
        const char* neverRuns;      // an installer the failed step keeps from running, or nullptr
        void (*serve)(TestHttpServer& server);  // what the test's own server answers, for Cause::Served
    } kCases[] = {
        {"the download fails while the server is down", Cause::ServerDown, nullptr,
         L"文件下载失败，请重试！\n无法连接到下载服务器，请检查网络连接。", {IDOK}, IDOK, L"error-download.png", nullptr,
         nullptr},
        {"the server answers the list with an error", Cause::Served, nullptr,
         L"文件下载失败，请重试！\n下载服务器返回了错误（HTTP 500）。", {IDOK}, IDOK, L"error-download-status.png",
         nullptr,
         [](TestHttpServer& server) {
             ServeFileList(server, HttpReply::Status(500, "Internal Server Error"));
         }},
        {"the network answers with its login page", Cause::Served, nullptr,
         L"文件下载失败，请重试！\n网络要求登录：服务器发来的是一个网页而不是文件列表，请先在浏览器中登录网络，然后重试。",
         {IDOK}, IDOK, L"error-download-login-page.png", nullptr,
         [](TestHttpServer& server) {
             ServeFileList(server, HttpReply::Ok("<!DOCTYPE html>\r\n<html><head><title>Wi-Fi</title></head>"
                                            "<body><form action=\"/login\"></form></body></html>\r\n"));
         }},
        {"a file arrives damaged", Cause::Served, nullptr,
         L"文件下载失败，请重试！\n文件在传输中损坏：client.dll 与文件列表中的校验值不符，请重试。", {IDOK}, IDOK,
         L"error-download-damaged.png", nullptr,
         [](TestHttpServer& server) {
             ServeFileList(server, HttpReply::Ok("client.dll|0123456789ABCDEF0123456789ABCDEF\r\n"));
             server.Serve("/Custom/DownloadClient?filename=client.dll", HttpReply::Ok(std::string(100000, 'd')));
         }},
        {"Abort on a failed encoder ends the run", Cause::Installers, "[x264vfw.exe]\r\nExitCodes=1\r\n",
         L"X264视频编码器安装失败，请重试！", {IDABORT, IDRETRY, IDIGNORE}, IDABORT, nullptr, nullptr, nullptr},
        {"a failed .NET installation ends the run with an OK box", Cause::Installers,
         "[dotNetFx40_Client_x86_x64.exe]\r\nExitCodes=1\r\n[wic_x86_chs.exe]\r\nExitCodes=1\r\n",
         L".Net framework 组件安装失败，请重试！", {IDOK}, IDOK, nullptr, "fp_pl_pfs_installer19.exe|", nullptr},
        {"a failed codec registration ends the run with an OK box", Cause::FailingCodec, nullptr,
         L"编解码器安装失败，请重试！", {IDOK}, IDOK, L"error-codecs.png", nullptr, nullptr},
        {"an uninstall entry the system refuses: Abort ends the run", Cause::RefusedEntry, nullptr,
         L"卸载信息写入失败，请重试！", {IDABORT, IDRETRY, IDIGNORE}, IDABORT, L"error-uninstall-entry.png", nullptr,
         nullptr},
    };
    const auto port = static_cast<unsigned short>(std::wcstoul(Env("QXT_SERVER_PORT").c_str(), nullptr, 10));
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        m_program.Kill();
        ResetMachine();

        std::wstring exe = Env("QXT_SETUP_EXE");
        TestHttpServer server;
        TempDir temp;
        switch (c.cause) {
        case Cause::Installers:
            ScriptInstallers(c.installers);
            break;
        case Cause::ServerDown:
            ASSERT_TRUE(ControlServer(L"stop"));
            ASSERT_TRUE(WaitUntil([&] { return !PortAnswers(port); }, 20000)) << "the server did not stop";
            break;
        case Cause::FailingCodec:
            exe = temp / L"QXTSetup.exe";
            ServeClientWithFailingCodec(server, exe);
            break;
        case Cause::Served:
            ASSERT_TRUE(server.Started());
            c.serve(server);
            exe = temp / L"QXTSetup.exe";
            ASSERT_TRUE(CopySetupForServer(server, exe));
            break;
        case Cause::RefusedEntry:
            // The entry's key takes no values (ResetMachine deletes it again).
            ASSERT_TRUE(RefuseUninstallEntry());
            break;
        }
        if (HasFatalFailure())
            return;

        HWND dialog = StartSetup(exe);
        ASSERT_NE(dialog, nullptr);
        Click(dialog, IDC_START);

        MessageBoxInfo box = ExpectErrorBox(c.text, c.buttons);
        ASSERT_NE(box.wnd, nullptr);
        if (c.screenshot)
            Screenshot(box.wnd, c.screenshot);
        AnswerMessageBox(box, c.answer);
        WaitForBoxGone(box);
        ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }));
        ExpectWelcomePage(dialog, false, m_installFolder);
        InstallInfo entry{};
        EXPECT_NE(ReadUninstallEntry(entry), 1) << "a failed run registers nothing";
        if (c.neverRuns) {
            EXPECT_EQ(Count(InstallerLog(), c.neverRuns), 0u) << "nothing after the failed step runs";
        }

        if (c.cause == Cause::ServerDown) {
            // With the server back, another run from the same page succeeds.
            ASSERT_TRUE(ControlServer(L"start"));
            ASSERT_TRUE(WaitUntil([&] { return PortAnswers(port); }, 20000)) << "the server did not come back";
            Click(dialog, IDC_START);
            EXPECT_TRUE(WaitUntil([&] { return OnFinishPage(dialog); }, kPageTimeoutMs));
        }
    }
}

// A server whose file and manifest are out of step: the body arrives whole
// but is not the listed file, so the run ends with the download error box and
// the copy in place stays.
TEST_F(SetupProgram, AFetchedFileWithAnotherDigestEndsWithTheDownloadErrorAndKeepsTheOldCopy)
{
    TestHttpServer server;
    ASSERT_TRUE(server.Started());
    ServeFileList(server, HttpReply::Ok("client.dll|0123456789ABCDEF0123456789ABCDEF\r\n"));
    server.Serve("/Custom/DownloadClient?filename=client.dll", HttpReply::Ok(std::string(100000, 's')));
    TempDir temp;
    const std::wstring exe = temp / L"QXTSetup.exe";
    ASSERT_TRUE(CopySetupForServer(server, exe));
    ::CreateDirectoryW(m_installFolder.c_str(), nullptr);
    const std::wstring destination = InstallFilePath(m_installFolder, L"client.dll");
    ASSERT_TRUE(WriteFileBytes(destination, "the file in place"));

    HWND dialog = StartSetup(exe);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    MessageBoxInfo box = ExpectErrorBox(
        L"文件下载失败，请重试！\n文件在传输中损坏：client.dll 与文件列表中的校验值不符，请重试。", {IDOK});
    ASSERT_NE(box.wnd, nullptr);
    AnswerMessageBox(box, IDOK);
    WaitForBoxGone(box);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, kPageTimeoutMs));
    ExpectWelcomePage(dialog, false, m_installFolder);
    EXPECT_EQ(ReadFileBytes(destination), "the file in place");
    EXPECT_EQ(::GetFileAttributesW((destination + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A disk too small for a file (a 1 MiB tmpfs that setup_program_e2e.sh
// mounts, typed in as the folder): the box names the file, the room it takes
// and the room there is once its part is gone, and nothing of it stays.
TEST_F(SetupProgram, ADiskTooSmallForAFileIsNamedWithTheRoomItTakesAndTheRoomThereIs)
{
    const std::wstring disk = Env("QXT_SMALL_DISK");
    if (disk.empty())
        GTEST_SKIP() << "setup_program_e2e.sh could not mount a small disk (mounting tmpfs needs root)";
    const std::wstring folder = disk + L"\\Quolix";
    DeleteTree(folder);
    TestHttpServer server;
    ASSERT_TRUE(server.Started());
    const std::string body(3 * 1024 * 1024, 'b');
    CMD5Checksum md5;
    md5.Update(reinterpret_cast<const BYTE*>(body.data()), static_cast<ULONG>(body.size()));
    const std::wstring digest = md5.Final();
    ServeFileList(server, HttpReply::Ok("big.bin|" + std::string(digest.begin(), digest.end()) + "\r\n"));
    server.Serve("/Custom/DownloadClient?filename=big.bin", HttpReply::Ok(body));
    TempDir temp;
    const std::wstring exe = temp / L"QXTSetup.exe";
    ASSERT_TRUE(CopySetupForServer(server, exe));

    HWND dialog = StartSetup(exe);
    ASSERT_NE(dialog, nullptr);
    ::SendMessageW(::GetDlgItem(dialog, IDC_INSTALL_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    Click(dialog, IDC_START);
    MessageBoxInfo box = WaitForMessageBox(m_program.Pid(), kPageTimeoutMs);
    ASSERT_NE(box.wnd, nullptr) << "no error box";
    ULARGE_INTEGER free{};
    ASSERT_TRUE(::GetDiskFreeSpaceExW((disk + L"\\").c_str(), &free, nullptr, nullptr));
    EXPECT_LT(free.QuadPart, body.size()) << "the disk is not too small";
    EXPECT_EQ(box.caption, L"错误");
    EXPECT_EQ(box.text, L"文件下载失败，请重试！\n磁盘空间不足：big.bin 需要 3.0 MB，可用空间只有 " + SizeText(free.QuadPart) +
                            L"。");
    Screenshot(box.wnd, L"error-download-disk.png");
    AnswerMessageBox(box, IDOK);
    WaitForBoxGone(box);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, kPageTimeoutMs));
    for (const wchar_t* name : {L"big.bin", L"big.bin.tmp"})
        EXPECT_EQ(::GetFileAttributesW(InstallFilePath(folder, name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
    m_program.Kill();
    DeleteTree(folder);
}

// A file list that is damaged or lists nothing: the run ends with the
// download error box before any file is fetched or replaced (and before any
// installer runs), and the log says which line or that the list was empty.
TEST_F(SetupProgram, ADamagedOrEmptyFileListEndsWithTheDownloadErrorAndChangesNothing)
{
    const std::string readme = "read me";
    const std::string body(100000, 'n');
    const struct {
        const char* label;
        std::string list;
        std::string logged;
    } kCases[] = {
        {"an entry without a digest", "readme.txt|" + Md5(readme) + "\r\nclient.dll|\r\n",
         "error: Manifest Client.txt, line 2 is damaged (the digest is not 32 hexadecimal digits): client.dll|\r\n"},
        {"a first line that is blank", "\r\nclient.dll|" + Md5(body) + "\r\n",
         "error: Manifest Client.txt lists no files"},
    };
    const std::wstring logPath = SetupLogPath(L"");
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        m_program.Kill();
        ResetMachine();
        TestHttpServer server;
        ASSERT_TRUE(server.Started());
        ServeFileList(server, HttpReply::Ok(c.list));
        server.Serve("/Custom/DownloadClient?filename=client.dll", HttpReply::Ok(body));
        server.Serve("/Custom/DownloadClient?filename=readme.txt", HttpReply::Ok(readme));
        TempDir temp;
        const std::wstring exe = temp / L"QXTSetup.exe";
        ASSERT_TRUE(CopySetupForServer(server, exe));
        ::CreateDirectoryW(m_installFolder.c_str(), nullptr);
        const std::wstring destination = InstallFilePath(m_installFolder, L"client.dll");
        ASSERT_TRUE(WriteFileBytes(destination, "the file in place"));
        ::DeleteFileW(logPath.c_str());

        HWND dialog = StartSetup(exe);
        ASSERT_NE(dialog, nullptr);
        Click(dialog, IDC_START);
        MessageBoxInfo box = ExpectErrorBox(L"文件下载失败，请重试！", {IDOK});
        ASSERT_NE(box.wnd, nullptr);
        AnswerMessageBox(box, IDOK);
        WaitForBoxGone(box);
        ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, kPageTimeoutMs));
        ExpectWelcomePage(dialog, false, m_installFolder);

        EXPECT_EQ(ReadFileBytes(destination), "the file in place");
        EXPECT_EQ(::GetFileAttributesW((destination + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(::GetFileAttributesW(InstallFilePath(m_installFolder, L"readme.txt").c_str()),
                  INVALID_FILE_ATTRIBUTES);
        for (const HttpRequestRecord& request : server.Requests())
            EXPECT_EQ(request.target.rfind("/Custom/DownloadClient?filename=files&dotnet=", 0), 0u) << request.target;
        EXPECT_EQ(Count(InstallerLog(), "dotNetFx40_Client_x86_x64.exe|"), 0u) << "no installer runs";
        const std::string log = ReadFileBytes(logPath);
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    }
}

// A setup stamped with an https address whose server has a certificate from
// an authority the machine does not trust: the download box names the
// certificate problem under its usual line, and nothing is installed.
TEST_F(SetupProgram, ARefusedCertificateIsNamedUnderTheDownloadBoxsFirstLine)
{
    HWND dialog = StartSetup(Env("QXT_SETUP_EXE_UNTRUSTED"));
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_START);
    MessageBoxInfo box =
        ExpectErrorBox(L"文件下载失败，请重试！\n安全连接失败：服务器的证书不是受信任的机构颁发的。", {IDOK});
    ASSERT_NE(box.wnd, nullptr);
    Screenshot(box.wnd, L"error-certificate.png");
    AnswerMessageBox(box, IDOK);
    WaitForBoxGone(box);
    ASSERT_TRUE(WaitUntil([&] { return ReadControl(dialog, IDC_START).visible; }, kPageTimeoutMs));
    ExpectWelcomePage(dialog, false, m_installFolder);
    for (const wchar_t* name : {L"Client.txt", L"QXTClient.exe"})
        EXPECT_EQ(::GetFileAttributesW(InstallFilePath(m_installFolder, name).c_str()), INVALID_FILE_ATTRIBUTES)
            << name;
}
