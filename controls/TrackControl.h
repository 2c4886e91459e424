// Mouse tracking for the skinned controls: RequestMouseTracking, which the
// button and the switch call, and CTrackControl<TBase>, which adds to a
// control the tracking of three conditions, the mouse resting on it, the
// mouse gone, the keyboard focus, and calls one of four reactions whenever
// one of them changes.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Asks for one WM_MOUSEHOVER, once the mouse has rested hoverMs on the
// window, and one WM_MOUSELEAVE. True when the request was accepted; it stays
// active until the leave message arrives.
inline bool RequestMouseTracking(HWND window, DWORD hoverMs)
{
    TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, window, hoverMs};
    return ::_TrackMouseEvent(&track) != FALSE;
}

template <typename TBase>
class CTrackControl : public TBase {
public:
    bool m_bTracking = false;  // a hover and leave request is active
    bool m_bHover = false;     // the mouse has rested on the control and not left it
    bool m_bFocus = false;     // the control has the keyboard focus

    ~CTrackControl() override = default;

    virtual void OnTrackHover() = 0;
    virtual void OnTrackLeave() = 0;
    virtual void OnTrackFocus() = 0;
    virtual void OnTrackKillFocus() = 0;

protected:
    // The control's own handling first, then the tracking; the result is the
    // control's.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        const LRESULT result = TBase::WindowProc(message, wParam, lParam);
        switch (message) {
        case WM_SETFOCUS:
            m_bFocus = true;
            OnTrackFocus();
            break;
        case WM_KILLFOCUS:
            m_bFocus = false;
            OnTrackKillFocus();
            break;
        case WM_MOUSEMOVE:
            if (!m_bTracking)
                m_bTracking = RequestMouseTracking(this->m_hWnd, 1);
            break;
        case WM_MOUSEHOVER:
            m_bHover = true;
            OnTrackHover();
            break;
        case WM_MOUSELEAVE:
            m_bTracking = false;
            m_bHover = false;
            OnTrackLeave();
            break;
        default:
            break;
        }
        return result;
    }
};
