#include "controls/ImagePanel.h"

#include "controls/BackgroundSnapshot.h"
#include "framework/Handles.h"

void CImagePanel::SleepPause(CImagePanel&, FadePause, DWORD milliseconds)
{
    ::Sleep(milliseconds);
}

void CImagePanel::PreSubclassWindow()
{
    CStatic::PreSubclassWindow();
    ModifyStyle(0, 0x000B);
}

void CImagePanel::StopAnimation()
{
    // The request is repeated: a fade thread clears it when it starts, so a
    // single request made before that would be lost.
    while (m_pAnimThread.load()) {
        m_bStop.store(true);
        ::Sleep(1);
    }
}

void CImagePanel::SetImage(CImage* image)
{
    m_bStop.store(true);
    StopAnimation();
    m_pPrevImage.store(m_pImage.load());
    m_pImage.store(image);

    // Created suspended so that the running mark is set before the thread
    // can clear it; after ResumeThread the object belongs to the thread.
    CWinThread* thread = AfxBeginThread(&FadeThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!thread) {
        Invalidate(TRUE);  // no fade: the next paint shows the new picture
        return;
    }
    m_pAnimThread.store(thread);
    thread->ResumeThread();
}

UINT __cdecl CImagePanel::FadeThreadProc(LPVOID panel)
{
    static_cast<CImagePanel*>(panel)->Fade();
    return 0;
}

void CImagePanel::Fade()
{
    m_bStop.store(false);

    // The dialog's thread takes the snapshot when it erases the panel.
    while (!m_bmpBackground.GetSafeHandle() || m_bPainting.load()) {
        if (m_bStop.load()) {
            m_pAnimThread.store(nullptr);
            return;
        }
        m_pfnPause(*this, FadePause::WaitingForBackground, static_cast<DWORD>(m_nStepDelay));
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }

    {
        qxt::WindowDc panelDc(m_hWnd);
        RECT rc{};
        ::GetClientRect(m_hWnd, &rc);
        qxt::UniqueGdiObject offscreen(::CreateCompatibleBitmap(panelDc.Get(), rc.right, rc.bottom));
        qxt::UniqueMemoryDc composed(::CreateCompatibleDC(panelDc.Get()));
        qxt::UniqueMemoryDc background(::CreateCompatibleDC(panelDc.Get()));
        if (panelDc && offscreen && composed && background) {
            qxt::SelectObjectGuard selectOffscreen(composed.Get(), offscreen.Get());
            qxt::SelectObjectGuard selectBackground(background.Get(), m_bmpBackground.GetSafeHandle());
            const int width = rc.right - rc.left;
            const int height = rc.bottom - rc.top;
            int a = 0;
            while (!m_bStop.load()) {
                a += 5;
                ::BitBlt(composed.Get(), 0, 0, rc.right, rc.bottom, background.Get(), 0, 0, SRCCOPY);
                if (const CImage* previous = m_pPrevImage.load())
                    previous->AlphaBlend(composed.Get(), rc, rc, static_cast<BYTE>(255 - a), AC_SRC_OVER);
                if (const CImage* current = m_pImage.load())
                    current->AlphaBlend(composed.Get(), rc.left, rc.top, width, height, rc.left, rc.top, width,
                                        height, static_cast<BYTE>(a), AC_SRC_OVER);
                m_pfnPause(*this, FadePause::Step, static_cast<DWORD>(m_nStepDelay));
                ::BitBlt(panelDc.Get(), 0, 0, rc.right, rc.bottom, composed.Get(), 0, 0, SRCCOPY);
                if (a >= 255)
                    break;
            }
        }
    }
    // The thread's last access to the panel.
    m_pAnimThread.store(nullptr);
}

void CImagePanel::Paint(HDC dc)
{
    RECT client{};
    GetClientRect(&client);
    qxt::UniqueGdiObject offscreen(::CreateCompatibleBitmap(dc, client.right, client.bottom));
    qxt::UniqueMemoryDc composed(::CreateCompatibleDC(dc));
    if (!offscreen || !composed)
        return;
    qxt::SelectObjectGuard selectOffscreen(composed.Get(), offscreen.Get());
    DrawBackgroundSnapshot(m_hWnd, m_bmpBackground, composed.Get());
    if (const CImage* image = m_pImage.load())
        image->Draw(composed.Get(), client, client);
    ::BitBlt(dc, 0, 0, client.right, client.bottom, composed.Get(), 0, 0, SRCCOPY);
}

LRESULT CImagePanel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        TakeBackgroundSnapshot(m_hWnd, m_bmpBackground);
        return TRUE;
    case WM_PAINT: {
        qxt::PaintDc dc(m_hWnd);
        if (m_pAnimThread.load())
            return 0;  // the fade thread paints the panel
        m_bPainting.store(true);
        Paint(dc.Get());
        m_bPainting.store(false);
        return 0;
    }
    default:
        return CStatic::WindowProc(message, wParam, lParam);
    }
}
