#include "setup/InstallWorker.h"

#include "core/SetupLog.h"
#include "core/SetupMessages.h"
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

private:
    LRESULT Send(UINT message, WPARAM wParam = 0) { return ::SendMessageW(m_session.m_hDialog, message, wParam, 0); }

    // Ends the run with code after telling the dialog; the answer does not matter.
    unsigned Fail(SetupResult code)
    {
        Send(WM_SETUP_ERROR, code);
        return code;
    }

    void ReportStep(SetupStep step, LPARAM ordinal)
    {
        m_ops.Pause(kStepPauseMs);
        ::SendMessageW(m_session.m_hDialog, WM_SETUP_STEP, step, ordinal);
    }

    // Calls the step until it succeeds or the dialog answers something other
    // than Retry; Ignore counts as success. False when the run must end.
    bool RunRetryable(const std::function<BOOL(InstallInfo&)>& step, SetupResult code)
    {
        for (;;) {
            if (step(m_info))
                return true;
            const LRESULT answer = Send(WM_SETUP_ERROR, code);
            if (answer == IDRETRY)
                continue;
            return answer == IDIGNORE;
        }
    }

    SetupSession& m_session;
    const SetupOperations& m_ops;
    InstallInfo& m_info;
};

unsigned InstallRun::Run()
{
    m_ops.ReadServerHost(m_session.m_strServerHost);
    ::InvalidateRect(m_session.m_hDialog, nullptr, TRUE);
    m_info.EstimatedSize = 0;
    Send(WM_SETUP_BEGIN);

    const BOOL downloaded = m_ops.DownloadClientFiles(m_session.m_strServerHost.c_str(),
                                                      &m_session.m_bCancelRequested, m_session.m_hDialog,
                                                      m_info);
    // A cancel wins over the download's result: a download that finished just
    // as the user confirmed the cancel still ends the run.
    if (m_session.m_bCancelRequested)
        return Fail(SETUP_CANCELLED);
    if (!downloaded)
        return Fail(SETUP_ERR_DOWNLOAD);

    // From here on a cancel request is ignored.
    ReportStep(STEP_DOTNET, 1);
    if (!m_ops.InstallDotNetFramework(m_info))
        return Fail(SETUP_ERR_DOTNET);  // never repeated or skipped, whatever the answer

    ReportStep(STEP_FLASH, 2);
    if (!RunRetryable(m_ops.InstallFlashPlugin, SETUP_ERR_FLASH))
        return SETUP_ERR_FLASH;

    ReportStep(STEP_X264, 3);
    if (!RunRetryable(m_ops.InstallX264Encoder, SETUP_ERR_X264))
        return SETUP_ERR_X264;

    ReportStep(STEP_AVC_DECODER, 4);
    if (!RunRetryable(m_ops.InstallAvcDecoder, SETUP_ERR_AVC_DECODER))
        return SETUP_ERR_AVC_DECODER;

    // Older codec DLLs and the old MP3 encoder's settings go before the
    // product's own codecs are registered; none of this can fail the run.
    m_ops.Pause(kStepPauseMs);
    m_ops.UnregisterComServer(L"mp3encode.dll", m_info);
    m_ops.DeleteRegistryKey(HKEY_CURRENT_USER, L"Software\\Nuv\\Nuv MP3 Encoder");
    m_ops.UnregisterComServer(L"mp4mux.dll", m_info);
    m_ops.UnregisterComServer(L"mp4demux.dll", m_info);
    m_ops.UnregisterComServer(L"aacencode.dll", m_info);

    ReportStep(STEP_CODECS, 5);
    if (!RunRetryable(m_ops.InstallCodecs, SETUP_ERR_CODECS))
        return SETUP_ERR_CODECS;

    m_ops.WriteClientConfig(m_session.m_strServerHost.c_str(), m_info);
    m_ops.WriteUninstallEntry(m_info);
    m_ops.CleanClientDataFolder();

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
    LogRunOutcome(result);
    return result;
}
