// The .NET Framework step with stand-in installers: which installer runs, in
// which order, with which parameters; the IE MAIN key's access list while they
// run and afterwards; the Windows Update service and cache of the test prefix.
#include "install/Prerequisites.h"

#include "core/ProductNames.h"
#include "framework/Handles.h"
#include "framework/SystemErrorText.h"
#include "framework/Unattended.h"
#include "tests/install/ConsoleCapture.h"
#include "tests/install/InstallerFolder.h"
#include "tests/install/KeyDescriptor.h"
#include "tests/install/RegistryValues.h"
#include "tests/support/IeMainAcl.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

using qxt::test::ConsoleCapture;
using qxt::test::InstallerFolder;
using qxt::test::MessageBoxWatcher;

namespace {

using Names = std::vector<std::wstring>;
using Lines = std::vector<std::string>;

const wchar_t kDotNet[] = L"dotNetFx40_Client_x86_x64.exe";
const wchar_t kWic[] = L"wic_x86_chs.exe";
const wchar_t kSetupKey[] = L"Software\\Microsoft\\NET Framework Setup";
const wchar_t* const kDotNetKeys[2] = {
    L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4.0\\Client",
    L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client",
};
const wchar_t kIeMainKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\MAIN";
// The key as the security functions (and the saved access lists) name it.
const wchar_t kIeMainObject[] = L"MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\MAIN\\";
// The one entry the step adds while the installers run: Everyone may read,
// write, create sub-keys and delete, inherited by sub-keys and objects; never
// change the owner or the access list.
const std::vector<qxt::test::Entry> kInstallerEntry = {
    {KEY_READ | KEY_WRITE | DELETE, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE}};


bool SetDword(const wchar_t* path, const wchar_t* name, DWORD value)
{
    qxt::UniqueHkey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
}

// The "Install" values of the two .NET keys; -1 removes the value.
void SetDotNetInstall(long long v40, long long v4)
{
    const long long values[2] = {v40, v4};
    for (int i = 0; i < 2; ++i) {
        if (values[i] >= 0) {
            ASSERT_TRUE(SetDword(kDotNetKeys[i], L"Install", static_cast<DWORD>(values[i])));
        } else {
            qxt::UniqueHkey key;
            if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDotNetKeys[i], 0, KEY_ALL_ACCESS, key.Put()) == ERROR_SUCCESS)
                ::RegDeleteValueW(key.Get(), L"Install");
        }
    }
}

std::wstring WindowsFolder()
{
    wchar_t path[MAX_PATH] = {};
    ::GetWindowsDirectoryW(path, MAX_PATH);
    return path;
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD WindowsUpdateState()
{
    qxt::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    qxt::UniqueServiceHandle service(::OpenServiceW(manager.Get(), L"WuAuServ", SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    if (!::QueryServiceStatus(service.Get(), &status))
        return 0;
    return status.dwCurrentState;
}

bool WaitForUpdateState(DWORD state)
{
    return qxt::test::WaitUntil([&] { return WindowsUpdateState() == state; }, 20000);
}

bool StopWindowsUpdate()
{
    qxt::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    qxt::UniqueServiceHandle service(
        ::OpenServiceW(manager.Get(), L"WuAuServ", SERVICE_STOP | SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    ::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
    return WaitForUpdateState(SERVICE_STOPPED);
}

bool StartWindowsUpdate()
{
    qxt::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    qxt::UniqueServiceHandle service(::OpenServiceW(manager.Get(), L"WuAuServ", SERVICE_START));
    ::StartServiceW(service.Get(), 0, nullptr);
    return WaitForUpdateState(SERVICE_RUNNING);
}

class PrerequisitesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        HKEY key = nullptr;
        s_setupKeyExisted = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSetupKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (key)
            ::RegCloseKey(key);
        s_updateWasRunning = WindowsUpdateState() == SERVICE_RUNNING;
    }
    static void TearDownTestSuite()
    {
        // Only a key tree this test made is removed; values it changed in an
        // existing one are put back by each test.
        if (!s_setupKeyExisted)
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSetupKey);
        // The service runs only if it ran before: no service process is left behind.
        if (!s_updateWasRunning)
            StopWindowsUpdate();
    }

    void SetUp() override
    {
        ASSERT_FALSE(s_setupKeyExisted) << "the prefix has a .NET Framework registration of its own";
        m_aclBefore = IeMainAcl();
        ASSERT_EQ(m_aclBefore.find(L"WD"), std::wstring::npos) << "Everyone already has access";
        m_ownerAndAccessBefore = qxt::test::OwnerAndAccess(kIeMainObject);
        ASSERT_FALSE(SavedAccess().exists) << "an earlier run left the key open";
        for (const wchar_t* name : {kDotNet, kWic}) {
            ASSERT_TRUE(m_folder.AddProgram(name));
            m_folder.Set(name, L"RecordAcl", L"1");
        }
        SetDotNetInstall(-1, -1);
    }
    void TearDown() override
    {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSetupKey);
        if (m_expectNoBoxes) {
            EXPECT_TRUE(m_watcher.Boxes().empty()) << "no message box when every installer starts";
        }
    }

    BOOL Run()
    {
        InstallInfo info = m_folder.Record();
        return InstallDotNetFramework(info);
    }

    // Every installer ran with the fixed parameters while Everyone could write
    // the key, but not change its owner or access list; afterwards the key
    // has its old owner and access list again, and nothing waits to be put back.
    void ExpectInstallerConditions()
    {
        for (const auto& run : m_folder.Runs()) {
            EXPECT_EQ(run.parameters, L"/passive /promptrestart") << testing::PrintToString(run.name);
            EXPECT_EQ(qxt::test::EveryoneEntries(run.acl), kInstallerEntry) << testing::PrintToString(run.acl);
        }
        EXPECT_EQ(IeMainAcl(), m_aclBefore);
        EXPECT_EQ(qxt::test::OwnerAndAccess(kIeMainObject), m_ownerAndAccessBefore);
        EXPECT_FALSE(SavedAccess().exists);
    }

    static qxt::test::RegistryValue SavedAccess()
    {
        return qxt::test::ReadValue(HKEY_LOCAL_MACHINE, kSavedKeyAccessKey, kIeMainObject);
    }

    static bool s_setupKeyExisted;
    static bool s_updateWasRunning;
    InstallerFolder m_folder;
    std::wstring m_aclBefore;
    std::wstring m_ownerAndAccessBefore;
    MessageBoxWatcher m_watcher{L"", {IDOK}};
    bool m_expectNoBoxes = true;
};

bool PrerequisitesTest::s_setupKeyExisted = false;
bool PrerequisitesTest::s_updateWasRunning = false;

// A scratch Windows Update cache with a file in it.
class UpdateCache {
public:
    UpdateCache() : m_path(WindowsFolder() + L"\\SoftwareDistribution")
    {
        ::CreateDirectoryW(m_path.c_str(), nullptr);
        ::CreateDirectoryW((m_path + L"\\Download").c_str(), nullptr);
        qxt::test::WriteFileBytes(m_path + L"\\Download\\update.cab", "cab");
    }
    ~UpdateCache()
    {
        ::DeleteFileW((m_path + L"\\Download\\update.cab").c_str());
        ::RemoveDirectoryW((m_path + L"\\Download").c_str());
        ::RemoveDirectoryW(m_path.c_str());
    }
    bool Exists() const { return ::Exists(m_path); }

private:
    std::wstring m_path;
};

// While it lives, the prefix's Windows Update service runs testservice.exe
// with the given settings instead of its own program; afterwards the service
// has its program, type and state back.
class StandInUpdateService {
public:
    explicit StandInUpdateService(const std::wstring& settings)
    {
        m_manager.Reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        m_service.Reset(::OpenServiceW(m_manager.Get(), L"WuAuServ", SERVICE_ALL_ACCESS));
        DWORD needed = 0;
        ::QueryServiceConfigW(m_service.Get(), nullptr, 0, &needed);
        std::vector<BYTE> buffer(needed ? needed : 1);
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        if (!needed || !::QueryServiceConfigW(m_service.Get(), config, needed, &needed))
            return;
        m_program = config->lpBinaryPathName;
        m_type = config->dwServiceType;
        m_wasRunning = WindowsUpdateState() == SERVICE_RUNNING;
        if (!StopWindowsUpdate())
            return;
        const std::wstring binary = L"\"" + qxt::test::HelperPath(L"testservice.exe") + L"\" WuAuServ " + settings;
        m_changed = ::ChangeServiceConfigW(m_service.Get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_NO_CHANGE,
                                           SERVICE_NO_CHANGE, binary.c_str(), nullptr, nullptr, nullptr, nullptr,
                                           nullptr, nullptr) != FALSE;
        m_started = m_changed && ::StartServiceW(m_service.Get(), 0, nullptr) &&
                    WaitForUpdateState(SERVICE_RUNNING);
    }
    StandInUpdateService(const StandInUpdateService&) = delete;
    StandInUpdateService& operator=(const StandInUpdateService&) = delete;
    ~StandInUpdateService()
    {
        SERVICE_STATUS status{};
        ::ControlService(m_service.Get(), 200, &status);  // testservice.exe ends at once on it
        EXPECT_TRUE(WaitForUpdateState(SERVICE_STOPPED)) << "the stand-in service did not end";
        if (m_changed) {
            EXPECT_TRUE(::ChangeServiceConfigW(m_service.Get(), m_type, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                               m_program.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                               nullptr));
        }
        if (m_wasRunning)
            ::StartServiceW(m_service.Get(), 0, nullptr);
    }

    // Running the stand-in.
    bool Running() const { return m_started; }

private:
    qxt::UniqueServiceHandle m_manager, m_service;
    std::wstring m_program;
    DWORD m_type = SERVICE_WIN32_SHARE_PROCESS;
    bool m_wasRunning = false, m_changed = false, m_started = false;
};

TEST_F(PrerequisitesTest, AnInstalledFrameworkRunsAndChangesNothing)
{
    static const struct {
        const char* label;
        long long v40, v4;
    } kCases[] = {
        {"v4.0 Client", 1, -1},
        {"v4 Client", -1, 1},
        {"v4.0 says 0, v4 says 1", 0, 1},
    };
    UpdateCache cache;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        SetDotNetInstall(c.v40, c.v4);
        EXPECT_EQ(Run(), TRUE);
        EXPECT_TRUE(m_folder.Runs().empty());
        EXPECT_EQ(IeMainAcl(), m_aclBefore);
        EXPECT_TRUE(cache.Exists());
    }
}

TEST_F(PrerequisitesTest, TheInstallersRunInTheirOrderUntilOneSucceeds)
{
    static const struct {
        const char* label;
        long long v40, v4;  // "Install" values that do not say "installed"
        const wchar_t* dotNetExits;
        const wchar_t* wicExits;
        Names runs;
        BOOL result;
        bool cacheReset;
    } kCases[] = {
        {"first .NET run succeeds", -1, -1, L"0", L"0", {kDotNet}, TRUE, false},
        {"second .NET run after WIC", 0, 2, L"1,0", L"0", {kDotNet, kWic, kDotNet}, TRUE, false},
        {"third .NET run after the cache reset", 2, 0, L"1,1,0", L"0", {kDotNet, kWic, kDotNet, kDotNet}, TRUE, true},
        {"failed WIC skips the second .NET run", -1, 0, L"1,0", L"1603", {kDotNet, kWic, kDotNet}, TRUE, true},
        {"every run fails", -1, -1, L"1,1,1", L"0", {kDotNet, kWic, kDotNet, kDotNet}, FALSE, true},
        {"a restart request is a failure", -1, -1, L"3010", L"3010", {kDotNet, kWic, kDotNet}, FALSE, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        SetDotNetInstall(c.v40, c.v4);
        m_folder.ClearRuns();
        m_folder.SetExitCodes(kDotNet, c.dotNetExits);
        m_folder.SetExitCodes(kWic, c.wicExits);
        UpdateCache cache;

        ConsoleCapture console;
        EXPECT_EQ(Run(), c.result);
        const Lines lines = console.Lines();

        EXPECT_EQ(m_folder.RunNames(), c.runs);
        ExpectInstallerConditions();
        EXPECT_EQ(cache.Exists(), !c.cacheReset);
        // The service is stopped and started only around the cache reset.
        EXPECT_EQ(lines.empty(), !c.cacheReset) << testing::PrintToString(lines);
    }
}

// With somebody watching, the installers show their progress and offer a
// restart; unattended they show nothing and never restart, and nothing of
// the step waits for an answer.
TEST_F(PrerequisitesTest, TheInstallersAreQuietWhenNobodyWatches)
{
    static const struct {
        const char* label;
        bool unattended;
        const wchar_t* dotNetParameters;
        const wchar_t* wicParameters;
    } kCases[] = {
        {"with the dialog", false, L"/passive /promptrestart", L"/passive /promptrestart"},
        {"silent run", true, L"/q /norestart", L"/quiet /norestart"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        m_folder.ClearRuns();
        // Every attempt, the cache reset among them.
        m_folder.SetExitCodes(kDotNet, L"1,1,0");
        m_folder.SetExitCodes(kWic, L"0");
        UpdateCache cache;

        SetUnattended(c.unattended);
        ConsoleCapture console;
        const BOOL result = Run();
        SetUnattended(false);

        EXPECT_EQ(result, TRUE);
        EXPECT_FALSE(cache.Exists());
        ASSERT_EQ(m_folder.RunNames(), Names({kDotNet, kWic, kDotNet, kDotNet}));
        for (const auto& run : m_folder.Runs()) {
            EXPECT_EQ(run.parameters, run.name == kDotNet ? c.dotNetParameters : c.wicParameters)
                << testing::PrintToString(run.name);
            EXPECT_EQ(qxt::test::EveryoneEntries(run.acl), kInstallerEntry) << testing::PrintToString(run.acl);
        }
        EXPECT_EQ(IeMainAcl(), m_aclBefore);
    }
}

// The service is put back as it was: one that was stopped stays stopped, one
// that ran runs again.
TEST_F(PrerequisitesTest, TheServiceIsLeftAsItWasAlsoWithoutACache)
{
    const std::wstring cache = WindowsFolder() + L"\\SoftwareDistribution";
    ASSERT_FALSE(Exists(cache));
    ASSERT_TRUE(StopWindowsUpdate());
    m_folder.SetExitCodes(kDotNet, L"1,0");
    m_folder.SetExitCodes(kWic, L"1");

    ConsoleCapture console;
    EXPECT_EQ(Run(), TRUE);

    EXPECT_EQ(console.Lines(), Lines({"Service is already stopped.\n",
                                      "Service was not running before; it stays stopped.\n"}));
    EXPECT_EQ(WindowsUpdateState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(m_folder.RunNames(), Names({kDotNet, kWic, kDotNet}));
    ExpectInstallerConditions();

    // A running service is stopped for the reset and started again.
    ASSERT_TRUE(StartWindowsUpdate());
    m_folder.ClearRuns();
    m_folder.SetExitCodes(kDotNet, L"1,2");
    ConsoleCapture again;
    EXPECT_EQ(Run(), FALSE);
    EXPECT_EQ(again.Lines(), Lines({"Service stopped successfully\n", "Service start pending...\n",
                                    "Service started successfully.\n"}));
    EXPECT_EQ(WindowsUpdateState(), static_cast<DWORD>(SERVICE_RUNNING));
    ExpectInstallerConditions();
}

TEST_F(PrerequisitesTest, AMissingInstallerIsReportedAndCountsAsSuccess)
{
    ASSERT_TRUE(::DeleteFileW((m_folder / kDotNet).c_str()));
    m_expectNoBoxes = false;

    EXPECT_EQ(Run(), TRUE);

    const auto boxes = m_watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, SystemErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(m_folder.Runs().empty());
    EXPECT_EQ(IeMainAcl(), m_aclBefore);
}

TEST_F(PrerequisitesTest, WithoutTheKeysAccessListNoInstallerRuns)
{
    // The key itself is missing, so its access list cannot be read. It is
    // moved aside and back with everything below it.
    const wchar_t backupPath[] = L"Software\\QxtTestBackup";
    qxt::UniqueHkey main;
    qxt::UniqueHkey backup;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kIeMainKey, 0, KEY_ALL_ACCESS, main.Put()), ERROR_SUCCESS);
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, backupPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, backup.Put(),
                                nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegCopyTreeW(main.Get(), nullptr, backup.Get()), ERROR_SUCCESS);
    main.Reset();
    ASSERT_EQ(::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kIeMainKey), ERROR_SUCCESS);

    const BOOL result = Run();

    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kIeMainKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, main.Put(),
                                nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegCopyTreeW(backup.Get(), nullptr, main.Get()), ERROR_SUCCESS);
    backup.Reset();
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, backupPath);
    EXPECT_EQ(result, FALSE);
    EXPECT_TRUE(m_folder.Runs().empty());
    EXPECT_EQ(IeMainAcl(), m_aclBefore);
}

// The cache goes only while the service is stopped: one that refuses to stop
// may be writing into it. The step goes on to its last installer run.
TEST_F(PrerequisitesTest, TheCacheStaysWhenTheServiceDoesNotStop)
{
    StandInUpdateService service(L"accept-stop=0");
    ASSERT_TRUE(service.Running());
    m_folder.SetExitCodes(kDotNet, L"1,1,0");
    m_folder.SetExitCodes(kWic, L"0");
    UpdateCache cache;

    ConsoleCapture console;
    EXPECT_EQ(Run(), TRUE);

    EXPECT_EQ(console.Lines(), Lines({"ControlService failed (1052)\n",
                                      "Cannot start the service because it is already running\n"}));
    EXPECT_TRUE(cache.Exists());
    EXPECT_EQ(WindowsUpdateState(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(m_folder.RunNames(), Names({kDotNet, kWic, kDotNet, kDotNet}));
    ExpectInstallerConditions();
}

// A cache that cannot be deleted (a file in it held open by someone) is left
// as it is, without any window of the shell, and the step does not fail for it.
TEST_F(PrerequisitesTest, ACacheThatCannotBeDeletedIsNoErrorOfTheStep)
{
    m_folder.SetExitCodes(kDotNet, L"1,1,0");
    m_folder.SetExitCodes(kWic, L"0");
    UpdateCache cache;
    const std::wstring held = WindowsFolder() + L"\\SoftwareDistribution\\Download\\update.cab";
    qxt::UniqueFileHandle holder(
        ::CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    ASSERT_TRUE(StartWindowsUpdate());

    ConsoleCapture console;
    EXPECT_EQ(Run(), TRUE);

    EXPECT_EQ(console.Lines(), Lines({"Service stopped successfully\n", "Service start pending...\n",
                                      "Service started successfully.\n"}));
    EXPECT_TRUE(Exists(held));
    EXPECT_EQ(WindowsUpdateState(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(m_folder.RunNames(), Names({kDotNet, kWic, kDotNet, kDotNet}));
    ExpectInstallerConditions();
    // TearDown: no message box.
}

// Ends every process of that file name, as the test's clean-up after a run it killed.
void EndProcessesNamed(const wchar_t* exeName)
{
    qxt::UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, exeName) != 0)
            continue;
        qxt::UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (process) {
            ::TerminateProcess(process.Get(), 1);
            ::WaitForSingleObject(process.Get(), 10000);
        }
    }
}

// The setup program is ended (killed, crashed, or the machine restarted for
// the installer) while the .NET installer runs: the key stays open, but its
// owner and access list wait in the product's key, and the next run puts them
// back before anything else, also when the framework has arrived meanwhile.
TEST_F(PrerequisitesTest, AKeyLeftOpenByAnEndedRunIsClosedByTheNext)
{
    m_folder.Set(kDotNet, L"StayRunning", L"1");
    const std::wstring commandLine = L"\"" + qxt::test::HelperPath(L"dotnetstep.exe") + L"\" \"" + m_folder.Path() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &started));
    qxt::UniqueKernelHandle step(started.hProcess);
    qxt::UniqueKernelHandle stepThread(started.hThread);
    const bool installerRuns = qxt::test::WaitUntil([&] { return !m_folder.Runs().empty(); }, 20000);
    ::TerminateProcess(step.Get(), 1);
    ::WaitForSingleObject(step.Get(), 10000);
    EndProcessesNamed(kDotNet);
    ASSERT_TRUE(installerRuns) << "the installer did not start";

    // What the ended run left: the key open, the original saved.
    EXPECT_EQ(qxt::test::EveryoneEntries(IeMainAcl()), kInstallerEntry);
    EXPECT_EQ(SavedAccess(), qxt::test::RegistryValue::String(m_ownerAndAccessBefore));

    // The next run; the installer's restart has brought the framework.
    SetDotNetInstall(1, -1);
    m_folder.ClearRuns();
    EXPECT_EQ(Run(), TRUE);
    EXPECT_TRUE(m_folder.Runs().empty());
    ExpectInstallerConditions();
}

}  // namespace
