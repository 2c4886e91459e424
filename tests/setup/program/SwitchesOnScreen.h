// The five feature switches of the setup dialog read from the screen. A
// switch shows the upper frame of its strip until it is selected and the
// lower one while it is, so a switch is selected when it looks clearly
// different from how it looked before anything was selected.
#pragma once

#include "res/resource.h"
#include "tests/support/UiDriver.h"

#include <windows.h>

#include <vector>

namespace qxt::test {

constexpr int kSwitchIds[] = {IDC_SWITCH1, IDC_SWITCH2, IDC_SWITCH3, IDC_SWITCH4, IDC_SWITCH5};

class SwitchesOnScreen {
public:
    explicit SwitchesOnScreen(HWND dialog);

    // Takes the unselected look once the switches have been painted: the
    // program paints into its own window surface and Wine copies that to the
    // display a little later, so a look counts once it shows a thumbnail
    // (not the bare, single-coloured window) and has held still for a while.
    bool TakeUnselectedLook(HWND dialog);

    // The ids of the switches shown selected; empty while one of them is
    // between the two looks (still being painted).
    std::vector<int> Selected() const;

    // Waits until exactly that switch is shown selected.
    bool WaitForOnlySelected(int id, DWORD timeoutMs) const;

    HWND Switch(int id) const { return m_switches[static_cast<size_t>(id - IDC_SWITCH1)]; }

private:
    // The lit frame changes most of a thumbnail; the dark one matches the
    // first look but for a few anti-aliased edge pixels.
    static constexpr double kSelectedShare = 0.25;
    static constexpr double kUnselectedShare = 0.05;
    static constexpr ULONGLONG kStillMs = 250;

    static bool ShowsAPicture(const ScreenPixels& capture);

    std::vector<ScreenPixels> Capture() const;

    std::vector<HWND> m_switches;
    std::vector<ScreenPixels> m_unselected;
};

}  // namespace qxt::test
