#include "tests/setup/StandInOperations.h"

#include "core/SetupMessages.h"

#include <gtest/gtest.h>

namespace qxt::test {

BOOL StandInOperations::Next(const std::wstring& operation)
{
    const size_t call = m_calls[operation]++;
    const auto it = m_results.find(operation);
    if (it == m_results.end() || call >= it->second.size())
        return TRUE;
    return it->second[call];
}

void StandInOperations::ExpectSessionRecord(const InstallInfo& info, const char* operation)
{
    EXPECT_EQ(&info, &m_session.m_installInfo) << operation << " must work on the session's record";
}

std::vector<ExpectedMessage> StandInDownloadMessages()
{
    return {
        {WM_DOWNLOAD_BEGIN, 0, 0},
        {WM_DOWNLOAD_FILE_INDEX, 1, 2},
        {WM_SETUP_STATUS_TEXT, L"正在下载 QXTClient.exe", 0},
        {WM_DOWNLOAD_PROGRESS, 1000, 1000},
        {WM_DOWNLOAD_FILE_INDEX, 2, 2},
        {WM_SETUP_STATUS_TEXT, L"正在下载 qxtcodec.dll", 0},
        {WM_DOWNLOAD_PROGRESS, 234, 234},
        {WM_DOWNLOAD_COMPLETE, 0, 0},
    };
}

SetupOperations StandInOperations::Table()
{
    SetupOperations ops;
    ops.KillFirstProcessByName = [this](const wchar_t* exeName) {
        m_recorder.Note(std::wstring(L"KillFirstProcessByName ") + exeName);
    };
    ops.FillInstallInfo = [this](InstallInfo& info, const std::wstring& folder) {
        ExpectSessionRecord(info, "FillInstallInfo");
        m_recorder.Note(L"FillInstallInfo " + folder);
        ::FillInstallInfo(info, folder);
    };
    ops.ReadServerHost = [this](std::wstring& host) {
        EXPECT_EQ(&host, &m_session.m_strServerHost);
        if (!workerThread)
            ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &workerThread,
                              0, FALSE, DUPLICATE_SAME_ACCESS);
        m_recorder.Note(L"ReadServerHost " + host);
        host = stampedHost;
    };
    ops.DownloadClientFiles = [this](const wchar_t* host, const volatile LONG* cancel, HWND window,
                                     InstallInfo& info, DownloadFailure& failure) -> BOOL {
        ExpectSessionRecord(info, "DownloadClientFiles");
        EXPECT_EQ(cancel, &m_session.m_bCancelRequested);
        EXPECT_EQ(window, m_session.m_hDialog);
        // The value is the size the record carries when the download starts.
        m_recorder.Note(std::wstring(L"DownloadClientFiles ") + host, static_cast<LPARAM>(info.EstimatedSize));
        const BOOL result = Next(L"DownloadClientFiles");
        const std::wstring names[] = {L"正在下载 QXTClient.exe", L"正在下载 qxtcodec.dll"};
        ::SendMessageW(window, WM_DOWNLOAD_BEGIN, 0, 0);
        for (int i = 0; i < 2; ++i) {
            ::SendMessageW(window, WM_DOWNLOAD_FILE_INDEX, i + 1, 2);
            ::SendMessageW(window, WM_SETUP_STATUS_TEXT, reinterpret_cast<WPARAM>(&names[i]), 0);
            ::SendMessageW(window, WM_DOWNLOAD_PROGRESS, kFileSizes[i], kFileSizes[i]);
            info.EstimatedSize += kFileSizes[i];
        }
        if (result) {
            ::SendMessageW(window, WM_DOWNLOAD_COMPLETE, 0, 0);
        } else {
            const std::wstring failed = L"下载失败";
            ::SendMessageW(window, WM_DOWNLOAD_FAILED, reinterpret_cast<WPARAM>(&failed), 0);
            failure = m_downloadFailure;
        }
        return result;
    };
    const auto step = [this](const wchar_t* name) {
        return [this, name](InstallInfo& info) -> BOOL {
            ExpectSessionRecord(info, "an installation step");
            m_recorder.Note(name);
            return Next(name);
        };
    };
    ops.InstallDotNetFramework = step(L"InstallDotNetFramework");
    ops.InstallFlashPlugin = step(L"InstallFlashPlugin");
    ops.InstallX264Encoder = step(L"InstallX264Encoder");
    ops.InstallAvcDecoder = step(L"InstallAvcDecoder");
    ops.InstallCodecs = step(L"InstallCodecs");
    ops.UnregisterComServer = [this](const wchar_t* dllName, InstallInfo& info) {
        ExpectSessionRecord(info, "UnregisterComServer");
        m_recorder.Note(std::wstring(L"UnregisterComServer ") + dllName);
    };
    ops.DeleteRegistryKey = [this](HKEY root, const wchar_t* subKey) {
        m_recorder.Note(std::wstring(L"DeleteRegistryKey ") + (root == HKEY_CURRENT_USER ? L"HKCU\\" : L"?\\") +
                        subKey);
    };
    ops.WriteClientConfig = [this](const wchar_t* host, InstallInfo& info) {
        ExpectSessionRecord(info, "WriteClientConfig");
        m_recorder.Note(std::wstring(L"WriteClientConfig ") + host);
    };
    ops.WriteUninstallEntry = [this](InstallInfo& info) {
        ExpectSessionRecord(info, "WriteUninstallEntry");
        m_recorder.Note(L"WriteUninstallEntry", static_cast<LPARAM>(info.EstimatedSize));
        return Next(L"WriteUninstallEntry");
    };
    ops.CleanClientDataFolder = [this] { m_recorder.Note(L"CleanClientDataFolder"); };
    ops.Pause = [this](DWORD milliseconds) {
        // The value tells whether the run was already marked complete.
        m_recorder.Note(L"Pause " + std::to_wstring(milliseconds), m_session.m_bInstallComplete);
    };
    return ops;
}

}  // namespace qxt::test
