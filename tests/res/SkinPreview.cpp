#include "tests/res/SkinPreview.h"

#include <cstdio>
#include <vector>

#include "controls/LoadPngResource.h"
#include "framework/Handles.h"
#include "framework/WindowDpi.h"
#include "res/resource.h"
#include "setup/DialogLayout.h"
#include "tests/controls/ControlHost.h"

namespace qxt::test {

SkinPreview::SkinPreview() = default;

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
    // As the dialog: the template's font suits the window's own scale; at
    // another, the controls get a copy at that one.
    const UINT windowDpi = qxt::DpiOfWindow(wnd);
    if (self->m_nDpi == 0)
        self->m_nDpi = windowDpi;
    if (self->m_nDpi != windowDpi) {
        HFONT font = reinterpret_cast<HFONT>(::SendMessageW(wnd, WM_GETFONT, 0, 0));
        self->m_font.Own(qxt::ScaleFont(font, windowDpi, self->m_nDpi));
        for (HWND child = ::GetWindow(wnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
            ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(self->m_font.Get()), FALSE);
    }
    self->LayOut(self->m_existing);
    self->ShowPage(self->m_page);
    return TRUE;
}

bool SkinPreview::Create(Page page, bool existingInstall, int left, int top, UINT dpi)
{
    m_nDpi = dpi;
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
    using namespace dialog_layout;
    LoadPngResourceForDpi(m_imgTitle, MAKEINTRESOURCEW(IDB_TITLE_STRIP), m_nDpi);
    LoadPngResourceForDpi(m_imgBackground, MAKEINTRESOURCEW(IDB_BACKGROUND), m_nDpi);
    m_nWidth = m_imgTitle.GetWidth();
    m_nHeight = m_imgTitle.GetHeight() + m_imgBackground.GetHeight();
    SetWindowPos(nullptr, 0, 0, m_nWidth, m_nHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);

    // As the dialog does it: every control from its row of the layout; the
    // template's controls start shown and enabled.
    auto place = [&](CWnd& control, const ControlLayout& row, SIZE frame) {
        const RECT r = PlaceOf(row, frame, m_nWidth, SIZE{m_close.m_nFrameWidth, m_close.m_nFrameHeight}, m_nDpi);
        control.MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top);
    };
    auto welcomeState = [&](CWnd& control, const ControlLayout& row) {
        const PageState state = row.pages[static_cast<int>(Page::Welcome)];
        if (!state.shown)
            control.ShowWindow(SW_HIDE);
        if (state.enabled == Enabled::No || state.enabled == Enabled::UnlessExisting)
            control.EnableWindow(state.enabled == Enabled::UnlessExisting && !existing);
    };
    auto setUpImage = [&](auto& control, const ControlLayout& row) {
        control.SubclassDlgItem(static_cast<int>(row.id), this);
        control.SetImageForDpi(ImageOf(row, existing), m_nDpi);
        place(control, row, SIZE{control.m_nFrameWidth, control.m_nFrameHeight});
        welcomeState(control, row);
    };

    for (const ControlLayout& row : kControls) {
        switch (row.id) {
        case IDC_INSTALL_PATH:
            m_edit.SubclassDlgItem(IDC_INSTALL_PATH, this);
            m_edit.SetHighlightColor(kEditHighlight);
            m_edit.SetWindowText(existing ? L"D:\\Games\\QXTClient" : L"C:\\Program Files\\QXTClient");
            place(m_edit, row, SIZE{});
            welcomeState(m_edit, row);
            break;
        case IDC_BROWSE: setUpImage(m_browse, row); break;
        case IDC_CLOSE: setUpImage(m_close, row); break;
        case IDC_MINIMIZE: setUpImage(m_minimize, row); break;
        case IDC_START: setUpImage(m_start, row); break;
        case IDC_CANCEL_INSTALL: setUpImage(m_cancel, row); break;
        case IDC_FINISH: setUpImage(m_finish, row); break;
        case IDC_PROGRESS:
            m_progress.SubclassDlgItem(IDC_PROGRESS, this);
            place(m_progress, row, SIZE{});
            m_progress.SetRange32(0, 100);
            welcomeState(m_progress, row);
            break;
        case IDC_STATUS:
        case IDC_COUNTER: {
            CRichStatic& text = row.id == IDC_STATUS ? m_status : m_counter;
            text.SubclassDlgItem(static_cast<int>(row.id), this);
            const RECT r = PlaceOf(row, SIZE{}, m_nWidth, SIZE{}, m_nDpi);
            text.SetPosition(r.left, r.top, r.right - r.left, r.bottom - r.top);
            text.SetWindowText(L"");
            text.SetTextColor(kStatusTextColor);
            welcomeState(text, row);
            break;
        }
        case IDC_AUTORUN:
        case IDC_DESKTOP_SHORTCUT:
        case IDC_PROGRAM_GROUP: {
            CImageCheckButton& box = row.id == IDC_AUTORUN ? m_autorun : row.id == IDC_DESKTOP_SHORTCUT ? m_desktop : m_group;
            box.SubclassDlgItem(static_cast<int>(row.id), this);
            box.SetImageForDpi(ImageOf(row, existing), m_nDpi);
            place(box, row, SIZE{box.m_nFrameWidth, box.m_nFrameHeight});
            box.m_nCheck = 1;
            box.Invalidate(TRUE);
            welcomeState(box, row);
            break;
        }
        case IDC_PANEL:
            for (int i = 0; i < kSwitchCount; ++i)
                LoadPngResourceForDpi(m_pictures[i], MAKEINTRESOURCEW(kPictureImages[i]), m_nDpi);
            m_panel.SubclassDlgItem(IDC_PANEL, this);
            place(m_panel, row, SIZE{});
            m_panel.SetImage(&m_pictures[kFirstPicture]);
            break;
        default:
            for (int i = 0; i < kSwitchCount; ++i)
                if (kSwitchIds[i] == row.id)
                    setUpImage(m_switches[i], row);
            break;
        }
    }
}

void SkinPreview::ShowPage(Page page)
{
    using dialog_layout::PageHooks;
    if (page == Page::Welcome)
        return;
    // The pages as the dialog changes to them: progress first, then finish.
    dialog_layout::ShowPage(m_hWnd, dialog_layout::Page::Progress, m_existing, PageHooks{[this] { UpdateWindow(); }, {}});
    if (page == Page::Progress) {
        m_progress.SetPos(44);
        m_status.SetWindowText(L"正在下载 QXTClient.exe ...");
        m_counter.SetWindowText(L"3/7");
        m_switches[3].SetSelected(TRUE);
        m_panel.SetImage(&m_pictures[3]);
        return;
    }
    const auto stopRotation = [this] {
        for (int i = dialog_layout::kSwitchCount - 1; i >= 0; --i) {
            m_switches[i].EnableWindow(dialog_layout::StateOn(dialog_layout::kSwitchIds[i], dialog_layout::Page::Finish).enabled == dialog_layout::Enabled::Yes);
            m_switches[i].SetSelected(FALSE);
        }
        // No fade goes on behind the hidden panel while a test looks.
        m_panel.StopAnimation();
    };
    dialog_layout::ShowPage(m_hWnd, dialog_layout::Page::Finish, m_existing, PageHooks{{}, stopRotation});
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
