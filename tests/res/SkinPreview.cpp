#include "tests/res/SkinPreview.h"

#include <cstdio>
#include <vector>

#include "controls/LoadPngResource.h"
#include "framework/Handles.h"
#include "res/resource.h"
#include "tests/controls/ControlHost.h"

namespace qxt::test {

SkinPreview::SkinPreview()
{
    LoadPngResource(m_imgTitle, MAKEINTRESOURCEW(IDB_TITLE_STRIP));
    LoadPngResource(m_imgBackground, MAKEINTRESOURCEW(IDB_BACKGROUND));
    m_nWidth = m_imgTitle.GetWidth();
    m_nHeight = m_imgTitle.GetHeight() + m_imgBackground.GetHeight();
}

SkinPreview::~SkinPreview()
{
    m_panel.StopAnimation();
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

INT_PTR CALLBACK SkinPreview::DialogProc(HWND wnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* self = reinterpret_cast<SkinPreview*>(lParam);
    self->SubclassWindow(wnd);
    // The borderless window: no caption, no frame, no extended style.
    self->ModifyStyle(WS_CAPTION, 0);
    ::SetWindowLongW(wnd, GWL_EXSTYLE, 0);
    ::SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    self->LayOut(self->m_existing);
    self->ShowPage(self->m_page);
    return TRUE;
}

bool SkinPreview::Create(Page page, bool existingInstall, int left, int top)
{
    m_page = page;
    m_existing = existingInstall;
    HWND wnd = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_QXTSETUP_DIALOG), nullptr,
                                    &DialogProc, reinterpret_cast<LPARAM>(this));
    if (!wnd)
        return false;
    ::SetWindowPos(wnd, HWND_TOPMOST, left, top, 0, 0, SWP_NOSIZE);
    PumpMessages();
    return true;
}

void SkinPreview::LayOut(bool existing)
{
    SetWindowPos(nullptr, 0, 0, m_nWidth, m_nHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);

    m_edit.SubclassDlgItem(IDC_INSTALL_PATH, this);
    m_edit.SetHighlightColor(RGB(14, 103, 176));
    m_edit.SetWindowText(existing ? L"D:\\Games\\QXTClient" : L"C:\\Program Files\\QXTClient");
    m_edit.MoveWindow(20, 385, 380, 30);
    m_edit.EnableWindow(!existing);

    auto place = [this](CImageButton& button, UINT id, UINT strip, int x, int y) {
        button.SubclassDlgItem(id, this);
        button.SetImage(strip);
        button.MoveWindow(x, y, button.m_nFrameWidth, button.m_nFrameHeight);
    };
    place(m_browse, IDC_BROWSE, IDB_BROWSE, 400, 385);
    m_browse.EnableWindow(!existing);
    m_close.SubclassDlgItem(IDC_CLOSE, this);
    m_close.SetImage(IDB_CLOSE);
    m_close.MoveWindow(m_nWidth - m_close.m_nFrameWidth, 0, m_close.m_nFrameWidth, m_close.m_nFrameHeight);
    place(m_minimize, IDC_MINIMIZE, IDB_MINIMIZE, m_nWidth - m_close.m_nFrameWidth, 0);
    m_minimize.MoveWindow(m_nWidth - m_close.m_nFrameWidth - m_minimize.m_nFrameWidth, 0, m_minimize.m_nFrameWidth,
                          m_minimize.m_nFrameHeight);
    place(m_start, IDC_START, existing ? IDB_REINSTALL : IDB_START, 480, 380);
    place(m_cancel, IDC_CANCEL_INSTALL, IDB_CANCEL_INSTALL, 480, 380);
    m_cancel.ShowWindow(SW_HIDE);
    m_cancel.EnableWindow(FALSE);

    m_progress.SubclassDlgItem(IDC_PROGRESS, this);
    m_progress.MoveWindow(20, 392, 410, 15);
    m_progress.SetRange32(0, 100);
    m_progress.ShowWindow(SW_HIDE);
    for (auto [text, id, x, y, w] : {std::tuple{&m_status, IDC_STATUS, 20, 375, 380},
                                     std::tuple{&m_counter, IDC_COUNTER, 435, 392, 40}}) {
        text->SubclassDlgItem(id, this);
        text->SetPosition(x, y, w);
        text->SetWindowText(L"");
        text->SetTextColor(RGB(255, 255, 255));
        text->ShowWindow(SW_HIDE);
    }
    for (auto [box, id, strip, y] : {std::tuple{&m_autorun, IDC_AUTORUN, IDB_CHECK_AUTORUN, 150},
                                     std::tuple{&m_desktop, IDC_DESKTOP_SHORTCUT, IDB_CHECK_DESKTOP, 180},
                                     std::tuple{&m_group, IDC_PROGRAM_GROUP, IDB_CHECK_GROUP, 210}}) {
        place(*box, id, strip, 320, y);
        box->m_nCheck = 1;
        box->Invalidate(TRUE);
        box->ShowWindow(SW_HIDE);
    }
    place(m_finish, IDC_FINISH, IDB_FINISH, 380, 290);
    m_finish.ShowWindow(SW_HIDE);
    m_finish.EnableWindow(FALSE);

    static const POINT switchPlaces[5] = {{36, 242}, {53, 171}, {122, 126}, {209, 172}, {227, 242}};
    for (int i = 0; i < 5; ++i) {
        m_switches[i].SubclassDlgItem(IDC_SWITCH1 + i, this);
        m_switches[i].SetImage(IDB_SWITCH1 + i);
        m_switches[i].MoveWindow(switchPlaces[i].x, switchPlaces[i].y, m_switches[i].m_nFrameWidth,
                                 m_switches[i].m_nFrameHeight);
    }
    for (int i = 0; i < 5; ++i)
        LoadPngResource(m_pictures[i], MAKEINTRESOURCEW(IDB_PICTURE1 + i));
    m_panel.SubclassDlgItem(IDC_PANEL, this);
    m_panel.MoveWindow(300, 80, 260, 260);
    m_panel.SetImage(&m_pictures[2]);
}

void SkinPreview::ShowPage(Page page)
{
    if (page == Page::Welcome)
        return;
    for (CWnd* wnd : std::initializer_list<CWnd*>{&m_edit, &m_start, &m_browse})
        wnd->ShowWindow(SW_HIDE);
    if (page == Page::Progress) {
        m_cancel.EnableWindow(TRUE);
        m_close.EnableWindow(FALSE);
        for (CWnd* wnd : std::initializer_list<CWnd*>{&m_progress, &m_cancel, &m_status, &m_counter})
            wnd->ShowWindow(SW_SHOW);
        m_progress.SetPos(44);
        m_status.SetWindowText(L"正在下载 QXTClient.exe ...");
        m_counter.SetWindowText(L"3/7");
        m_switches[3].SetSelected(TRUE);
        m_panel.SetImage(&m_pictures[3]);
        return;
    }
    m_finish.EnableWindow(TRUE);
    m_finish.ShowWindow(SW_SHOW);
    for (int i = 4; i >= 0; --i) {
        m_switches[i].EnableWindow(FALSE);
        m_switches[i].SetSelected(FALSE);
    }
    m_panel.StopAnimation();
    m_panel.ShowWindow(SW_HIDE);
    for (CWnd* wnd : std::initializer_list<CWnd*>{&m_autorun, &m_desktop, &m_group})
        wnd->ShowWindow(SW_SHOW);
}

bool SkinPreview::WaitForFade()
{
    return PumpUntil([this] { return m_panel.m_pAnimThread.load() == nullptr; }) && PumpMessages();
}

LRESULT SkinPreview::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND: {
        // The whole skin, composed off the screen and copied in one go.
        HDC target = reinterpret_cast<HDC>(wParam);
        RECT window{};
        GetWindowRect(&window);
        const int width = window.right - window.left;
        const int height = window.bottom - window.top;
        qxt::UniqueMemoryDc memory(::CreateCompatibleDC(target));
        qxt::UniqueGdiObject bitmap(::CreateCompatibleBitmap(target, width, height));
        qxt::SelectObjectGuard select(memory.Get(), bitmap.Get());
        const int titleHeight = m_imgTitle.GetHeight();
        m_imgTitle.Draw(memory.Get(), 0, 0, width, titleHeight, 0, 0, m_imgTitle.GetWidth(), titleHeight);
        m_imgBackground.Draw(memory.Get(), 0, titleHeight, width, m_imgBackground.GetHeight(), 0, 0,
                             m_imgBackground.GetWidth(), m_imgBackground.GetHeight());
        ::BitBlt(target, 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
        return TRUE;
    }
    case WM_NCLBUTTONDOWN:
        return 0;  // no moving about in a test
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CLOSE || LOWORD(wParam) == IDCANCEL) {
            m_panel.StopAnimation();
            DestroyWindow();
            return 0;
        }
        break;
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

bool SkinPreview::SaveBitmap(const std::wstring& path)
{
    RECT client{};
    GetClientRect(&client);
    const int width = client.right;
    const int height = client.bottom;
    const int pitch = (width * 3 + 3) & ~3;
    std::vector<BYTE> pixels(static_cast<size_t>(pitch) * height);
    HDC dc = ::GetDC(m_hWnd);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = ::GetPixel(dc, x, y);
            BYTE* p = &pixels[static_cast<size_t>(height - 1 - y) * pitch + x * 3];
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    ::ReleaseDC(m_hWnd, dc);
    BITMAPINFOHEADER info{sizeof(info), width, height, 1, 24, BI_RGB, static_cast<DWORD>(pixels.size()), 0, 0, 0, 0};
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(file) + sizeof(info) + pixels.size()), 0, 0,
                          sizeof(file) + sizeof(info)};
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out)
        return false;
    std::fwrite(&file, sizeof(file), 1, out);
    std::fwrite(&info, sizeof(info), 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    return std::fclose(out) == 0;
}

}  // namespace qxt::test
