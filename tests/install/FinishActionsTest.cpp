// The finish actions on the test prefix's shell folders, Run key and client
// data folder; shortcuts are read back through IShellLinkW.
#include "install/FinishActions.h"

#include "install/ClientConfig.h"

#include "framework/Handles.h"
#include "framework/SystemErrorText.h"
#include "tests/install/ClientDataFolder.h"
#include "tests/install/InstallerFolder.h"
#include "tests/install/RegistryValues.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

using qxt::test::ClientDataFolder;
using qxt::test::InstallerFolder;
using qxt::test::MessageBoxWatcher;
using qxt::test::ReadValue;
using qxt::test::RegistryValue;

namespace {

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

struct Shortcut {
    bool loaded = false;
    std::wstring target, arguments, workingFolder, description, icon;
    int iconIndex = -1;
    int showCommand = -1;
};

Shortcut ReadShortcut(const std::wstring& file)
{
    Shortcut shortcut;
    const HRESULT initialized = ::CoInitialize(nullptr);
    {
        qxt::ComPtr<IShellLinkW> link;
        qxt::ComPtr<IPersistFile> persist;
        if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                         link.PutVoid())) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, persist.PutVoid())) &&
            SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
            wchar_t text[1024] = {};
            link->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
            shortcut.target = text;
            text[0] = L'\0';
            link->GetArguments(text, 1024);
            shortcut.arguments = text;
            text[0] = L'\0';
            link->GetWorkingDirectory(text, 1024);
            shortcut.workingFolder = text;
            text[0] = L'\0';
            link->GetDescription(text, 1024);
            shortcut.description = text;
            text[0] = L'\0';
            link->GetIconLocation(text, 1024, &shortcut.iconIndex);
            shortcut.icon = text;
            link->GetShowCmd(&shortcut.showCommand);
            shortcut.loaded = true;
        }
    }
    if (SUCCEEDED(initialized))
        ::CoUninitialize();
    return shortcut;
}

std::wstring SpecialFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    return path;
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class FinishActionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t current[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, current);
        m_currentFolder = current;
        ASSERT_FALSE(Exists(m_desktopShortcut)) << "left over";
        ASSERT_FALSE(Exists(m_group)) << "left over";
        ASSERT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, L"QXTClient").exists) << "left over";
        for (const wchar_t* name : {L"QXTClient.exe", L"QXTUnist.exe"})
            ASSERT_TRUE(m_folder.AddProgram(name));
    }
    void TearDown() override
    {
        // Creating the group's folder made it the current one; it cannot go while it is.
        ::SetCurrentDirectoryW(m_currentFolder.c_str());
        ::DeleteFileW(m_desktopShortcut.c_str());
        qxt::test::DeleteTree(m_group);
        EXPECT_FALSE(Exists(m_group));
        qxt::UniqueHkey run;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_ALL_ACCESS, run.Put()) == ERROR_SUCCESS)
            ::RegDeleteValueW(run.Get(), L"QXTClient");
        if (m_expectNoBoxes) {
            EXPECT_TRUE(m_watcher.Boxes().empty());
        }
    }

    InstallInfo Record(bool trailingBackslash = false) const
    {
        InstallInfo info;
        FillInstallInfo(info, m_folder.Path() + (trailingBackslash ? L"\\" : L""));
        return info;
    }

    ClientDataFolder m_data;  // first, so that the process leaves the folders it made before they go
    InstallerFolder m_folder;
    const std::wstring m_desktopShortcut = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Quolix.lnk";
    const std::wstring m_group = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\QXTClient";
    MessageBoxWatcher m_watcher{L"", {IDOK}};
    bool m_expectNoBoxes = true;
    std::wstring m_currentFolder;
};

TEST_F(FinishActionsTest, TheShortcutsHaveTheirProperties)
{
    const std::wstring client = m_folder / L"QXTClient.exe";
    const std::wstring uninstaller = m_folder / L"QXTUnist.exe";
    for (bool trailingBackslash : {false, true}) {
        SCOPED_TRACE(trailingBackslash ? "folder with a trailing backslash" : "folder without");
        const InstallInfo info = Record(trailingBackslash);

        EXPECT_EQ(CreateDesktopShortcut(info), TRUE);
        EXPECT_EQ(CreateProgramGroup(info), TRUE);

        const struct {
            std::wstring file, target, workingFolder, description;
        } kExpected[] = {
            // The desktop shortcut's working folder is the folder as recorded.
            {m_desktopShortcut, client, info.InstallLocation, L"Quolix"},
            {m_group + L"\\Quolix.lnk", client, m_folder.Path() + L"\\", L"Quolix"},
            {m_group + L"\\卸载Quolix.lnk", uninstaller, m_folder.Path() + L"\\", L"卸载Quolix"},
        };
        for (const auto& expected : kExpected) {
            SCOPED_TRACE(testing::PrintToString(expected.file));
            const Shortcut shortcut = ReadShortcut(expected.file);
            ASSERT_TRUE(shortcut.loaded);
            EXPECT_EQ(shortcut.target, expected.target);
            EXPECT_EQ(shortcut.arguments, L"");
            EXPECT_EQ(shortcut.workingFolder, expected.workingFolder);
            EXPECT_EQ(shortcut.description, expected.description);
            EXPECT_EQ(shortcut.icon, expected.target);
            EXPECT_EQ(shortcut.iconIndex, 0);
            EXPECT_EQ(shortcut.showCommand, SW_SHOWNORMAL);
        }
    }
}

TEST_F(FinishActionsTest, CreatingTheProgramGroupAgainReplacesItsShortcuts)
{
    InstallerFolder other;
    ASSERT_TRUE(other.AddProgram(L"QXTClient.exe"));
    ASSERT_TRUE(other.AddProgram(L"QXTUnist.exe"));
    InstallInfo otherInfo;
    FillInstallInfo(otherInfo, other.Path());
    ASSERT_EQ(CreateProgramGroup(otherInfo), TRUE);
    ASSERT_EQ(ReadShortcut(m_group + L"\\Quolix.lnk").target, other / L"QXTClient.exe");

    EXPECT_EQ(CreateProgramGroup(Record()), TRUE);

    EXPECT_EQ(ReadShortcut(m_group + L"\\Quolix.lnk").target, m_folder / L"QXTClient.exe");
    EXPECT_EQ(ReadShortcut(m_group + L"\\卸载Quolix.lnk").target, m_folder / L"QXTUnist.exe");
}

TEST_F(FinishActionsTest, TheRunValueIsTheUnquotedClientPathAndGoesWhenUnselected)
{
    ASSERT_TRUE(qxt::test::WriteString(HKEY_LOCAL_MACHINE, kRunKey, L"QxtTestOther", L"C:\\other.exe"));
    for (bool trailingBackslash : {false, true}) {
        EXPECT_EQ(AddRunEntry(Record(trailingBackslash)), TRUE);
        // The folder has a blank; the value still has no quotes.
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, L"QXTClient"),
                  RegistryValue::String(m_folder / L"QXTClient.exe"));
    }

    EXPECT_EQ(RemoveRunEntry(), TRUE);
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, L"QXTClient").exists);
    EXPECT_EQ(RemoveRunEntry(), TRUE) << "a missing value is no error";
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, L"QxtTestOther"), RegistryValue::String(L"C:\\other.exe"));

    qxt::UniqueHkey run;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_ALL_ACCESS, run.Put()), ERROR_SUCCESS);
    ::RegDeleteValueW(run.Get(), L"QxtTestOther");
}

TEST_F(FinishActionsTest, RemovingTheProgramGroupTakesEverythingInIt)
{
    EXPECT_EQ(RemoveProgramGroup(), TRUE) << "no group: nothing to do";

    ASSERT_TRUE(::CreateDirectoryW(m_group.c_str(), nullptr));
    for (const wchar_t* name : {L"\\Quolix.lnk", L"\\卸载Quolix.lnk", L"\\Readme from someone else.txt"})
        ASSERT_TRUE(qxt::test::WriteFileBytes(m_group + name, "link"));
    ASSERT_TRUE(::CreateDirectoryW((m_group + L"\\Extras").c_str(), nullptr));
    ASSERT_TRUE(qxt::test::WriteFileBytes(m_group + L"\\Extras\\tool.lnk", "foreign"));
    const std::wstring neighbour = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\QXTClient Tools";
    ASSERT_TRUE(::CreateDirectoryW(neighbour.c_str(), nullptr));

    EXPECT_EQ(RemoveProgramGroup(), TRUE);

    EXPECT_FALSE(Exists(m_group));
    EXPECT_TRUE(IsFolder(neighbour)) << "only the group itself goes";
    ::RemoveDirectoryW(neighbour.c_str());
}

TEST_F(FinishActionsTest, RemovingTheDesktopShortcutLeavesTheUsersOwnAlone)
{
    const std::wstring users = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\Quolix.lnk";
    ASSERT_NE(users, m_desktopShortcut);
    ASSERT_TRUE(qxt::test::WriteFileBytes(users, "the user's own"));

    EXPECT_EQ(RemoveDesktopShortcut(), TRUE) << "no shortcut: nothing to do";
    ASSERT_EQ(CreateDesktopShortcut(Record()), TRUE);
    ASSERT_TRUE(Exists(m_desktopShortcut));
    EXPECT_EQ(RemoveDesktopShortcut(), TRUE);

    EXPECT_FALSE(Exists(m_desktopShortcut));
    EXPECT_EQ(qxt::test::ReadFileBytes(users), "the user's own");
    ::DeleteFileW(users.c_str());
}

TEST_F(FinishActionsTest, CleaningTheDataFolderKeepsConfigUpdateAndFiles)
{
    const std::wstring data = GetClientDataFolder();
    ASSERT_EQ(data, m_data.Path());
    for (const wchar_t* folder : {L"Config", L"update", L"Cache", L"Cache\\Thumbs", L"Logs", L"Configs"})
        ASSERT_TRUE(::CreateDirectoryW((data + folder).c_str(), nullptr)) << testing::PrintToString(folder);
    for (const wchar_t* file : {L"Config\\QXTClient.ini", L"update\\patch.bin", L"Cache\\Thumbs\\1.png",
                                L"Logs\\client.log", L"Configs\\x.ini", L"a.dat"})
        ASSERT_TRUE(qxt::test::WriteFileBytes(data + file, "data")) << testing::PrintToString(file);

    EXPECT_EQ(CleanClientDataFolder(), TRUE);

    for (const wchar_t* kept : {L"Config\\QXTClient.ini", L"update\\patch.bin", L"a.dat"})
        EXPECT_EQ(qxt::test::ReadFileBytes(data + kept), "data") << testing::PrintToString(kept);
    for (const wchar_t* gone : {L"Cache", L"Logs", L"Configs"})
        EXPECT_FALSE(Exists(data + gone)) << testing::PrintToString(gone);
}

TEST_F(FinishActionsTest, CleaningAMissingDataFolderCreatesIt)
{
    ASSERT_FALSE(Exists(m_data.Company()));
    EXPECT_EQ(CleanClientDataFolder(), TRUE);
    EXPECT_TRUE(IsFolder(m_data.Path()));
}

// Processes running QXTClient.exe, by id.
std::vector<DWORD> RunningClients()
{
    std::vector<DWORD> ids;
    qxt::UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry))
        if (::lstrcmpiW(entry.szExeFile, L"QXTClient.exe") == 0)
            ids.push_back(entry.th32ProcessID);
    return ids;
}

TEST_F(FinishActionsTest, LaunchingTheClientDoesNotWaitForIt)
{
    ASSERT_TRUE(RunningClients().empty()) << "a client of some other test still runs";
    m_folder.Set(L"QXTClient.exe", L"StayRunning", L"1");
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);

    LaunchClient(Record());

    // It returned while the client keeps running (until ended below).
    std::vector<qxt::test::InstallerRun> runs;
    for (int i = 0; i < 500 && runs.empty(); ++i) {
        ::Sleep(20);
        runs = m_folder.Runs();
    }
    const std::vector<DWORD> clients = RunningClients();
    ASSERT_EQ(clients.size(), 1u);
    qxt::UniqueKernelHandle client(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, clients[0]));
    ASSERT_TRUE(client);
    EXPECT_EQ(::WaitForSingleObject(client.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ::TerminateProcess(client.Get(), 0);
    EXPECT_EQ(::WaitForSingleObject(client.Get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));

    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].name, L"QXTClient.exe");
    EXPECT_EQ(runs[0].parameters, L"");
    EXPECT_EQ(runs[0].currentFolder, current) << "no start folder of its own";
}

TEST_F(FinishActionsTest, AClientThatCannotStartIsReported)
{
    ASSERT_TRUE(::DeleteFileW((m_folder / L"QXTClient.exe").c_str()));
    m_expectNoBoxes = false;

    LaunchClient(Record());

    const auto boxes = m_watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, SystemErrorText(ERROR_FILE_NOT_FOUND));
}

}  // namespace
