#include "framework/FileSystem.h"
#include "framework/FileVersion.h"
#include "framework/Process.h"

#include "framework/Handles.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/MessageText.h"
#include "tests/support/NetworkShare.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using qxt::test::FormatMessageText;
using qxt::test::HelperPath;
using qxt::test::MessageBoxWatcher;
using qxt::test::NetworkShare;
using qxt::test::TempDir;

namespace {

// Boxes of this program are captioned with its name.
const wchar_t kAppName[] = L"system_helpers_tests";

std::wstring CurrentDirectory()
{
    wchar_t path[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, path);
    return path;
}

// Processes a test started; every one still running is terminated at the end.
class Processes {
public:
    Processes() = default;
    Processes(const Processes&) = delete;
    Processes& operator=(const Processes&) = delete;
    ~Processes()
    {
        for (auto& process : m_processes) {
            ::TerminateProcess(process.Get(), 1);
            ::WaitForSingleObject(process.Get(), 10000);
        }
    }

    HANDLE Start(const std::wstring& program)
    {
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &info))
            return nullptr;
        ::CloseHandle(info.hThread);
        m_processes.emplace_back(info.hProcess);
        return info.hProcess;
    }

    // Every running process of this executable name (the snapshot's own view).
    static std::vector<DWORD> Running(const wchar_t* exeName)
    {
        std::vector<DWORD> ids;
        HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE)
            return ids;
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
            if (::lstrcmpiW(entry.szExeFile, exeName) == 0)
                ids.push_back(entry.th32ProcessID);
        ::CloseHandle(snapshot);
        return ids;
    }

private:
    std::vector<qxt::UniqueKernelHandle> m_processes;
};

// A copy of waiter.exe under a name no other test uses, so that killing by
// name cannot reach anybody else's processes.
std::wstring PrivateWaiter(const TempDir& dir, std::wstring* exeName)
{
    wchar_t name[64];
    std::swprintf(name, 64, L"qxtwait%lu.exe", ::GetCurrentProcessId());
    *exeName = name;
    const std::wstring path = dir / name;
    ::CopyFileW(HelperPath(L"waiter.exe").c_str(), path.c_str(), FALSE);
    return path;
}

TEST(RunAndWait, ReturnsTheExitCodeOfTheProgram)
{
    static const struct {
        const wchar_t* parameters;
        bool show;
        DWORD expected;
    } cases[] = {
        {L"3", false, 3},
        {L"3", true, 3},
        {L"0", false, 0},
        {L"255", false, 255},
        {L"70000", true, 70000},
    };
    MessageBoxWatcher unexpected(L"");
    const std::wstring program = HelperPath(L"exitcode.exe");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "parameters " << c.parameters << ", show " << c.show);
        EXPECT_EQ(RunAndWait(program.c_str(), c.parameters, c.show, true), c.expected);
    }
    EXPECT_TRUE(unexpected.Boxes().empty()) << "a program that starts shows no box";
}

TEST(RunAndWait, AMissingProgramShowsTheSystemsTextAndCountsAsZero)
{
    static const struct {
        const char* label;
        bool show;
        bool wait;
    } cases[] = {
        {"hidden, waiting", false, true},
        {"shown, not waiting", true, false},
    };
    TempDir dir;
    const std::wstring missing = dir / L"NotThere.exe";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        // Any caption: a box of the shell itself would be a fault too.
        MessageBoxWatcher watcher(L"", {IDOK});
        EXPECT_EQ(RunAndWait(missing.c_str(), L"/S", c.show, c.wait), 0u);
        const auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u) << "one box, answered before RunAndWait returned";
        EXPECT_EQ(boxes[0].caption, kAppName);
        EXPECT_EQ(boxes[0].text, FormatMessageText(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
        EXPECT_EQ(boxes[0].pressed, IDOK);
    }
}

TEST(RunAndWait, WithoutWaitReturnsZeroWhileTheProgramRuns)
{
    TempDir dir;
    std::wstring exeName;
    const std::wstring waiter = PrivateWaiter(dir, &exeName);
    MessageBoxWatcher unexpected(L"");

    // The waiter never ends by itself, so only a call that does not wait can return.
    EXPECT_EQ(RunAndWait(waiter.c_str(), nullptr, false, false), 0u);
    std::vector<DWORD> running;
    qxt::test::WaitUntil([&] {
        running = Processes::Running(exeName.c_str());
        return !running.empty();
    });
    ASSERT_EQ(running.size(), 1u) << "the program was started";
    for (DWORD id : running) {
        qxt::UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        ASSERT_TRUE(process);
        ::TerminateProcess(process.Get(), 1);
        ::WaitForSingleObject(process.Get(), 10000);
    }
    EXPECT_TRUE(unexpected.Boxes().empty());
}

TEST(GetFileVersion, ReadsTheFixedFileVersion)
{
    VS_FIXEDFILEINFO info;
    std::memset(&info, 0xAB, sizeof info);
    ASSERT_TRUE(GetFileVersion(HelperPath(L"versioned.exe").c_str(), &info));
    EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(info.dwFileVersionMS, 0x00020001u);  // 2.1
    EXPECT_EQ(info.dwFileVersionLS, 0x0000000Fu);  // 0.15
    EXPECT_EQ(info.dwProductVersionMS, 0x00090008u);
    EXPECT_EQ(info.dwProductVersionLS, 0x00070006u);
}

TEST(GetFileVersion, FailsWithoutVersionInformationAndLeavesTheOutput)
{
    TempDir dir;
    const std::wstring text = dir / L"plain.txt";
    ASSERT_TRUE(qxt::test::WriteFileBytes(text, "not a program"));
    for (const std::wstring& path : {HelperPath(L"exitcode.exe"), dir / L"missing.exe", text}) {
        SCOPED_TRACE(testing::Message() << "path " << testing::PrintToString(path));
        VS_FIXEDFILEINFO info, untouched;
        std::memset(&info, 0xAB, sizeof info);
        std::memset(&untouched, 0xAB, sizeof untouched);
        EXPECT_FALSE(GetFileVersion(path.c_str(), &info));
        EXPECT_EQ(std::memcmp(&info, &untouched, sizeof info), 0);
    }
}

TEST(KillFirstProcessByName, EndsOnlyTheFirstOfTwoProcessesOfThatName)
{
    TempDir dir;
    std::wstring exeName;
    const std::wstring waiter = PrivateWaiter(dir, &exeName);
    Processes processes;
    HANDLE both[2] = {processes.Start(waiter), processes.Start(waiter)};
    ASSERT_NE(both[0], nullptr);
    ASSERT_NE(both[1], nullptr);

    // The name with its folder is not an executable name: nothing ends.
    EXPECT_TRUE(KillFirstProcessByName(waiter.c_str()));

    std::wstring upper = exeName;
    ::CharUpperW(upper.data());
    EXPECT_TRUE(KillFirstProcessByName(upper.c_str())) << "the name is compared without case";

    const DWORD ended = ::WaitForMultipleObjects(2, both, FALSE, 10000);
    ASSERT_TRUE(ended == WAIT_OBJECT_0 || ended == WAIT_OBJECT_0 + 1) << "one process ended";
    DWORD exitCode = 0xdeadbeef;
    ASSERT_TRUE(::GetExitCodeProcess(both[ended - WAIT_OBJECT_0], &exitCode));
    EXPECT_EQ(exitCode, 0u) << "terminated with exit code 0";
    EXPECT_EQ(::WaitForSingleObject(both[1 - (ended - WAIT_OBJECT_0)], 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the other one still runs";
}

TEST(KillFirstProcessByName, WithoutAMatchingProcessReturnsTrue)
{
    EXPECT_TRUE(KillFirstProcessByName(L"qxt-no-such-program.exe"));
}

TEST(FileExists, FindsFilesFoldersAndPatterns)
{
    TempDir dir;
    ASSERT_TRUE(qxt::test::WriteFileBytes(dir / L"present.txt", "x"));
    ASSERT_TRUE(::CreateDirectoryW((dir / L"folder").c_str(), nullptr));
    static const struct {
        const wchar_t* name;
        bool exists;
    } cases[] = {
        {L"present.txt", true},
        {L"PRESENT.TXT", true},
        {L"folder", true},
        {L"missing.txt", false},
        {L"*.txt", true},
        {L"pres?nt.*", true},
        {L"*.exe", false},
        {L"missing\\present.txt", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileExists((dir / c.name).c_str()), c.exists) << testing::PrintToString(std::wstring(c.name));
}

// Runs the check on a thread of its own and waits for it: the current
// directory belongs to the process, so a change made there shows here too.
template <typename Check>
void OnSecondThread(Check check)
{
    std::thread second(check);
    second.join();
}

TEST(DirectoryExists, ChecksOnlyFoldersOfPathsWithADriveAndLeavesTheCurrentDirectory)
{
    TempDir dir;
    ASSERT_TRUE(qxt::test::WriteFileBytes(dir / L"file.txt", "x"));
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.Path().c_str()));
    const std::wstring before = CurrentDirectory();

    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const struct {
        std::wstring path;
        DirectoryState expected;
    } cases[] = {
        {L"Program Files\\Folder", DirectoryState::NotChecked},
        {L"\\\\server\\share\\folder", DirectoryState::NotChecked},
        {L":\\Folder", DirectoryState::NotChecked},
        {L"C:", DirectoryState::NotChecked},
        {L"C:Windows", DirectoryState::NotChecked},
        {windows, DirectoryState::Exists},
        {L"C:\\", DirectoryState::Exists},
        {dir.Path(), DirectoryState::Exists},
        {dir.Path() + L"\\", DirectoryState::Exists},
        {dir / L"missing", DirectoryState::Missing},
        {dir / L"file.txt", DirectoryState::Missing},
        {dir / L"file.txt\\", DirectoryState::Missing},
        {L"C:\\qxt-no-such-folder\\below", DirectoryState::Missing},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DirectoryExists(c.path.c_str()), c.expected) << testing::PrintToString(c.path);
        EXPECT_EQ(CurrentDirectory(), before) << testing::PrintToString(c.path);
        OnSecondThread([&] {
            EXPECT_EQ(DirectoryExists(c.path.c_str()), c.expected) << "second thread " << testing::PrintToString(c.path);
            EXPECT_EQ(CurrentDirectory(), before) << "second thread " << testing::PrintToString(c.path);
        });
    }
    ::SetCurrentDirectoryW(windows);
}

// A thread that reads the current directory over and over while others
// work: a change that is put back at once is still seen by it.
class CurrentDirectoryObserver {
public:
    CurrentDirectoryObserver() : m_expected(CurrentDirectory()), m_thread([this] { Run(); }) {}
    CurrentDirectoryObserver(const CurrentDirectoryObserver&) = delete;
    CurrentDirectoryObserver& operator=(const CurrentDirectoryObserver&) = delete;
    ~CurrentDirectoryObserver() { Stop(); }

    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // The first other directory the thread saw (empty: none).
    std::wstring Seen() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_seen;
    }

private:
    void Run()
    {
        while (!m_stop) {
            const std::wstring now = CurrentDirectory();
            if (now != m_expected) {
                std::lock_guard<std::mutex> lock(m_lock);
                if (m_seen.empty())
                    m_seen = now;
            }
        }
    }

    const std::wstring m_expected;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::wstring m_seen;
    std::thread m_thread;
};

// The call is repeated while the observer reads: one that enters the folder
// to test it, even for a moment, is caught within these rounds.
constexpr int kObservedCalls = 2000;
constexpr DWORD kObservedTimeMs = 5000;

TEST(DirectoryExists, AnotherThreadNeverSeesTheCurrentDirectoryChange)
{
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryW((dir / L"probed").c_str(), nullptr));
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.Path().c_str()));
    const std::wstring probed = dir / L"probed";

    CurrentDirectoryObserver observer;
    const ULONGLONG end = ::GetTickCount64() + kObservedTimeMs;
    for (int call = 0; call < kObservedCalls && ::GetTickCount64() < end && observer.Seen().empty(); ++call)
        ASSERT_EQ(DirectoryExists(probed.c_str()), DirectoryState::Exists);
    observer.Stop();
    EXPECT_EQ(observer.Seen(), L"") << "the probed folder was the current directory for a moment";

    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    ::SetCurrentDirectoryW(windows);
}

class CreateDirectoryTreeTest : public ::testing::Test {
protected:
    void SetUp() override { m_before = CurrentDirectory(); }
    TempDir m_dir;
    std::wstring m_before;
};

TEST_F(CreateDirectoryTreeTest, CreatesMissingLevelsAndLeavesTheCurrentDirectory)
{
    const std::wstring first = m_dir / L"Level1";
    const std::wstring second = first + L"\\Level2";
    ASSERT_TRUE(CreateDirectoryTree(second.c_str()));
    for (const std::wstring& level : {first, second})
        EXPECT_EQ(::GetFileAttributesW(level.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY))
            << testing::PrintToString(level);
    EXPECT_EQ(CurrentDirectory(), m_before);
}

TEST_F(CreateDirectoryTreeTest, AFolderThatExistsIsKeptAsItIs)
{
    ASSERT_TRUE(qxt::test::WriteFileBytes(m_dir / L"kept.txt", "x"));
    ASSERT_TRUE(CreateDirectoryTree(m_dir.Path().c_str()));
    EXPECT_EQ(CurrentDirectory(), m_before);
    EXPECT_TRUE(FileExists((m_dir / L"kept.txt").c_str()));
}

TEST_F(CreateDirectoryTreeTest, ATrailingBackslashCreatesTheSameFolder)
{
    const std::wstring folder = m_dir / L"A\\B";
    ASSERT_TRUE(CreateDirectoryTree((folder + L"\\").c_str()));
    EXPECT_EQ(::GetFileAttributesW(folder.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(CurrentDirectory(), m_before);
}

TEST_F(CreateDirectoryTreeTest, FailsWhereAFolderCannotBeMade)
{
    ASSERT_TRUE(qxt::test::WriteFileBytes(m_dir / L"file", "x"));
    EXPECT_FALSE(CreateDirectoryTree((m_dir / L"file\\below").c_str())) << "a file is in the way";
    EXPECT_FALSE(FileExists((m_dir / L"file\\below").c_str()));
    EXPECT_EQ(CurrentDirectory(), m_before) << "a failure leaves the current directory";
}

TEST_F(CreateDirectoryTreeTest, AFileOfThatNameIsNotAFolder)
{
    ASSERT_TRUE(qxt::test::WriteFileBytes(m_dir / L"file", "x"));
    EXPECT_FALSE(CreateDirectoryTree((m_dir / L"file").c_str()));
    EXPECT_EQ(qxt::test::ReadFileBytes(m_dir / L"file"), "x");
}

TEST_F(CreateDirectoryTreeTest, ASecondThreadLeavesTheCurrentDirectoryToo)
{
    const std::wstring folder = m_dir / L"Worker\\Made";
    OnSecondThread([&] {
        EXPECT_TRUE(CreateDirectoryTree(folder.c_str()));
        EXPECT_EQ(CurrentDirectory(), m_before) << "second thread";
    });
    EXPECT_EQ(CurrentDirectory(), m_before);
    EXPECT_EQ(DirectoryExists(folder.c_str()), DirectoryState::Exists);
}

bool IsFolderPath(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

TEST(CreateMissingFolder, MakesMissingLocalAndNetworkFoldersButNoRelativeOnes)
{
    TempDir dir;
    NetworkShare share;
    ASSERT_FALSE(share.Path().empty()) << "no share in the Wine prefix";
    ASSERT_TRUE(qxt::test::WriteFileBytes(dir / L"file", "x"));
    ASSERT_TRUE(::CreateDirectoryW((dir / L"Present").c_str(), nullptr));
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.Path().c_str()));
    const std::wstring before = CurrentDirectory();
    const std::wstring rooted = L"C:\\qxt-rooted-folder";
    qxt::test::DeleteTree(rooted);
    const struct {
        std::wstring path;
        bool made;          // the result, and whether the path is a folder afterwards
        std::wstring seen;  // where the folder would land, checked when not made
    } cases[] = {
        {dir.Path(), true, L""},
        {dir / L"Local\\Below", true, L""},
        {share / L"Remote\\Below\\", true, L""},
        {share.Path(), true, L""},
        {dir / L"file", false, L""},
        {L"Present\\New", false, dir / L"Present\\New"},
        {L"\\qxt-rooted-folder", false, rooted},
        {L"\\\\?\\qxt-device", false, L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CreateMissingFolder(c.path.c_str()), c.made) << testing::PrintToString(c.path);
        if (c.made) {
            EXPECT_TRUE(IsFolderPath(c.path)) << testing::PrintToString(c.path);
        }
        if (!c.seen.empty()) {
            EXPECT_EQ(::GetFileAttributesW(c.seen.c_str()), INVALID_FILE_ATTRIBUTES) << testing::PrintToString(c.path);
        }
        EXPECT_EQ(CurrentDirectory(), before) << testing::PrintToString(c.path);
    }
    EXPECT_EQ(qxt::test::ReadFileBytes(dir / L"file"), "x");
    qxt::test::DeleteTree(rooted);
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    ::SetCurrentDirectoryW(windows);
}

}  // namespace
