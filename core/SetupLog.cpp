#include "core/SetupLog.h"

#include "core/SetupMessages.h"
#include "framework/LogFile.h"

std::wstring DefaultSetupLogPath()
{
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    std::wstring path(folder, length <= MAX_PATH ? length : 0);
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path + L"QXTSetup.log";
}

std::wstring SetupLogPath(const std::wstring& requested)
{
    return requested.empty() ? DefaultSetupLogPath() : requested;
}

bool OpenSetupLog(const std::wstring& path)
{
    const std::wstring logPath = SetupLogPath(path);
    return ProcessLog().Open(logPath, PreviousLogPath(logPath));
}

const wchar_t* SetupResultName(UINT result)
{
    switch (result) {
    case SETUP_OK: return L"success";
    case SETUP_ERR_UNINSTALL_ENTRY: return L"uninstall entry (WriteUninstallEntry)";
    case SETUP_ERR_CODECS: return L"codec registration (InstallCodecs)";
    case SETUP_ERR_AAC_DECODER: return L"AAC decoder";
    case SETUP_ERR_AAC_ENCODER: return L"AAC encoder";
    case SETUP_ERR_MP4_DECODER: return L"MP4 decoder";
    case SETUP_ERR_MP4_ENCODER: return L"MP4 encoder";
    case SETUP_ERR_AVC_DECODER: return L"AVC decoder (InstallAvcDecoder)";
    case SETUP_ERR_MP3_ENCODER: return L"MP3 encoder";
    case SETUP_ERR_X264: return L"x264 encoder (InstallX264Encoder)";
    case SETUP_ERR_FLASH: return L"Flash plug-in (InstallFlashPlugin)";
    case SETUP_ERR_DOTNET: return L".NET Framework (InstallDotNetFramework)";
    case SETUP_ERR_DOWNLOAD: return L"download of the client's files (DownloadClientFiles)";
    case SETUP_ERR_PROXY_LOGIN: return L"download of the client's files: login to the proxy";
    case SETUP_ERR_BAD_SIGNATURE: return L"download of the client's files: signature of the file list";
    case SETUP_ERR_DAMAGED_LIST: return L"download of the client's files: format of the file list";
    case SETUP_ERR_EXPIRED_LIST: return L"download of the client's files: expiry of the file list";
    case SETUP_ERR_OLDER_LIST: return L"download of the client's files: version of the file list";
    case SETUP_ERR_FILE_MISMATCH: return L"download of the client's files: size or SHA-256 of a file";
    case SETUP_ERR_NO_SIGNED_LIST: return L"download of the client's files: no signed file list on the server";
    case SETUP_CANCELLED: return L"cancelled by the user";
    default: return L"unknown";
    }
}

namespace {
// Written by the worker, read by the dialog's thread after the dialog closed.
volatile LONG g_lastRunOutcome = SETUP_OK;
}  // namespace

void LogRunStart()
{
    ::InterlockedExchange(&g_lastRunOutcome, SETUP_CANCELLED);
    LogLine(L"Installation run started");
}

UINT LastRunOutcome()
{
    return static_cast<UINT>(::InterlockedCompareExchange(&g_lastRunOutcome, 0, 0));
}

void LogRunOutcome(UINT result, const std::wstring& detail, const std::wstring& cause)
{
    ::InterlockedExchange(&g_lastRunOutcome, static_cast<LONG>(result));
    if (result == SETUP_OK) {
        LogLine(L"All installation steps done");
        return;
    }
    if (result == SETUP_CANCELLED) {
        LogLine(L"Installation cancelled by the user (exit code 255)");
        return;
    }
    const std::wstring logged = cause.empty() ? LastLoggedError() : cause;
    std::wstring reason = logged.empty() ? L"no error was logged" : logged;
    if (!detail.empty())
        reason = detail + L" (" + reason + L")";
    LogLine(L"Installation failed at step: %ls (exit code %u): %ls", SetupResultName(result), result, reason.c_str());
}

void LogFinishActions(bool autorun, bool programGroup, bool desktopShortcut, bool launchClient)
{
    LogLine(L"Finish actions: start with Windows %ls, program group %ls, desktop shortcut %ls, start the client %ls",
            autorun ? L"yes" : L"no", programGroup ? L"yes" : L"no", desktopShortcut ? L"yes" : L"no",
            launchClient ? L"yes" : L"no");
}
