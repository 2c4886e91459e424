#include "app/QXTSetupApp.h"

#include "framework/MessageBox.h"
#include "setup/QXTSetupDlg.h"

#include <commctrl.h>

#include <memory>

const wchar_t kSingleInstanceMutexName[] = L"CF65190A-1F4F-4F9D-8C72-836EB5362FF3";

BOOL CQXTSetupApp::InitInstance()
{
    // Never closed: the system releases the mutex when the process ends, and
    // until then a second instance sees it and leaves without a word.
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName);
    if (!mutex || ::GetLastError() == ERROR_ALREADY_EXISTS)
        return FALSE;

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFF;
    ::InitCommonControlsEx(&controls);

    CWinApp::InitInstance();

    auto dialog = std::make_unique<CQXTSetupDlg>();
    m_pMainWnd = dialog.get();
    dialog->DoModal();
    m_pMainWnd = nullptr;
    AfxSetMainWnd(nullptr);
    return FALSE;
}
