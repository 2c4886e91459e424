#include "framework/WinApp.h"

#include <ole2.h>

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() noexcept
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (m_bOleInitialized)
        ::OleUninitialize();
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    m_bOleInitialized = SUCCEEDED(::OleInitialize(nullptr));
    return TRUE;
}

CWinApp* AfxGetApp() noexcept
{
    return g_app;
}
