// CImagePanel: a static control that shows one picture over its background
// snapshot and cross-fades from one picture to the next on a thread of its
// own, so the dialog's thread stays free while the fade runs.
//
// Shared between the dialog's thread and the fade thread without a lock, each
// one word read and written whole: the stop request, the painting flag, the
// running mark (m_pAnimThread), the snapshot's handle and the two picture
// pointers (written only while no fade thread runs). No more than one fade
// thread exists: SetImage stops the running one and waits for it first.
#pragma once

#include <atomic>

#include "framework/Bitmap.h"
#include "framework/Image.h"
#include "framework/Static.h"
#include "framework/WinThread.h"

class CImagePanel : public CStatic {
public:
    // Where the fade thread pauses: in a round of waiting for the background
    // snapshot, or in one step of the fade.
    enum class FadePause { WaitingForBackground, Step };
    using PauseFunction = void (*)(CImagePanel& panel, FadePause where, DWORD milliseconds);

    CBitmap m_bmpBackground;
    std::atomic<CImage*> m_pImage{nullptr};      // current picture, not owned
    std::atomic<CImage*> m_pPrevImage{nullptr};  // picture faded out, not owned
    int m_nStepDelay = 5;                        // ms slept per step and per waiting round
    std::atomic<CWinThread*> m_pAnimThread{nullptr};  // running mark; the thread deletes its object
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bPainting{false};
    // Sleeps m_nStepDelay; tests put a pause of their own here.
    PauseFunction m_pfnPause = &SleepPause;

    CImagePanel() = default;
    // The owner calls StopAnimation before it destroys the pictures; the
    // panel stops a fade it was left with all the same, so that the fade
    // thread never outlives the panel.
    ~CImagePanel() override { StopAnimation(); }

    // Changes to the picture (not null, owned by the caller and outliving
    // every fade) with a cross-fade from the current one.
    void SetImage(CImage* image);
    // Stops a running fade after its current step; returns when no fade runs.
    void StopAnimation();

    static UINT __cdecl FadeThreadProc(LPVOID panel);

    // Paints the current picture over the snapshot into dc, as on the screen
    // when no fade runs.
    void Paint(HDC dc);

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static void SleepPause(CImagePanel& panel, FadePause where, DWORD milliseconds);
    void Fade();
};
