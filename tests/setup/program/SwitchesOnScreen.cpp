#include "tests/setup/program/SwitchesOnScreen.h"

#include <set>

namespace qxt::test {

SwitchesOnScreen::SwitchesOnScreen(HWND dialog)
{
    for (int id : kSwitchIds)
        m_switches.push_back(::GetDlgItem(dialog, id));
}

bool SwitchesOnScreen::TakeUnselectedLook(HWND dialog)
{
    ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    std::vector<ScreenPixels> previous = Capture();
    ULONGLONG stillSince = ::GetTickCount64();
    return WaitUntil([&] {
        std::vector<ScreenPixels> now = Capture();
        bool same = true;
        for (size_t n = 0; n < now.size(); ++n)
            same = same && ShowsAPicture(now[n]) && DifferingShare(now[n], previous[n]) == 0.0;
        if (!same)
            stillSince = ::GetTickCount64();
        previous = std::move(now);
        if (::GetTickCount64() - stillSince < kStillMs)
            return false;
        m_unselected = previous;
        return true;
    });
}

std::vector<int> SwitchesOnScreen::Selected() const
{
    std::vector<int> selected;
    const std::vector<ScreenPixels> now = Capture();
    for (size_t n = 0; n < now.size(); ++n) {
        const double share = DifferingShare(now[n], m_unselected[n]);
        if (share >= kSelectedShare)
            selected.push_back(kSwitchIds[n]);
        else if (share > kUnselectedShare)
            return {};
    }
    return selected;
}

bool SwitchesOnScreen::WaitForOnlySelected(int id, DWORD timeoutMs) const
{
    return WaitUntil([&] { return Selected() == std::vector<int>{id}; }, timeoutMs);
}

bool SwitchesOnScreen::ShowsAPicture(const ScreenPixels& capture)
{
    std::set<DWORD> colours(capture.pixels.begin(), capture.pixels.end());
    return colours.size() > 16;
}

std::vector<ScreenPixels> SwitchesOnScreen::Capture() const
{
    std::vector<ScreenPixels> captures;
    for (HWND wnd : m_switches)
        captures.push_back(CaptureScreenPixels(wnd));
    return captures;
}

}  // namespace qxt::test
