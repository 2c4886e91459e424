// The Flash plug-in step: its registration test, the processes it ends and
// its installer, a stand-in that can register the plug-in itself.
#include "install/FlashPlugin.h"

#include "framework/Handles.h"
#include "framework/SystemErrorText.h"
#include "tests/install/InstallerFolder.h"
#include "tests/install/RegistryValues.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using qxt::test::HelperPath;
using qxt::test::InstallerFolder;
using qxt::test::MessageBoxWatcher;
using qxt::test::ScratchKey;
using qxt::test::TempDir;

namespace {

using Names = std::vector<std::wstring>;

const wchar_t kInstaller[] = L"fp_pl_pfs_installer19.exe";
const wchar_t kPluginKey[] = L"SOFTWARE\\MozillaPlugins\\@adobe.com/FlashPlayer";

// Copies of waiter.exe running under the names of the processes the step ends.
class Browsers {
public:
    static constexpr const wchar_t* kNames[3] = {L"plugin-container.exe", L"firefox.exe", L"QXTClient.exe"};

    Browsers()
    {
        for (const wchar_t* name : kNames) {
            const std::wstring path = m_dir / name;
            ::CopyFileW(HelperPath(L"waiter.exe").c_str(), path.c_str(), FALSE);
            std::wstring commandLine = L"\"" + path + L"\"";
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION info{};
            if (::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &info)) {
                ::CloseHandle(info.hThread);
                m_processes.emplace_back(info.hProcess);
            }
        }
    }
    ~Browsers()
    {
        for (auto& process : m_processes) {
            ::TerminateProcess(process.Get(), 1);
            ::WaitForSingleObject(process.Get(), 10000);
        }
    }
    bool AllStarted() const { return m_processes.size() == 3; }

    // How many of them have ended, after waiting a little for those that were told to.
    size_t Ended(DWORD waitMs) const
    {
        size_t ended = 0;
        for (const auto& process : m_processes)
            if (::WaitForSingleObject(process.Get(), waitMs) == WAIT_OBJECT_0)
                ++ended;
        return ended;
    }

private:
    TempDir m_dir;
    std::vector<qxt::UniqueKernelHandle> m_processes;
};

class FlashPluginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_key.ExistedBefore()) << "the prefix has a Flash plug-in of its own";
        ASSERT_TRUE(m_folder.AddProgram(kInstaller));
        ASSERT_TRUE(qxt::test::WriteFileBytes(m_plugin, "plug-in"));
    }

    BOOL Run()
    {
        InstallInfo info = m_folder.Record();
        return InstallFlashPlugin(info);
    }

    InstallerFolder m_folder;
    ScratchKey m_key{HKEY_LOCAL_MACHINE, L"SOFTWARE\\MozillaPlugins"};
    TempDir m_pluginDir;
    const std::wstring m_plugin = m_pluginDir / L"NPSWF32_19_0_0_226.dll";
};

TEST_F(FlashPluginTest, AWorkingRegistrationEndsNothingAndRunsNothing)
{
    // Also a "Path" stored without its terminating NUL names the file whole.
    static const struct {
        const char* label;
        bool withNul;
    } kCases[] = {{"with NUL", true}, {"without NUL", false}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        const DWORD size = static_cast<DWORD>((m_plugin.size() + (c.withNul ? 1 : 0)) * sizeof(wchar_t));
        ASSERT_TRUE(qxt::test::WriteValue(HKEY_LOCAL_MACHINE, kPluginKey, L"Path", REG_SZ, m_plugin.c_str(), size));
        Browsers browsers;
        ASSERT_TRUE(browsers.AllStarted());

        EXPECT_TRUE(IsFlashPluginInstalled());
        EXPECT_EQ(Run(), TRUE);

        EXPECT_TRUE(m_folder.Runs().empty());
        EXPECT_EQ(browsers.Ended(200), 0u);
    }
}

TEST_F(FlashPluginTest, AnyOtherRegistrationEndsTheBrowsersAndRunsTheInstaller)
{
    const std::wstring missingFile = m_pluginDir / L"gone.dll";
    const std::wstring tooLong = m_pluginDir / (std::wstring(300, L'x') + L".dll");
    const DWORD number = 1;
    const struct Case {
        const char* label;
        DWORD type;  // REG_NONE: no key at all
        const void* data;
        DWORD size;
    } kCases[] = {
        {"no key", REG_NONE, nullptr, 0},
        {"no Path value", REG_SZ, nullptr, 0},
        {"empty Path", REG_SZ, L"", 2},
        {"Path of zero bytes", REG_SZ, L"", 0},
        {"Path not a string", REG_DWORD, &number, sizeof number},
        {"Path of an expandable string", REG_EXPAND_SZ, m_plugin.c_str(),
         static_cast<DWORD>((m_plugin.size() + 1) * sizeof(wchar_t))},
        {"Path of a missing file", REG_SZ, missingFile.c_str(),
         static_cast<DWORD>((missingFile.size() + 1) * sizeof(wchar_t))},
        {"Path longer than a path", REG_SZ, tooLong.c_str(),
         static_cast<DWORD>((tooLong.size() + 1) * sizeof(wchar_t))},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        m_key.Remove();
        if (c.type != REG_NONE) {
            HKEY key = nullptr;
            ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPluginKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                        nullptr),
                      ERROR_SUCCESS);
            if (c.data)
                ::RegSetValueExW(key, L"Path", 0, c.type, static_cast<const BYTE*>(c.data), c.size);
            ::RegCloseKey(key);
        }
        m_folder.ClearRuns();
        Browsers browsers;
        ASSERT_TRUE(browsers.AllStarted());

        EXPECT_FALSE(IsFlashPluginInstalled());
        EXPECT_EQ(Run(), TRUE);

        EXPECT_EQ(browsers.Ended(10000), 3u);
        const auto runs = m_folder.Runs();
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].name, kInstaller);
        EXPECT_EQ(runs[0].parameters, L"/install /iv 8");
    }
}

TEST_F(FlashPluginTest, AFailedInstallerFailsTheStepAndARetrySeesItsLateSuccess)
{
    // The first run fails but leaves the plug-in registered; the retry finds it.
    m_folder.SetExitCodes(kInstaller, L"1603");
    m_folder.Set(kInstaller, L"FlashPath", m_plugin);

    EXPECT_EQ(Run(), FALSE);
    EXPECT_EQ(Run(), TRUE);

    EXPECT_EQ(m_folder.RunNames(), Names({kInstaller}));
    EXPECT_EQ(qxt::test::ReadValue(HKEY_LOCAL_MACHINE, kPluginKey, L"Path"),
              qxt::test::RegistryValue::String(m_plugin));
}

TEST_F(FlashPluginTest, AMissingInstallerIsReportedAndCountsAsSuccess)
{
    ASSERT_TRUE(::DeleteFileW((m_folder / kInstaller).c_str()));
    MessageBoxWatcher watcher(L"", {IDOK});

    EXPECT_EQ(Run(), TRUE);

    const auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, SystemErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
}

}  // namespace
