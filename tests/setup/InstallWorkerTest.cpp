// The installation run against a recording window in place of the dialog:
// whole sequences of messages and calls for success, retries, skips, aborts,
// failures and cancels.
#include "setup/InstallWorker.h"

#include "core/SetupMessages.h"
#include "setup/SetupSession.h"
#include "tests/setup/StandInOperations.h"
#include "tests/support/MessageRecorder.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

namespace {

using qxt::test::ExpectedMessage;
using qxt::test::kNote;
using qxt::test::MatchesSequence;
using qxt::test::MessageRecorder;
using qxt::test::StandInOperations;

using Sequence = std::vector<ExpectedMessage>;

Sequence operator+(Sequence head, const Sequence& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// Up to the download's result.
Sequence Begin()
{
    return {
        {kNote, L"ReadServerHost preset.example", 0},
        {WM_SETUP_BEGIN, 0, 0},
        {kNote, L"DownloadClientFiles trailer.example", 0},  // EstimatedSize already 0
    };
}

Sequence Download() { return Begin() + qxt::test::StandInDownloadMessages(); }

// The stand-in's download messages when it fails at the end.
Sequence FailedDownloadMessages()
{
    Sequence messages = qxt::test::StandInDownloadMessages();
    messages.back() = {WM_DOWNLOAD_FAILED, L"下载失败", 0};
    return messages;
}

Sequence Report(SetupStep step, int ordinal, const wchar_t* operation)
{
    return {{kNote, L"Pause 100", 0}, {WM_SETUP_STEP, step, ordinal}, {kNote, operation, 0}};
}

Sequence Call(const wchar_t* operation) { return {{kNote, operation, 0}}; }
Sequence Error(SetupResult code) { return {{WM_SETUP_ERROR, code, 0}}; }

Sequence DotNet() { return Report(STEP_DOTNET, 1, L"InstallDotNetFramework"); }
Sequence Flash() { return Report(STEP_FLASH, 2, L"InstallFlashPlugin"); }
Sequence X264() { return Report(STEP_X264, 3, L"InstallX264Encoder"); }
Sequence Avc() { return Report(STEP_AVC_DECODER, 4, L"InstallAvcDecoder"); }

Sequence Unregister()
{
    return {
        {kNote, L"Pause 100", 0},
        {kNote, L"UnregisterComServer mp3encode.dll", 0},
        {kNote, L"DeleteRegistryKey HKCU\\Software\\Nuv\\Nuv MP3 Encoder", 0},
        {kNote, L"UnregisterComServer mp4mux.dll", 0},
        {kNote, L"UnregisterComServer mp4demux.dll", 0},
        {kNote, L"UnregisterComServer aacencode.dll", 0},
    };
}

Sequence Codecs() { return Report(STEP_CODECS, 5, L"InstallCodecs"); }

Sequence ClientConfig() { return Call(L"WriteClientConfig trailer.example"); }

Sequence Entry()
{
    const DWORD size = StandInOperations::kFileSizes[0] + StandInOperations::kFileSizes[1];
    return {{kNote, L"WriteUninstallEntry", size}};
}

Sequence Complete()
{
    return {
        {kNote, L"CleanClientDataFolder", 0},
        {kNote, L"Pause 100", 1},  // marked complete before the last pause
        {WM_SETUP_COMPLETE, 0, 0},
    };
}

Sequence Finish() { return ClientConfig() + Entry() + Complete(); }

Sequence WholeRun() { return Download() + DotNet() + Flash() + X264() + Avc() + Unregister() + Codecs() + Finish(); }

Sequence WholeRunUpToTheEntry()
{
    return Download() + DotNet() + Flash() + X264() + Avc() + Unregister() + Codecs() + ClientConfig() + Entry();
}

class InstallWorkerTest : public ::testing::Test {
protected:
    InstallWorkerTest() : session(SetupOperations{}), standIns(recorder, session)
    {
        session.m_operations = standIns.Table();
        session.m_hDialog = recorder.Window();
        session.m_strServerHost = L"preset.example";
        ::FillInstallInfo(session.m_installInfo, L"C:\\Program Files\\QXTClient");
        session.m_installInfo.EstimatedSize = 0xdeadbeef;
    }

    unsigned Run() { return InstallWorker(&session); }

    MessageRecorder recorder;
    SetupSession session;
    StandInOperations standIns;
};

TEST_F(InstallWorkerTest, SuccessfulRunReportsEveryStepAndCompletes)
{
    EXPECT_EQ(Run(), SETUP_OK);
    EXPECT_TRUE(MatchesSequence(recorder.Messages(), WholeRun()));
    EXPECT_EQ(session.m_bInstallComplete, 1);
    EXPECT_EQ(session.m_strServerHost, StandInOperations::kTrailerHost);
    EXPECT_EQ(session.m_installInfo.EstimatedSize,
              StandInOperations::kFileSizes[0] + StandInOperations::kFileSizes[1]);
    EXPECT_STREQ(session.m_installInfo.InstallLocation, L"C:\\Program Files\\QXTClient");
}

TEST_F(InstallWorkerTest, SuccessfulRunRepaintsTheDialogWithItsBackground)
{
    MessageRecorder visible(true);
    ASSERT_TRUE(visible.WaitFor(WM_PAINT));
    const int erased = visible.Count(WM_ERASEBKGND);
    session.m_hDialog = visible.Window();
    EXPECT_EQ(Run(), SETUP_OK);
    EXPECT_TRUE(visible.WaitFor(WM_ERASEBKGND, erased + 1));
}

struct AnsweredRun {
    const char* label;
    const wchar_t* failingOperation;
    std::vector<BOOL> results;
    std::vector<LRESULT> answers;
    unsigned exitCode;
    Sequence expected;
};

TEST_F(InstallWorkerTest, FailedStepsFollowTheDialogsAnswer)
{
    const AnsweredRun runs[] = {
        {"Flash: Retry calls the step again without a new report", L"InstallFlashPlugin", {FALSE, TRUE}, {IDRETRY},
         SETUP_OK,
         Download() + DotNet() + Flash() + Error(SETUP_ERR_FLASH) + Call(L"InstallFlashPlugin") + X264() + Avc() +
             Unregister() + Codecs() + Finish()},
        {"x264: Retry twice, then Ignore goes on", L"InstallX264Encoder", {FALSE, FALSE, FALSE},
         {IDRETRY, IDRETRY, IDIGNORE}, SETUP_OK,
         Download() + DotNet() + Flash() + X264() + Error(SETUP_ERR_X264) + Call(L"InstallX264Encoder") +
             Error(SETUP_ERR_X264) + Call(L"InstallX264Encoder") + Error(SETUP_ERR_X264) + Avc() + Unregister() +
             Codecs() + Finish()},
        {"Flash: Abort ends the run", L"InstallFlashPlugin", {FALSE}, {IDABORT}, SETUP_ERR_FLASH,
         Download() + DotNet() + Flash() + Error(SETUP_ERR_FLASH)},
        {"x264: Retry, then Abort", L"InstallX264Encoder", {FALSE, FALSE}, {IDRETRY, IDABORT}, SETUP_ERR_X264,
         Download() + DotNet() + Flash() + X264() + Error(SETUP_ERR_X264) + Call(L"InstallX264Encoder") +
             Error(SETUP_ERR_X264)},
        {"AVC: Ignore goes on", L"InstallAvcDecoder", {FALSE}, {IDIGNORE}, SETUP_OK,
         Download() + DotNet() + Flash() + X264() + Avc() + Error(SETUP_ERR_AVC_DECODER) + Unregister() + Codecs() +
             Finish()},
        {"AVC: an answer of 0 ends the run", L"InstallAvcDecoder", {FALSE}, {0}, SETUP_ERR_AVC_DECODER,
         Download() + DotNet() + Flash() + X264() + Avc() + Error(SETUP_ERR_AVC_DECODER)},
        {".NET: OK ends the run", L"InstallDotNetFramework", {FALSE}, {IDOK}, SETUP_ERR_DOTNET,
         Download() + DotNet() + Error(SETUP_ERR_DOTNET)},
        {".NET: even Retry ends the run", L"InstallDotNetFramework", {FALSE}, {IDRETRY}, SETUP_ERR_DOTNET,
         Download() + DotNet() + Error(SETUP_ERR_DOTNET)},
        {".NET: even Ignore ends the run", L"InstallDotNetFramework", {FALSE}, {IDIGNORE}, SETUP_ERR_DOTNET,
         Download() + DotNet() + Error(SETUP_ERR_DOTNET)},
        {"codecs: the OK-only box's 0 skips the closing writes", L"InstallCodecs", {FALSE}, {0}, SETUP_ERR_CODECS,
         Download() + DotNet() + Flash() + X264() + Avc() + Unregister() + Codecs() + Error(SETUP_ERR_CODECS)},
        {"download fails", L"DownloadClientFiles", {FALSE}, {IDOK}, SETUP_ERR_DOWNLOAD,
         Begin() + FailedDownloadMessages() + Error(SETUP_ERR_DOWNLOAD)},
        {"uninstall entry: Retry writes it again", L"WriteUninstallEntry", {FALSE, TRUE}, {IDRETRY}, SETUP_OK,
         WholeRunUpToTheEntry() + Error(SETUP_ERR_UNINSTALL_ENTRY) + Entry() + Complete()},
        {"uninstall entry: Ignore goes on without it", L"WriteUninstallEntry", {FALSE}, {IDIGNORE}, SETUP_OK,
         WholeRunUpToTheEntry() + Error(SETUP_ERR_UNINSTALL_ENTRY) + Complete()},
        {"uninstall entry: Abort ends the run before the clean-up", L"WriteUninstallEntry", {FALSE}, {IDABORT},
         SETUP_ERR_UNINSTALL_ENTRY, WholeRunUpToTheEntry() + Error(SETUP_ERR_UNINSTALL_ENTRY)},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.label);
        MessageRecorder dialog;
        SetupSession session(SetupOperations{});
        StandInOperations standIns(dialog, session);
        standIns.ScriptResults(run.failingOperation, run.results);
        dialog.ScriptErrorAnswers(run.answers);
        session.m_operations = standIns.Table();
        session.m_hDialog = dialog.Window();
        session.m_strServerHost = L"preset.example";

        EXPECT_EQ(InstallWorker(&session), run.exitCode);
        EXPECT_TRUE(MatchesSequence(dialog.Messages(), run.expected));
        EXPECT_EQ(dialog.UnscriptedErrors(), 0);
        EXPECT_EQ(session.m_bInstallComplete, run.exitCode == SETUP_OK ? 1 : 0);
    }
}

// A failed download ends the run with the code and the detail line it gave:
// the line reaches the dialog with the error (lParam), and its code is the
// run's exit code.
TEST_F(InstallWorkerTest, AFailedDownloadPassesItsCodeAndDetailLineOn)
{
    static const struct {
        const char* label;
        SetupResult code;
        const wchar_t* detail;
        unsigned exitCode;
        ExpectedMessage error;
    } cases[] = {
        {"no detail", SETUP_ERR_DOWNLOAD, L"", SETUP_ERR_DOWNLOAD, {WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, 0}},
        {"a detail line", SETUP_ERR_DOWNLOAD, L"服务器证书不受信任", SETUP_ERR_DOWNLOAD,
         {WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, L"服务器证书不受信任"}},
        {"a code of the download's own", static_cast<SetupResult>(239), L"文件列表的签名无效", 239,
         {WM_SETUP_ERROR, 239, L"文件列表的签名无效"}},
        {"a failure that claims success still fails the run", SETUP_OK, L"", SETUP_ERR_DOWNLOAD,
         {WM_SETUP_ERROR, SETUP_ERR_DOWNLOAD, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        MessageRecorder dialog;
        SetupSession run(SetupOperations{});
        StandInOperations standIns(dialog, run);
        standIns.ScriptResults(L"DownloadClientFiles", {FALSE});
        standIns.ScriptDownloadFailure({c.code, c.detail, {}});
        dialog.ScriptErrorAnswers({IDOK});
        run.m_operations = standIns.Table();
        run.m_hDialog = dialog.Window();
        run.m_strServerHost = L"preset.example";

        EXPECT_EQ(InstallWorker(&run), c.exitCode);
        EXPECT_TRUE(MatchesSequence(dialog.Messages(), Begin() + FailedDownloadMessages() + Sequence{c.error}));
        EXPECT_EQ(run.m_bInstallComplete, 0);
    }
}

// The download gets the stamped text whole (its scheme picks HTTP or HTTPS);
// the client's configuration names the host without the scheme.
// With several stamped servers the client gets the one its file list came
// from, as the download reports it; without that report, the first.
TEST_F(InstallWorkerTest, TheClientConfigurationGetsTheHostWithoutItsScheme)
{
    static const struct {
        const wchar_t* stamped;
        const wchar_t* listHost;  // what the download reports; nullptr: the operation is left empty
        const wchar_t* configured;
    } cases[] = {
        {L"https://dl.example:8443", nullptr, L"dl.example:8443"},
        {L"http://dl.example", nullptr, L"dl.example"},
        {L"dl.example:8080", nullptr, L"dl.example:8080"},
        {L"https://one.example,two.example:81", nullptr, L"one.example"},
        {L"https://one.example,two.example:81", L"two.example:81", L"two.example:81"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.stamped)));
        MessageRecorder dialog;
        SetupSession run(SetupOperations{});
        StandInOperations standIns(dialog, run);
        standIns.stampedHost = c.stamped;
        run.m_operations = standIns.Table();
        if (c.listHost)
            run.m_operations.ListServerHost = [&c] { return std::wstring(c.listHost); };
        run.m_hDialog = dialog.Window();
        EXPECT_EQ(InstallWorker(&run), SETUP_OK);
        std::vector<std::wstring> notes;
        for (const auto& m : dialog.Messages())
            if (m.message == kNote && (m.text.starts_with(L"DownloadClientFiles ") ||
                                       m.text.starts_with(L"WriteClientConfig ")))
                notes.push_back(m.text);
        EXPECT_EQ(notes, (std::vector<std::wstring>{std::wstring(L"DownloadClientFiles ") + c.stamped,
                                                    std::wstring(L"WriteClientConfig ") + c.configured}));
    }
}

TEST_F(InstallWorkerTest, CancelDuringTheDownloadEndsTheRunEvenWhenTheDownloadSucceeded)
{
    static const struct {
        const char* label;
        BOOL downloadResult;
    } cases[] = {
        {"download succeeded", TRUE},
        {"download failed", FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        MessageRecorder dialog;
        SetupSession session(SetupOperations{});
        StandInOperations standIns(dialog, session);
        standIns.ScriptResults(L"DownloadClientFiles", {c.downloadResult});
        session.m_operations = standIns.Table();
        session.m_hDialog = dialog.Window();
        session.m_strServerHost = L"preset.example";
        // The user confirms the cancel while the first file comes in.
        dialog.SetHook([&](const qxt::test::RecordedMessage& m) {
            if (m.message == WM_DOWNLOAD_FILE_INDEX && m.wParam == 1)
                ::InterlockedExchange(&session.m_bCancelRequested, 1);
        });
        dialog.ScriptErrorAnswers({0});

        EXPECT_EQ(InstallWorker(&session), SETUP_CANCELLED);
        const Sequence download =
            c.downloadResult ? qxt::test::StandInDownloadMessages() : FailedDownloadMessages();
        EXPECT_TRUE(MatchesSequence(dialog.Messages(), Begin() + download + Error(SETUP_CANCELLED)));
        EXPECT_EQ(session.m_bInstallComplete, 0);
    }
}

TEST_F(InstallWorkerTest, CancelAfterTheDownloadIsIgnored)
{
    recorder.SetHook([&](const qxt::test::RecordedMessage& m) {
        if (m.message == WM_SETUP_STEP && m.wParam == STEP_DOTNET)
            ::InterlockedExchange(&session.m_bCancelRequested, 1);
    });
    EXPECT_EQ(Run(), SETUP_OK);
    EXPECT_TRUE(MatchesSequence(recorder.Messages(), WholeRun()));
    EXPECT_EQ(session.m_bCancelRequested, 1);
}

// The user confirms leaving while the run is at some point: the worker
// finishes what it is in (a step always ends, having put back what it
// changed), starts nothing more and ends without another report.
// The signed list's version is kept only by a run that installed everything,
// and before the run counts as complete; a run that ends early keeps none.
TEST_F(InstallWorkerTest, TheAcceptedListVersionIsKeptOnlyAfterASuccessfulRun)
{
    const struct {
        const char* label;
        const wchar_t* failingOperation;  // nullptr: nothing fails
        std::vector<BOOL> results;
        std::vector<LRESULT> answers;
        unsigned exitCode;
        int kept;
    } cases[] = {
        {"success", nullptr, {}, {}, SETUP_OK, 1},
        {"a skipped step still installs the rest", L"InstallAvcDecoder", {FALSE}, {IDIGNORE}, SETUP_OK, 1},
        {"failed download", L"DownloadClientFiles", {FALSE}, {IDOK}, SETUP_ERR_DOWNLOAD, 0},
        {"failed .NET step", L"InstallDotNetFramework", {FALSE}, {IDOK}, SETUP_ERR_DOTNET, 0},
        {"aborted codec step", L"InstallCodecs", {FALSE}, {0}, SETUP_ERR_CODECS, 0},
        {"aborted uninstall entry", L"WriteUninstallEntry", {FALSE}, {IDABORT}, SETUP_ERR_UNINSTALL_ENTRY, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        MessageRecorder dialog;
        SetupSession run(SetupOperations{});
        StandInOperations operations(dialog, run);
        if (c.failingOperation)
            operations.ScriptResults(c.failingOperation, c.results);
        dialog.ScriptErrorAnswers(c.answers);
        run.m_operations = operations.Table();
        int kept = 0;
        LONG completeWhenKept = -1;
        run.m_operations.KeepAcceptedListVersion = [&] {
            ++kept;
            completeWhenKept = run.m_bInstallComplete;
        };
        run.m_hDialog = dialog.Window();
        run.m_strServerHost = L"preset.example";

        EXPECT_EQ(InstallWorker(&run), c.exitCode);
        EXPECT_EQ(kept, c.kept);
        if (c.kept) {
            EXPECT_EQ(completeWhenKept, 0) << "kept before the run is marked complete";
        }
    }
}

TEST_F(InstallWorkerTest, ExitConfirmedDuringTheRunEndsItAtTheNextStepBoundary)
{
    using StepOperation = std::function<BOOL(InstallInfo&)> SetupOperations::*;
    const struct {
        const char* label;
        UINT message;  // the exit is confirmed while the dialog handles this message...
        WPARAM wParam;
        StepOperation step;  // ...or while this step runs
        bool inUnregisterBlock;
        std::vector<BOOL> stepResults;
        Sequence expected;
    } cases[] = {
        {"during the download", WM_DOWNLOAD_FILE_INDEX, 2, nullptr, false, {}, Download()},
        {"while the .NET step is reported", WM_SETUP_STEP, STEP_DOTNET, nullptr, false, {},
         Download() + Sequence{{kNote, L"Pause 100", 0}, {WM_SETUP_STEP, STEP_DOTNET, 1}}},
        {"during the .NET step", 0, 0, &SetupOperations::InstallDotNetFramework, false, {}, Download() + DotNet()},
        {"during a failing .NET step: no error box", 0, 0, &SetupOperations::InstallDotNetFramework, false, {FALSE},
         Download() + DotNet()},
        {"during the Flash step", 0, 0, &SetupOperations::InstallFlashPlugin, false, {},
         Download() + DotNet() + Flash()},
        {"during a failing x264 step: no error box", 0, 0, &SetupOperations::InstallX264Encoder, false, {FALSE},
         Download() + DotNet() + Flash() + X264()},
        {"during the AVC step", 0, 0, &SetupOperations::InstallAvcDecoder, false, {},
         Download() + DotNet() + Flash() + X264() + Avc()},
        {"during the unregistering", 0, 0, nullptr, true, {},
         Download() + DotNet() + Flash() + X264() + Avc() + Unregister()},
        {"during the codec step: nothing is registered", 0, 0, &SetupOperations::InstallCodecs, false, {},
         Download() + DotNet() + Flash() + X264() + Avc() + Unregister() + Codecs()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        MessageRecorder dialog;
        SetupSession session(SetupOperations{});
        StandInOperations standIns(dialog, session);
        session.m_operations = standIns.Table();
        session.m_hDialog = dialog.Window();
        session.m_strServerHost = L"preset.example";
        const auto confirmExit = [&session] { ::InterlockedExchange(&session.m_bExitRequested, 1); };
        if (c.message) {
            dialog.SetHook([&](const qxt::test::RecordedMessage& m) {
                if (m.message == c.message && m.wParam == c.wParam)
                    confirmExit();
            });
        }
        if (c.step) {
            const auto standIn = session.m_operations.*c.step;
            const std::vector<BOOL> results = c.stepResults;
            session.m_operations.*c.step = [=](InstallInfo& info) {
                const BOOL done = standIn(info);
                confirmExit();
                return results.empty() ? done : results.front();
            };
        }
        if (c.inUnregisterBlock) {
            const auto standIn = session.m_operations.DeleteRegistryKey;
            session.m_operations.DeleteRegistryKey = [=](HKEY root, const wchar_t* subKey) {
                confirmExit();
                standIn(root, subKey);
            };
        }

        EXPECT_EQ(InstallWorker(&session), SETUP_CANCELLED);
        EXPECT_TRUE(MatchesSequence(dialog.Messages(), c.expected));
        EXPECT_EQ(session.m_bInstallComplete, 0);
    }
}

}  // namespace
