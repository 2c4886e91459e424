// A process that nobody watches: no box of ours, of the shell or of the
// system may wait for an answer, and a process that is watched again gets
// all of them back.
#include "framework/MessageBox.h"
#include "framework/ShellDelete.h"
#include "framework/Unattended.h"

#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

using qxt::test::MessageBoxWatcher;
using qxt::test::TempDir;
using qxt::test::WriteFileBytes;

namespace {

const wchar_t kAppName[] = L"framework_unattended_tests";
constexpr UINT kNoSystemBoxes = SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX;

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(Unattended, NothingWaitsForAnAnswerUntilTheProcessIsWatchedAgain)
{
    // An error mode of the process's own, with one flag of its own, comes back whole.
    const UINT modeBefore = SEM_NOALIGNMENTFAULTEXCEPT;
    ::SetErrorMode(modeBefore);
    ASSERT_FALSE(IsUnattended());
    EXPECT_EQ(ShellDeleteFlags(), FOF_NOCONFIRMATION);

    SetUnattended(true);
    EXPECT_TRUE(IsUnattended());
    EXPECT_EQ(::GetErrorMode() & (kNoSystemBoxes | modeBefore), kNoSystemBoxes | modeBefore);
    EXPECT_EQ(ShellDeleteFlags(), FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT);
    {
        MessageBoxWatcher watcher(L"", {IDYES});
        // The answer that changes least, at once and without a box.
        EXPECT_EQ(AfxMessageBox(L"nobody reads this", MB_YESNO), IDNO);
        EXPECT_EQ(AfxMessageBox(L"nobody reads this either", MB_ABORTRETRYIGNORE), IDABORT);
        EXPECT_TRUE(watcher.Boxes().empty());
    }
    // The shell still deletes, silently.
    TempDir dir;
    const std::wstring folder = dir / L"group";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\Quolix.lnk", "link"));
    EXPECT_EQ(ShellDelete(folder), 0);
    EXPECT_FALSE(Exists(folder));
    // Saying it twice changes nothing: the mode from before is still the one put back.
    SetUnattended(true);

    SetUnattended(false);
    EXPECT_FALSE(IsUnattended());
    EXPECT_EQ(::GetErrorMode(), modeBefore);
    EXPECT_EQ(ShellDeleteFlags(), FOF_NOCONFIRMATION);
    MessageBoxWatcher watcher(kAppName, {IDYES});
    EXPECT_EQ(AfxMessageBox(L"somebody reads this", MB_YESNO), IDYES);
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_EQ(watcher.Boxes()[0].text, L"somebody reads this");
}

}  // namespace
