#include "setup/DialogLayout.h"

#include "framework/WindowDpi.h"

namespace dialog_layout {

RECT PlaceOf(const ControlLayout& row, SIZE frame, int windowWidth, SIZE closeFrame, UINT dpi)
{
    using qxt::ScaleToDpi;
    int x = ScaleToDpi(row.x, dpi);
    const int y = ScaleToDpi(row.y, dpi);
    const int width = row.width ? ScaleToDpi(row.x + row.width, dpi) - x : frame.cx;
    const int height = row.height ? ScaleToDpi(row.y + row.height, dpi) - y : frame.cy;
    if (row.anchor == Anchor::RightEdge)
        x = windowWidth - width;
    else if (row.anchor == Anchor::LeftOfClose)
        x = windowWidth - closeFrame.cx - width;
    return RECT{x, y, x + width, y + height};
}

namespace {

const PageChange* ChangesOf(Page page, std::size_t& count)
{
    switch (page) {
    case Page::Progress: count = std::size(kToProgress); return kToProgress;
    case Page::Finish: count = std::size(kToFinish); return kToFinish;
    case Page::Welcome: break;
    }
    count = std::size(kBackToWelcome);
    return kBackToWelcome;
}

}  // namespace

void ShowPage(HWND dialog, Page page, bool existingInstall, const PageHooks& hooks)
{
    std::size_t count = 0;
    const PageChange* changes = ChangesOf(page, count);
    for (std::size_t i = 0; i < count; ++i) {
        const PageChange& c = changes[i];
        const PageState state = StateOn(c.id, page);
        switch (c.change) {
        case Change::Enable:
            if (state.enabled != Enabled::NotSet)
                ::EnableWindow(::GetDlgItem(dialog, static_cast<int>(c.id)),
                               state.enabled == Enabled::Yes ||
                                   (state.enabled == Enabled::UnlessExisting && !existingInstall));
            break;
        case Change::Show:
            ::ShowWindow(::GetDlgItem(dialog, static_cast<int>(c.id)), state.shown ? SW_SHOW : SW_HIDE);
            break;
        case Change::Repaint:
            if (hooks.repaint)
                hooks.repaint();
            break;
        case Change::StopRotation:
            if (hooks.stopRotation)
                hooks.stopRotation();
            break;
        }
    }
}

}  // namespace dialog_layout
