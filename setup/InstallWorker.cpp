#include "setup/InstallWorker.h"

#include "core/SetupLog.h"
#include "core/SetupMessages.h"
#include "transfer/ServerList.h"
#include "setup/SetupSession.h"

namespace {

constexpr DWORD kStepPauseMs = 100;

class InstallRun {
public:
    explicit InstallRun(SetupSession& session)
        : m_session(session), m_ops(session.m_operations), m_info(session.m_installInfo)
    {
    }

    unsigned Run();

    // The line the failed run's box added under its first one; empty for none.
    const std::wstring& FailureDetail() const { return m_detail; }
    // The log's line of what failed, when the step told it; empty otherwise.
    const std::wstring& FailureCause() const { return m_cause; }

private:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageW(m_session.m_hDialog, message, wParam, lParam);
    }

    // Ends the run with code after telling the dialog (with the line naming
    // what went wrong, when there is one); the answer does not matter.
    unsigned Fail(SetupResult code, const std::wstring& detail = {})
    {
        m_detail = detail;
        Send(WM_SETUP_ERROR, code, detail.empty() ? 0 : reinterpret_cast<LPARAM>(&m_detail));
        return code;
    }

    // The user has confirmed leaving. Checked only between steps: a step
    // always runs to its end, where it has put back what it changed for the
    // time it ran (an access list, a stopped service, a file being replaced).
    bool ExitRequested() const { return m_session.m_bExitRequested != 0; }

    // Reports the next step; false when the user is leaving: an exit
    // confirmed while the report was on its way starts no new step.
    bool ReportStep(SetupStep step, LPARAM ordinal)
    {
        m_ops.Pause(kStepPauseMs);
        ::SendMessageW(m_session.m_hDialog, WM_SETUP_STEP, step, ordinal);
        return !ExitRequested();
    }

    // Calls the step until it succeeds or the dialog answers something other
    // than Retry; Ignore counts as success. False when the run must end,
    // also when the user is leaving (then without a report).
    bool RunRetryable(const std::function<BOOL(InstallInfo&)>& step, SetupResult code)
    {
        for (;;) {
            const BOOL done = step(m_info);
            if (ExitRequested())
                return false;
            if (done)
                return true;
            const LRESULT answer = Send(WM_SETUP_ERROR, code);
            if (answer == IDRETRY)
                continue;
            return answer == IDIGNORE;
        }
    }

    // The code a run ends with after a retryable step that did not go on.
    unsigned Stopped(SetupResult code) const { return ExitRequested() ? SETUP_CANCELLED : code; }

    SetupSession& m_session;
    const SetupOperations& m_ops;
    InstallInfo& m_info;
    std::wstring m_detail;
    std::wstring m_cause;
};

unsigned InstallRun::Run()
{
    m_ops.ReadServerHost(m_session.m_strServerHost);
    ::InvalidateRect(m_session.m_hDialog, nullptr, TRUE);
    m_info.EstimatedSize = 0;
    Send(WM_SETUP_BEGIN);

    DownloadFailure failure;
    const BOOL downloaded = m_ops.DownloadClientFiles(m_session.m_strServerHost.c_str(),
                                                      &m_session.m_bCancelRequested, m_session.m_hDialog,
                                                      m_info, failure);
    // The dialog is going: nobody is left to tell.
    if (ExitRequested())
        return SETUP_CANCELLED;
    // A cancel wins over the download's result: a download that finished just
    // as the user confirmed the cancel still ends the run.
    if (m_session.m_bCancelRequested)
        return Fail(SETUP_CANCELLED);
    if (!downloaded) {
        m_cause = failure.cause;
        return Fail(failure.code == SETUP_OK ? SETUP_ERR_DOWNLOAD : failure.code, failure.detail);
    }

    // From here on a cancel request is ignored.
    if (!ReportStep(STEP_DOTNET, 1))
        return SETUP_CANCELLED;
    const BOOL dotNet = m_ops.InstallDotNetFramework(m_info);
    if (ExitRequested())
        return SETUP_CANCELLED;
    if (!dotNet)
        return Fail(SETUP_ERR_DOTNET);  // never repeated or skipped, whatever the answer

    if (!ReportStep(STEP_FLASH, 2))
        return SETUP_CANCELLED;
    if (!RunRetryable(m_ops.InstallFlashPlugin, SETUP_ERR_FLASH))
        return Stopped(SETUP_ERR_FLASH);

    if (!ReportStep(STEP_X264, 3))
        return SETUP_CANCELLED;
    if (!RunRetryable(m_ops.InstallX264Encoder, SETUP_ERR_X264))
        return Stopped(SETUP_ERR_X264);

    if (!ReportStep(STEP_AVC_DECODER, 4))
        return SETUP_CANCELLED;
    if (!RunRetryable(m_ops.InstallAvcDecoder, SETUP_ERR_AVC_DECODER))
        return Stopped(SETUP_ERR_AVC_DECODER);

    // Older codec DLLs and the old MP3 encoder's settings go before the
    // product's own codecs are registered; none of this can fail the run.
    m_ops.Pause(kStepPauseMs);
    m_ops.UnregisterComServer(L"mp3encode.dll", m_info);
    m_ops.DeleteRegistryKey(HKEY_CURRENT_USER, L"Software\\Nuv\\Nuv MP3 Encoder");
    m_ops.UnregisterComServer(L"mp4mux.dll", m_info);
    m_ops.UnregisterComServer(L"mp4demux.dll", m_info);
    m_ops.UnregisterComServer(L"aacencode.dll", m_info);
    if (ExitRequested())
        return SETUP_CANCELLED;

    if (!ReportStep(STEP_CODECS, 5))
        return SETUP_CANCELLED;
    if (!RunRetryable(m_ops.InstallCodecs, SETUP_ERR_CODECS))
        return Stopped(SETUP_ERR_CODECS);

    // The client names the server its file list came from, without the
    // scheme the setup was stamped with.
    const std::wstring listHost =
        m_ops.ListServerHost ? m_ops.ListServerHost() : FirstServerHostName(m_session.m_strServerHost);
    m_ops.WriteClientConfig(listHost.c_str(), m_info);
    // Without its entry the installation cannot be found, repaired or
    // removed, and the next setup would not know its folder: a failed write
    // is a failed step like any other.
    if (!RunRetryable(m_ops.WriteUninstallEntry, SETUP_ERR_UNINSTALL_ENTRY))
        return Stopped(SETUP_ERR_UNINSTALL_ENTRY);
    m_ops.CleanClientDataFolder();

    // Only a run that installed everything raises the version a later run
    // must at least bring.
    if (m_ops.KeepAcceptedListVersion)
        m_ops.KeepAcceptedListVersion();
    ::InterlockedExchange(&m_session.m_bInstallComplete, 1);
    m_ops.Pause(kStepPauseMs);
    Send(WM_SETUP_COMPLETE);
    return SETUP_OK;
}

}  // namespace

unsigned __stdcall InstallWorker(void* session)
{
    LogRunStart();
    InstallRun run(*static_cast<SetupSession*>(session));
    const unsigned result = run.Run();
    LogRunOutcome(result, run.FailureDetail(), run.FailureCause());
    return result;
}
