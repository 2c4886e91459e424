#include "setup/QXTSetupDlg.h"

#include "controls/LoadPngResource.h"
#include "core/SetupLog.h"
#include "core/SetupMessages.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "install/FinishActions.h"
#include "install/UninstallEntry.h"
#include "res/resource.h"
#include "setup/InstallLocation.h"
#include "setup/StartInstallation.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cstdio>
#include <iterator>

namespace {

constexpr wchar_t kErrorCaption[] = L"错误";
constexpr wchar_t kQuestionCaption[] = L"提示";
constexpr wchar_t kBrowseTitle[] = L"请选择Quolix安装位置";
constexpr wchar_t kFolderTooLong[] = L"安装路径过长，请重新选择！";
constexpr wchar_t kCancelQuestion[] = L"您确定要取消安装吗？";
constexpr wchar_t kExitQuestion[] = L"您确定要退出安装过程吗？";
constexpr COLORREF kEditHighlight = RGB(14, 103, 176);
constexpr COLORREF kStatusTextColor = RGB(255, 255, 255);

// How a failed run is reported: the box's text and buttons, and what the
// worker is told. An empty text means no box.
struct ErrorReport {
    UINT code;
    const wchar_t* text;
    UINT type;
    int fixedAnswer;  // -1: the pressed button is the answer
};

const ErrorReport kErrorReports[] = {
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

const UINT kSwitchIds[] = {IDC_SWITCH1, IDC_SWITCH2, IDC_SWITCH3, IDC_SWITCH4, IDC_SWITCH5};
const UINT kSwitchImages[] = {IDB_SWITCH1, IDB_SWITCH2, IDB_SWITCH3, IDB_SWITCH4, IDB_SWITCH5};
const UINT kPictureImages[] = {IDB_PICTURE1, IDB_PICTURE2, IDB_PICTURE3, IDB_PICTURE4, IDB_PICTURE5};
const POINT kSwitchPositions[] = {{36, 242}, {53, 171}, {122, 126}, {209, 172}, {227, 242}};

}  // namespace

CQXTSetupDlg::CQXTSetupDlg(SetupOperations operations)
    : CDialogEx(IDD_QXTSETUP_DIALOG), SetupSession(std::move(operations))
{
    m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP));
    LoadPngResource(m_imgTitle, MAKEINTRESOURCEW(IDB_TITLE_STRIP));
    LoadPngResource(m_imgBackground, MAKEINTRESOURCEW(IDB_BACKGROUND));
    m_nWindowWidth = m_imgTitle.GetWidth();
    m_nWindowHeight = m_imgTitle.GetHeight() + m_imgBackground.GetHeight();

    if (!m_operations.AcceptInstallFolder) {
        m_operations.AcceptInstallFolder = [this](HWND, const std::wstring& folder) {
            return AcceptInstallFolder(folder);
        };
    }
}

CQXTSetupDlg::~CQXTSetupDlg() = default;

void CQXTSetupDlg::PreSubclassWindow()
{
    ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(GetStyle() & ~WS_CAPTION));
    ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, 0);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    CDialogEx::PreSubclassWindow();
}

BOOL CQXTSetupDlg::OnInitDialog()
{
    m_bExistingInstall = ReadUninstallEntry(m_installInfo) == 1;
    const std::wstring folder =
        m_bExistingInstall ? std::wstring(m_installInfo.InstallLocation)
                           : m_strInitialFolder.value_or(GetDefaultInstallPath(m_hWnd));

    CDialogEx::OnInitDialog();
    AfxSetMainWnd(m_hWnd);
    m_hDialog = m_hWnd;

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_nWindowWidth, m_nWindowHeight,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);

    m_editInstallPath.SubclassDlgItem(IDC_INSTALL_PATH, this);
    m_editInstallPath.m_pHighlightPen = new CPen(PS_SOLID, 1, kEditHighlight);
    m_editInstallPath.SetWindowText(folder);
    m_editInstallPath.MoveWindow(20, 385, 380, 30);
    m_editInstallPath.EnableWindow(!m_bExistingInstall);

    m_btnBrowse.SubclassDlgItem(IDC_BROWSE, this);
    m_btnBrowse.SetImage(IDB_BROWSE);
    m_btnBrowse.MoveWindow(400, 385, m_btnBrowse.m_nFrameWidth, m_btnBrowse.m_nFrameHeight);
    m_btnBrowse.EnableWindow(!m_bExistingInstall);

    m_btnClose.SubclassDlgItem(IDC_CLOSE, this);
    m_btnClose.SetImage(IDB_CLOSE);
    m_btnClose.MoveWindow(m_nWindowWidth - m_btnClose.m_nFrameWidth, 0, m_btnClose.m_nFrameWidth,
                          m_btnClose.m_nFrameHeight);

    m_btnMinimize.SubclassDlgItem(IDC_MINIMIZE, this);
    m_btnMinimize.SetImage(IDB_MINIMIZE);
    m_btnMinimize.MoveWindow(m_nWindowWidth - m_btnClose.m_nFrameWidth - m_btnMinimize.m_nFrameWidth, 0,
                             m_btnMinimize.m_nFrameWidth, m_btnMinimize.m_nFrameHeight);

    m_btnStart.SubclassDlgItem(IDC_START, this);
    m_btnStart.SetImage(m_bExistingInstall ? IDB_REINSTALL : IDB_START);
    m_btnStart.MoveWindow(480, 380, m_btnStart.m_nFrameWidth, m_btnStart.m_nFrameHeight);

    m_btnCancelInstall.SubclassDlgItem(IDC_CANCEL_INSTALL, this);
    m_btnCancelInstall.SetImage(IDB_CANCEL_INSTALL);
    m_btnCancelInstall.MoveWindow(480, 380, m_btnCancelInstall.m_nFrameWidth, m_btnCancelInstall.m_nFrameHeight);
    m_btnCancelInstall.ShowWindow(SW_HIDE);
    m_btnCancelInstall.EnableWindow(FALSE);

    m_progress.SubclassDlgItem(IDC_PROGRESS, this);
    m_progress.MoveWindow(20, 392, 410, 15);
    m_progress.SendMessage(PBM_SETRANGE32, 0, 100);
    m_progress.ShowWindow(SW_HIDE);

    m_staticStatus.SubclassDlgItem(IDC_STATUS, this);
    m_staticStatus.SetPosition(20, 375, 380);
    m_staticStatus.SetWindowText(L"");
    m_staticStatus.SetTextColor(kStatusTextColor);
    m_staticStatus.ShowWindow(SW_HIDE);

    m_staticCounter.SubclassDlgItem(IDC_COUNTER, this);
    m_staticCounter.SetPosition(435, 392, 40);
    m_staticCounter.SetWindowText(L"");
    m_staticCounter.SetTextColor(kStatusTextColor);
    m_staticCounter.ShowWindow(SW_HIDE);

    struct {
        CImageCheckButton& box;
        UINT id;
        UINT image;
        int y;
    } boxes[] = {
        {m_checkAutorun, IDC_AUTORUN, IDB_CHECK_AUTORUN, 150},
        {m_checkDesktopShortcut, IDC_DESKTOP_SHORTCUT, IDB_CHECK_DESKTOP, 180},
        {m_checkProgramGroup, IDC_PROGRAM_GROUP, IDB_CHECK_GROUP, 210},
    };
    for (auto& b : boxes) {
        b.box.SubclassDlgItem(b.id, this);
        b.box.SetImage(b.image);
        b.box.MoveWindow(320, b.y, b.box.m_nFrameWidth, b.box.m_nFrameHeight);
        b.box.m_nCheck = 1;
        b.box.Invalidate();
        b.box.ShowWindow(SW_HIDE);
    }

    m_btnFinish.SubclassDlgItem(IDC_FINISH, this);
    m_btnFinish.SetImage(IDB_FINISH);
    m_btnFinish.MoveWindow(380, 290, m_btnFinish.m_nFrameWidth, m_btnFinish.m_nFrameHeight);
    m_btnFinish.ShowWindow(SW_HIDE);
    m_btnFinish.EnableWindow(FALSE);

    for (int n = 0; n < kSwitchCount; ++n) {
        m_switches[n].SubclassDlgItem(kSwitchIds[n], this);
        m_switches[n].SetImage(kSwitchImages[n]);
        m_switches[n].MoveWindow(kSwitchPositions[n].x, kSwitchPositions[n].y, m_switches[n].m_nFrameWidth,
                                 m_switches[n].m_nFrameHeight);
    }
    for (int n = 0; n < kSwitchCount; ++n)
        LoadPngResource(m_imgPictures[n], MAKEINTRESOURCEW(kPictureImages[n]));

    m_panel.SubclassDlgItem(IDC_PANEL, this);
    m_panel.MoveWindow(300, 80, 260, 260);
    m_panel.SetImage(&m_imgPictures[m_nSwitchIndex]);

    SetTimer(m_nTimerId, kRotationPeriodMs);
    return TRUE;
}

bool CQXTSetupDlg::AcceptInstallFolder(const std::wstring& folder)
{
    if (InstallFolderFits(folder))
        return true;
    ::MessageBoxW(m_hWnd, kFolderTooLong, kErrorCaption, MB_OK | MB_ICONERROR);
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
    case WM_SETUP_ERROR: return OnSetupError(wParam);
    case WM_SETUP_STEP: return OnSetupStep(wParam, lParam);
    case WM_DOWNLOAD_BEGIN: return 0;
    case WM_DOWNLOAD_FILE_INDEX: return OnDownloadFileIndex(wParam, lParam);
    case WM_DOWNLOAD_PROGRESS: return OnDownloadProgress(wParam, lParam);
    case WM_SETUP_STATUS_TEXT: return OnSetupStatusText(wParam);
    case WM_DOWNLOAD_COMPLETE: return OnDownloadComplete();
    case WM_DOWNLOAD_FAILED: return 0;
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
    StartInstallation(m_hWnd, *this);
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
    if (m_bInstallComplete == 0 &&
        ::MessageBoxW(m_hWnd, kExitQuestion, kQuestionCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    KillTimer(m_nTimerId);
    m_panel.StopAnimation();
    CDialogEx::OnCancel();
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
    const int height = window.bottom - window.top;

    qxt::UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    qxt::UniqueGdiObject bitmap(::CreateCompatibleBitmap(dc, width, height));
    {
        qxt::SelectObjectGuard select(memory.Get(), bitmap.Get());
        const int titleHeight = m_imgTitle.GetHeight();
        m_imgTitle.Draw(memory.Get(), 0, 0, width, titleHeight, 0, 0, m_imgTitle.GetWidth(), titleHeight);
        m_imgBackground.Draw(memory.Get(), 0, titleHeight, width, m_imgBackground.GetHeight(), 0, 0,
                             m_imgBackground.GetWidth(), m_imgBackground.GetHeight());
        ::BitBlt(dc, 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
    }
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
    m_editInstallPath.EnableWindow(FALSE);
    m_btnStart.EnableWindow(FALSE);
    m_btnBrowse.EnableWindow(FALSE);
    m_btnCancelInstall.EnableWindow(TRUE);
    m_btnClose.EnableWindow(FALSE);
    m_editInstallPath.ShowWindow(SW_HIDE);
    m_btnStart.ShowWindow(SW_HIDE);
    m_btnBrowse.ShowWindow(SW_HIDE);
    // Paint the skin where the welcome controls were before the status line
    // and the counter show: they keep the pixels under them as their
    // background and would otherwise keep the folder edit's.
    UpdateWindow();
    m_progress.ShowWindow(SW_SHOW);
    m_btnCancelInstall.ShowWindow(SW_SHOW);
    m_staticStatus.ShowWindow(SW_SHOW);
    m_staticCounter.ShowWindow(SW_SHOW);
    return 1;
}

LRESULT CQXTSetupDlg::OnSetupComplete()
{
    m_btnClose.EnableWindow(TRUE);
    m_btnCancelInstall.ShowWindow(SW_HIDE);
    m_btnCancelInstall.EnableWindow(FALSE);
    m_progress.ShowWindow(SW_HIDE);
    m_staticStatus.ShowWindow(SW_HIDE);
    m_staticCounter.ShowWindow(SW_HIDE);
    m_btnFinish.EnableWindow(TRUE);
    m_btnFinish.ShowWindow(SW_SHOW);
    KillTimer(m_nTimerId);
    for (int n = kSwitchCount - 1; n >= 0; --n) {
        m_switches[n].EnableWindow(FALSE);
        if (m_switches[n].IsSelected())
            m_switches[n].SetSelected(FALSE);
    }
    m_panel.ShowWindow(SW_HIDE);
    m_checkAutorun.ShowWindow(SW_SHOW);
    m_checkDesktopShortcut.ShowWindow(SW_SHOW);
    m_checkProgramGroup.ShowWindow(SW_SHOW);
    return 1;
}

LRESULT CQXTSetupDlg::OnSetupError(WPARAM code)
{
    int answer = 0;
    for (const ErrorReport& report : kErrorReports) {
        if (report.code != code)
            continue;
        const int pressed = ::MessageBoxW(m_hWnd, report.text, kErrorCaption, report.type);
        answer = report.fixedAnswer < 0 ? pressed : report.fixedAnswer;
        break;
    }
    if (answer == IDRETRY || answer == IDIGNORE)
        return answer;

    // Back to the welcome page; the switches and the panel go on as they are.
    m_editInstallPath.EnableWindow(!m_bExistingInstall);
    m_btnStart.EnableWindow(TRUE);
    m_btnBrowse.EnableWindow(!m_bExistingInstall);
    m_btnCancelInstall.EnableWindow(FALSE);
    m_btnClose.EnableWindow(TRUE);
    m_editInstallPath.ShowWindow(SW_SHOW);
    m_btnStart.ShowWindow(SW_SHOW);
    m_btnBrowse.ShowWindow(SW_SHOW);
    m_progress.ShowWindow(SW_HIDE);
    m_btnCancelInstall.ShowWindow(SW_HIDE);
    m_staticStatus.ShowWindow(SW_HIDE);
    m_staticCounter.ShowWindow(SW_HIDE);
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
    std::swprintf(text, std::size(text), L"%d/%d", static_cast<int>(index), static_cast<int>(count));
    m_staticCounter.SetWindowText(text);
    m_progress.SendMessage(PBM_SETPOS, 0);
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
    if (text)
        m_staticStatus.SetWindowText(*reinterpret_cast<const std::wstring*>(text));
    return 0;
}

LRESULT CQXTSetupDlg::OnDownloadComplete()
{
    m_btnClose.EnableWindow(TRUE);
    return 0;
}
