#include "setup/QXTSetupDlg.h"

#include "controls/LoadPngResource.h"
#include "core/SetupLog.h"
#include "core/SetupMessages.h"
#include "framework/FormatText.h"
#include "framework/Handles.h"
#include "framework/WindowDpi.h"
#include "framework/MessageBox.h"
#include "install/FinishActions.h"
#include "install/UninstallEntry.h"
#include "res/resource.h"
#include "setup/DialogLayout.h"
#include "setup/InstallFolderCheck.h"
#include "setup/InstallLocation.h"
#include "setup/ProxyLoginBox.h"
#include "setup/StartInstallation.h"

#include <commctrl.h>
#include <windowsx.h>

#include <iterator>
#include <string>

using namespace dialog_layout;

namespace {

constexpr wchar_t kErrorCaption[] = L"错误";
constexpr wchar_t kQuestionCaption[] = L"提示";
constexpr wchar_t kBrowseTitle[] = L"请选择Quolix安装位置";
constexpr wchar_t kFolderTooLong[] = L"安装路径过长，请重新选择！";
constexpr wchar_t kFolderInvalid[] = L"请选择有效的安装路径！";
constexpr wchar_t kCancelQuestion[] = L"您确定要取消安装吗？";
constexpr wchar_t kExitQuestion[] = L"您确定要退出安装过程吗？";
constexpr wchar_t kExiting[] = L"正在退出，请稍候...";

// How a failed run is reported: the box's text and buttons, and what the
// worker is told. An empty text means no box.
struct ErrorReport {
    UINT code;
    const wchar_t* text;
    UINT type;
    int fixedAnswer;  // -1: the pressed button is the answer
};

const ErrorReport kErrorReports[] = {
    {SETUP_ERR_UNINSTALL_ENTRY, L"卸载信息写入失败，请重试！", MB_ABORTRETRYIGNORE | MB_ICONERROR, -1},
    {SETUP_ERR_CODECS, L"编解码器安装失败，请重试！", MB_OK | MB_ICONERROR, 0},
    {SETUP_ERR_AAC_DECODER, L"AAC解码器安装失败，请重试！", MB_ABORTRETRYIGNORE | MB_ICONERROR, -1},
    {SETUP_ERR_AAC_ENCODER, L"AAC编码器安装失败，请重试！", MB_ABORTRETRYIGNORE | MB_ICONERROR, -1},
    {SETUP_ERR_MP4_DECODER, L"MP4解码器安装失败，请重试！", MB_ABORTRETRYIGNORE | MB_ICONERROR, -1},
    {SETUP_ERR_MP4_ENCODER, L"MP4编码器安装失败，请重试！", MB_ABORTRETRYIGNORE | MB_ICONERROR, -1},
    {SETUP_ERR_AVC_DECODER, L"AVC解码器安装失败，请重试！", MB_ABORTRETRYIGNORE | MB_ICONERROR, -1},
    {SETUP_ERR_MP3_ENCODER, L"MP3编码器安装失败，请重试！", MB_ABORTRETRYIGNORE | MB_ICONERROR, -1},
    {SETUP_ERR_X264, L"X264视频编码器安装失败，请重试！", MB_ABORTRETRYIGNORE | MB_ICONERROR, -1},
    {SETUP_ERR_FLASH, L"Flash插件安装失败，请重试！", MB_ABORTRETRYIGNORE | MB_ICONERROR, -1},
    {SETUP_ERR_DOTNET, L".Net framework 组件安装失败，请重试！", MB_OK | MB_ICONERROR, IDOK},
    {SETUP_ERR_DOWNLOAD, L"文件下载失败，请重试！", MB_OK | MB_ICONERROR, IDOK},
    // The user left the proxy's login box: the line under the first one says so.
    {SETUP_ERR_PROXY_LOGIN, L"文件下载失败，请重试！", MB_OK | MB_ICONERROR, IDOK},
    // The trust checks end the download the same way; the line under the
    // first one names the check.
    {SETUP_ERR_BAD_SIGNATURE, L"文件下载失败，请重试！", MB_OK | MB_ICONERROR, IDOK},
    {SETUP_ERR_DAMAGED_LIST, L"文件下载失败，请重试！", MB_OK | MB_ICONERROR, IDOK},
    {SETUP_ERR_EXPIRED_LIST, L"文件下载失败，请重试！", MB_OK | MB_ICONERROR, IDOK},
    {SETUP_ERR_OLDER_LIST, L"文件下载失败，请重试！", MB_OK | MB_ICONERROR, IDOK},
    {SETUP_ERR_FILE_MISMATCH, L"文件下载失败，请重试！", MB_OK | MB_ICONERROR, IDOK},
    {SETUP_ERR_NO_SIGNED_LIST, L"文件下载失败，请重试！", MB_OK | MB_ICONERROR, IDOK},
};

const wchar_t* StepText(WPARAM step)
{
    switch (step) {
    case STEP_DOTNET: return L"正在安装 .Net Framework 4...";
    case STEP_FLASH: return L"正在安装 Flash插件...";
    case STEP_X264: return L"正在安装 x264视频编码器...";
    case STEP_MP3_ENCODER: return L"正在安装 MP3音频编码器...";
    case STEP_AVC_DECODER: return L"正在安装 AVC视频解码器...";
    case STEP_MP4_ENCODER: return L"正在安装 MP4视频编码器...";
    case STEP_MP4_DECODER: return L"正在安装 MP4视频解码器...";
    case STEP_AAC_ENCODER: return L"正在安装 AAC音频编码器...";
    case STEP_AAC_DECODER: return L"正在安装 AAC音频解码器...";
    case STEP_CODECS: return L"正在安装 编解码器...";
    default: return nullptr;
    }
}

}  // namespace

CQXTSetupDlg::CQXTSetupDlg(SetupOperations operations)
    : CDialogEx(IDD_QXTSETUP_DIALOG), SetupSession(std::move(operations))
{
    m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP));
    // No window yet: the system's scale, which the window has unless the
    // system keeps one per screen and the window opens on another.
    m_nDpi = qxt::DpiOfWindow(nullptr);
    LoadBackground();
}

void CQXTSetupDlg::LoadBackground()
{
    m_imgTitle.Destroy();
    m_imgBackground.Destroy();
    LoadPngResourceForDpi(m_imgTitle, MAKEINTRESOURCEW(IDB_TITLE_STRIP), m_nDpi);
    LoadPngResourceForDpi(m_imgBackground, MAKEINTRESOURCEW(IDB_BACKGROUND), m_nDpi);
    m_nWindowWidth = m_imgTitle.GetWidth();
    m_nWindowHeight = m_imgTitle.GetHeight() + m_imgBackground.GetHeight();
}

CQXTSetupDlg::~CQXTSetupDlg()
{
    // The worker works on this object. Without the window its reports return
    // at once, so it reaches its next step boundary and ends there.
    ::InterlockedExchange(&m_bExitRequested, 1);
    ::InterlockedExchange(&m_bCancelRequested, 1);
    if (m_workerThread)
        ::WaitForSingleObject(m_workerThread.Get(), INFINITE);
}

void CQXTSetupDlg::PreSubclassWindow()
{
    ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(GetStyle() & ~WS_CAPTION));
    ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, 0);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    CDialogEx::PreSubclassWindow();
}

BOOL CQXTSetupDlg::OnInitDialog()
{
    m_bExistingInstall = ReadUsableInstallation(m_installInfo);
    const std::wstring folder =
        m_bExistingInstall ? std::wstring(m_installInfo.InstallLocation)
                           : m_strInitialFolder.value_or(GetDefaultInstallPath(m_hWnd));

    CDialogEx::OnInitDialog();
    AfxSetMainWnd(m_hWnd);
    m_hDialog = m_hWnd;

    // The template's font is made for the scale the window opens at; the
    // layout follows that scale, and a later change of scale is ours to do.
    qxt::TakeOverDialogScaling(m_hWnd);
    m_hTemplateFont = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    const UINT dpi = qxt::DpiOfWindow(m_hWnd);
    m_nFontDpi = dpi;
    if (dpi != m_nDpi) {
        m_nDpi = dpi;
        LoadBackground();
    }

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_nWindowWidth, m_nWindowHeight,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);

    // Every control from its row of the layout, in the rows' order. The
    // template's controls start shown and enabled; only what the welcome page
    // has otherwise is changed.
    auto enable = [&](CWnd& control, const ControlLayout& row) {
        const Enabled enabled = row.pages[static_cast<int>(Page::Welcome)].enabled;
        if (enabled == Enabled::No || enabled == Enabled::UnlessExisting)
            control.EnableWindow(enabled == Enabled::UnlessExisting && !m_bExistingInstall);
    };
    auto hide = [](CWnd& control, const ControlLayout& row) {
        if (!row.pages[static_cast<int>(Page::Welcome)].shown)
            control.ShowWindow(SW_HIDE);
    };

    for (const ControlLayout& row : kControls) {
        switch (row.id) {
        case IDC_INSTALL_PATH:
            m_editInstallPath.SubclassDlgItem(IDC_INSTALL_PATH, this);
            m_editInstallPath.SetHighlightColor(kEditHighlight);
            m_editInstallPath.SetWindowText(folder);
            PlaceControl(row);
            enable(m_editInstallPath, row);
            break;
        case IDC_BROWSE:
        case IDC_CLOSE:
        case IDC_MINIMIZE:
        case IDC_START:
        case IDC_CANCEL_INSTALL:
        case IDC_FINISH: {
            CImageButton& button = ImageButton(row.id);
            button.SubclassDlgItem(static_cast<int>(row.id), this);
            PlaceControl(row);
            hide(button, row);
            enable(button, row);
            break;
        }
        case IDC_PROGRESS:
            m_progress.SubclassDlgItem(IDC_PROGRESS, this);
            PlaceControl(row);
            m_progress.SendMessage(PBM_SETRANGE32, 0, 100);
            hide(m_progress, row);
            break;
        case IDC_STATUS:
        case IDC_COUNTER: {
            CRichStatic& text = row.id == IDC_STATUS ? m_staticStatus : m_staticCounter;
            text.SubclassDlgItem(static_cast<int>(row.id), this);
            PlaceControl(row);
            text.SetWindowText(L"");
            text.SetTextColor(kStatusTextColor);
            hide(text, row);
            break;
        }
        case IDC_AUTORUN:
        case IDC_DESKTOP_SHORTCUT:
        case IDC_PROGRAM_GROUP: {
            CImageCheckButton& box = row.id == IDC_AUTORUN           ? m_checkAutorun
                                     : row.id == IDC_DESKTOP_SHORTCUT ? m_checkDesktopShortcut
                                                                      : m_checkProgramGroup;
            box.SubclassDlgItem(static_cast<int>(row.id), this);
            PlaceControl(row);
            box.m_nCheck = 1;
            box.Invalidate();
            hide(box, row);
            break;
        }
        case IDC_PANEL:
            m_panel.SubclassDlgItem(IDC_PANEL, this);
            PlaceControl(row);
            m_panel.SetImage(&m_imgPictures[m_nSwitchIndex]);
            break;
        default:
            for (int n = 0; n < kSwitchCount; ++n)
                if (kSwitchIds[n] == row.id) {
                    m_switches[n].SubclassDlgItem(static_cast<int>(row.id), this);
                    PlaceControl(row);
                }
            break;
        }
    }

    // Every picture of the skin is decoded by now.
    ReleaseImageDecoder();
    SetTimer(m_nTimerId, kRotationPeriodMs);
    return TRUE;
}

void CQXTSetupDlg::PlaceControl(const ControlLayout& row)
{
    auto place = [&](CWnd& control, SIZE frame) {
        const RECT r = PlaceOf(row, frame, m_nWindowWidth, SIZE{m_btnClose.m_nFrameWidth, m_btnClose.m_nFrameHeight},
                               m_nDpi);
        control.MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top);
        return r;
    };
    // An image button, check box or switch: its strip, then its place at the
    // size of one state.
    auto placeImage = [&](auto& control) {
        control.SetImageForDpi(ImageOf(row, m_bExistingInstall), m_nDpi);
        place(control, SIZE{control.m_nFrameWidth, control.m_nFrameHeight});
    };

    switch (row.id) {
    case IDC_INSTALL_PATH: place(m_editInstallPath, SIZE{}); break;
    case IDC_BROWSE:
    case IDC_CLOSE:
    case IDC_MINIMIZE:
    case IDC_START:
    case IDC_CANCEL_INSTALL:
    case IDC_FINISH: placeImage(ImageButton(row.id)); break;
    case IDC_PROGRESS: place(m_progress, SIZE{}); break;
    case IDC_STATUS:
    case IDC_COUNTER: {
        CRichStatic& text = row.id == IDC_STATUS ? m_staticStatus : m_staticCounter;
        const RECT r = PlaceOf(row, SIZE{}, m_nWindowWidth, SIZE{}, m_nDpi);
        text.SetPosition(r.left, r.top, r.right - r.left, r.bottom - r.top);
        break;
    }
    case IDC_AUTORUN: placeImage(m_checkAutorun); break;
    case IDC_DESKTOP_SHORTCUT: placeImage(m_checkDesktopShortcut); break;
    case IDC_PROGRAM_GROUP: placeImage(m_checkProgramGroup); break;
    case IDC_PANEL:
        // The pictures are loaded once all switches are in place.
        for (int n = 0; n < kSwitchCount; ++n) {
            m_imgPictures[n].Destroy();
            LoadPngResourceForDpi(m_imgPictures[n], MAKEINTRESOURCEW(kPictureImages[n]), m_nDpi);
        }
        place(m_panel, SIZE{});
        break;
    default:
        for (int n = 0; n < kSwitchCount; ++n)
            if (kSwitchIds[n] == row.id)
                placeImage(m_switches[n]);
        break;
    }
}

LRESULT CQXTSetupDlg::OnDpiChanged(UINT dpi, const RECT& suggested)
{
    if (dpi == 0 || dpi == m_nDpi)
        return 0;
    // The fade draws the pictures that are about to be replaced.
    m_panel.StopAnimation();
    CImage* const shown = m_panel.m_pImage.load();

    m_nDpi = dpi;
    LoadBackground();
    HFONT font = m_hTemplateFont;
    if (dpi != m_nFontDpi) {
        m_font.Own(qxt::ScaleFont(m_hTemplateFont, m_nFontDpi, dpi));
        if (m_font)
            font = m_font.Get();
    } else {
        m_font.Borrow(nullptr);
    }
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    ::SetWindowPos(m_hWnd, nullptr, suggested.left, suggested.top, m_nWindowWidth, m_nWindowHeight,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    m_panel.m_bmpBackground.DeleteObject();
    for (const ControlLayout& row : kControls)
        PlaceControl(row);
    for (int n = 0; n < kSwitchCount; ++n)
        if (shown == &m_imgPictures[n])
            m_panel.SetImage(shown);
    // Every control takes its background snapshot again from the new skin.
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return 0;
}

CImageButton& CQXTSetupDlg::ImageButton(UINT id)
{
    switch (id) {
    case IDC_BROWSE: return m_btnBrowse;
    case IDC_CLOSE: return m_btnClose;
    case IDC_MINIMIZE: return m_btnMinimize;
    case IDC_START: return m_btnStart;
    case IDC_CANCEL_INSTALL: return m_btnCancelInstall;
    default: return m_btnFinish;
    }
}

bool CQXTSetupDlg::AcceptInstallFolder(const std::wstring& folder)
{
    switch (CheckInstallFolder(folder)) {
    case InstallFolderVerdict::Accepted:
        return true;
    case InstallFolderVerdict::TooLong:
        ::MessageBoxW(m_hWnd, kFolderTooLong, kErrorCaption, MB_OK | MB_ICONERROR);
        return false;
    case InstallFolderVerdict::Empty:
    case InstallFolderVerdict::NotAbsolute:
        // Such a folder would install into the root of the current drive.
    case InstallFolderVerdict::InvalidName:
        // And such a one would fail later, half-way through the run.
        break;
    }
    ::MessageBoxW(m_hWnd, kFolderInvalid, kErrorCaption, MB_OK | MB_ICONERROR);
    return false;
}

LRESULT CQXTSetupDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(OnQueryDragIcon());
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_IMAGESWITCH_SELECTED: return OnImageSwitchSelected(wParam, lParam);
    case WM_IMAGESWITCH_HOVER: return OnImageSwitchHover(wParam, lParam);
    case WM_SETUP_BEGIN: return OnSetupBegin();
    case WM_SETUP_COMPLETE: return OnSetupComplete();
    case WM_SETUP_ERROR: return OnSetupError(wParam, lParam);
    case WM_SETUP_PROXY_LOGIN: return AskProxyLogin(m_hWnd, *reinterpret_cast<ProxyLoginRequest*>(lParam));
    case WM_SETUP_STEP: return OnSetupStep(wParam, lParam);
    case WM_DOWNLOAD_BEGIN: return 0;
    case WM_DOWNLOAD_FILE_INDEX: return OnDownloadFileIndex(wParam, lParam);
    case WM_DOWNLOAD_PROGRESS: return OnDownloadProgress(wParam, lParam);
    case WM_SETUP_STATUS_TEXT: return OnSetupStatusText(wParam);
    case WM_DOWNLOAD_COMPLETE: return OnDownloadComplete();
    case WM_DOWNLOAD_FAILED: return 0;
    case WM_DPICHANGED: return OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
    case WM_GETFONT:
        // After a change of scale the controls write with the dialog's copy
        // of its font; the progress bar asks its parent for it.
        if (m_font)
            return reinterpret_cast<LRESULT>(m_font.Get());
        return CDialogEx::WindowProc(message, wParam, lParam);
    default:
        return CDialogEx::WindowProc(message, wParam, lParam);
    }
}

BOOL CQXTSetupDlg::OnCommand(WPARAM wParam, LPARAM)
{
    if (HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_MINIMIZE: OnBnClickedMinimize(); return TRUE;
    case IDC_CLOSE: OnBnClickedClose(); return TRUE;
    case IDC_START: OnBnClickedStart(); return TRUE;
    case IDC_BROWSE: OnBnClickedBrowse(); return TRUE;
    case IDC_CANCEL_INSTALL: OnBnClickedCancelInstall(); return TRUE;
    case IDC_FINISH: OnBnClickedFinish(); return TRUE;
    default: return FALSE;
    }
}

void CQXTSetupDlg::OnBnClickedMinimize()
{
    SendMessage(WM_SYSCOMMAND, SC_MINIMIZE);
}

void CQXTSetupDlg::OnBnClickedClose()
{
    SendMessage(WM_SYSCOMMAND, SC_CLOSE);
}

void CQXTSetupDlg::OnBnClickedStart()
{
    StartInstallation(m_hWnd, *this, [this](const std::wstring& folder) { return AcceptInstallFolder(folder); });
}

void CQXTSetupDlg::OnBnClickedBrowse()
{
    wchar_t chosen[MAX_PATH] = {};
    if (!BrowseForInstallFolder(kBrowseTitle, chosen, m_hWnd))
        return;
    m_editInstallPath.SetWindowText(InstallPathForChosenFolder(chosen));
}

void CQXTSetupDlg::OnBnClickedCancelInstall()
{
    if (::MessageBoxW(m_hWnd, kCancelQuestion, kQuestionCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    m_btnCancelInstall.EnableWindow(FALSE);
    ::InterlockedExchange(&m_bCancelRequested, 1);
}

void CQXTSetupDlg::OnBnClickedFinish()
{
    LogFinishActions(m_checkAutorun.m_nCheck == 1, m_checkProgramGroup.m_nCheck == 1,
                     m_checkDesktopShortcut.m_nCheck == 1, m_bLaunchClient);
    if (m_checkAutorun.m_nCheck == 1)
        AddRunEntry(m_installInfo);
    else
        RemoveRunEntry();
    if (m_checkProgramGroup.m_nCheck == 1)
        CreateProgramGroup(m_installInfo);
    else
        RemoveProgramGroup();
    if (m_checkDesktopShortcut.m_nCheck == 1)
        CreateDesktopShortcut(m_installInfo);
    else
        RemoveDesktopShortcut();
    if (m_bLaunchClient)
        LaunchClient(m_installInfo);
    SendMessage(WM_CLOSE);
}

void CQXTSetupDlg::OnOK()
{
    SendMessage(WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(IDC_START)));
}

void CQXTSetupDlg::OnCancel()
{
    // Already leaving, and waiting for the worker.
    if (m_bExitRequested)
        return;
    if (m_bInstallComplete == 0 &&
        ::MessageBoxW(m_hWnd, kExitQuestion, kQuestionCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    WaitForWorkerToStop();
    KillTimer(m_nTimerId);
    m_panel.StopAnimation();
    CDialogEx::OnCancel();
}

void CQXTSetupDlg::WaitForWorkerToStop()
{
    ::InterlockedExchange(&m_bExitRequested, 1);
    if (!m_workerThread || ::WaitForSingleObject(m_workerThread.Get(), 0) == WAIT_OBJECT_0)
        return;

    // During the download this is the cancel the cancel button makes; later
    // the worker ends after its current step has put back what it changed.
    ::InterlockedExchange(&m_bCancelRequested, 1);
    m_btnCancelInstall.EnableWindow(FALSE);
    m_btnClose.EnableWindow(FALSE);
    if (m_staticStatus.IsWindowVisible())
        m_staticStatus.SetWindowText(kExiting);

    // The worker reports with SendMessageW: the wait must go on delivering
    // messages, or both threads would wait for each other.
    const HANDLE thread = m_workerThread.Get();
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Left for the loop that runs the dialog; the destructor
                // still waits for the worker.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void CQXTSetupDlg::OnPaint()
{
    if (!::IsIconic(m_hWnd)) {
        Default();
        return;
    }
    qxt::PaintDc dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()));
    RECT client{};
    GetClientRect(&client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc.Get(), x, y, m_hIcon);
}

HCURSOR CQXTSetupDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CQXTSetupDlg::OnLButtonDown(UINT, POINT point)
{
    SendMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
    Default();
}

BOOL CQXTSetupDlg::OnEraseBkgnd(HDC dc)
{
    RECT window{};
    GetWindowRect(&window);
    const int width = window.right - window.left;

    // Straight onto the DC: both pictures are opaque and together cover the
    // window, so each pixel is written once either way, and an off-screen
    // copy would cost a window-sized bitmap (1 MB) for every erase.
    const int titleHeight = m_imgTitle.GetHeight();
    m_imgTitle.Draw(dc, 0, 0, width, titleHeight, 0, 0, m_imgTitle.GetWidth(), titleHeight);
    m_imgBackground.Draw(dc, 0, titleHeight, width, m_imgBackground.GetHeight(), 0, 0, m_imgBackground.GetWidth(),
                         m_imgBackground.GetHeight());
    return TRUE;
}

void CQXTSetupDlg::OnTimer(UINT_PTR)
{
    m_nSwitchIndex = (m_nSwitchIndex + 1) % kSwitchCount;
    if (!m_switches[m_nSwitchIndex].IsSelected())
        m_switches[m_nSwitchIndex].SetSelected(TRUE);
    Default();
}

LRESULT CQXTSetupDlg::OnImageSwitchSelected(WPARAM wParam, LPARAM lParam)
{
    if (lParam != 1)
        return 0;
    const auto selected = reinterpret_cast<HWND>(wParam);
    for (int n = kSwitchCount - 1; n >= 0; --n) {
        if (m_switches[n].m_hWnd == selected)
            m_panel.SetImage(&m_imgPictures[n]);
        else if (m_switches[n].IsSelected())
            m_switches[n].SetSelected(FALSE);
    }
    return 0;
}

LRESULT CQXTSetupDlg::OnImageSwitchHover(WPARAM wParam, LPARAM lParam)
{
    if (lParam != 0) {
        KillTimer(m_nTimerId);
        if (reinterpret_cast<HWND>(wParam) == m_switches[kSwitchCount - 1].m_hWnd)
            m_nSwitchIndex = kSwitchCount - 1;
    } else {
        SetTimer(m_nTimerId, kRotationPeriodMs);
    }
    return 0;
}

LRESULT CQXTSetupDlg::OnSetupBegin()
{
    ShowPage(m_hWnd, Page::Progress, m_bExistingInstall, PageHooks{[this] { UpdateWindow(); }, nullptr});
    return 1;
}

LRESULT CQXTSetupDlg::OnSetupComplete()
{
    const auto stopRotation = [this] {
        KillTimer(m_nTimerId);
        for (int n = kSwitchCount - 1; n >= 0; --n) {
            m_switches[n].EnableWindow(StateOn(kSwitchIds[n], Page::Finish).enabled == Enabled::Yes);
            // A disabled switch tells nobody, so the panel is not told.
            if (m_switches[n].IsSelected())
                m_switches[n].SetSelected(FALSE);
        }
    };
    ShowPage(m_hWnd, Page::Finish, m_bExistingInstall, PageHooks{nullptr, stopRotation});
    return 1;
}

LRESULT CQXTSetupDlg::OnSetupError(WPARAM code, LPARAM detail)
{
    int answer = 0;
    for (const ErrorReport& report : kErrorReports) {
        if (report.code != code)
            continue;
        std::wstring text = report.text;
        if (detail)
            text += L"\n" + *reinterpret_cast<const std::wstring*>(detail);
        const int pressed = ::MessageBoxW(m_hWnd, text.c_str(), kErrorCaption, report.type);
        answer = report.fixedAnswer < 0 ? pressed : report.fixedAnswer;
        break;
    }
    if (answer == IDRETRY || answer == IDIGNORE)
        return answer;

    // Back to the welcome page; the switches and the panel go on as they are.
    ShowPage(m_hWnd, Page::Welcome, m_bExistingInstall, PageHooks{});
    return answer;
}

LRESULT CQXTSetupDlg::OnSetupStep(WPARAM step, LPARAM ordinal)
{
    if (const wchar_t* text = StepText(step))
        m_staticStatus.SetWindowText(text);
    m_staticCounter.ShowWindow(SW_HIDE);
    m_progress.SendMessage(PBM_SETRANGE32, 0, 5);
    m_progress.SendMessage(PBM_SETPOS, static_cast<WPARAM>(ordinal));
    m_btnCancelInstall.EnableWindow(FALSE);
    return 1;
}

LRESULT CQXTSetupDlg::OnDownloadFileIndex(WPARAM index, LPARAM count)
{
    wchar_t text[32] = {};
    FormatText(text, std::size(text), L"%d/%d", static_cast<int>(index), static_cast<int>(count));
    // The bar belongs to the whole download: a finished file moves only the counter.
    m_staticCounter.SetWindowText(text);
    return 0;
}

LRESULT CQXTSetupDlg::OnDownloadProgress(WPARAM position, LPARAM upper)
{
    m_progress.SendMessage(PBM_SETRANGE32, 0, upper);
    m_progress.SendMessage(PBM_SETPOS, position);
    return 0;
}

LRESULT CQXTSetupDlg::OnSetupStatusText(WPARAM text)
{
    // While the program waits to end, the status line says so.
    if (text && !m_bExitRequested)
        m_staticStatus.SetWindowText(*reinterpret_cast<const std::wstring*>(text));
    return 0;
}

LRESULT CQXTSetupDlg::OnDownloadComplete()
{
    if (!m_bExitRequested)
        m_btnClose.EnableWindow(TRUE);
    return 0;
}
