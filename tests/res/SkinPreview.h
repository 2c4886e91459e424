// The skin put together as the setup dialog lays it out: the dialog
// template 102 from the resources, the title strip and background painted
// behind it, and every template control subclassed by its skinned control
// class and placed at its client position. A test bench and screenshot
// source for the skin, not the setup dialog itself.
#pragma once

#include <string>

#include "controls/ImageButton.h"
#include "controls/ImageCheckButton.h"
#include "controls/ImagePanel.h"
#include "controls/ImageSwitch.h"
#include "controls/NiceEdit.h"
#include "controls/RichStatic.h"
#include "controls/TextProgressCtrl.h"
#include "framework/Handles.h"
#include "framework/Image.h"
#include "framework/Wnd.h"

namespace qxt::test {

class SkinPreview : public CWnd {
public:
    enum class Page { Welcome, Progress, Finish };

    CImage m_imgTitle;
    CImage m_imgBackground;
    CImageButton m_close, m_minimize, m_start, m_cancel, m_finish, m_browse;
    CNiceEdit m_edit;
    CTextProgressCtrl m_progress;
    CRichStatic m_status, m_counter;
    CImageCheckButton m_autorun, m_desktop, m_group;
    CImageSwitch m_switches[5];
    CImagePanel m_panel;
    CImage m_pictures[5];
    int m_nWidth = 0;
    int m_nHeight = 0;
    UINT m_nDpi = 0;
    qxt::FontHandle m_font;  // the template's font at m_nDpi, when that is not the window's

    SkinPreview();
    ~SkinPreview() override;

    // Creates the window from the template and lays out the page at dpi (0:
    // the window's own, as the dialog does; another: as the dialog does after
    // moving to a screen of that scale, fonts included); false when the
    // template is missing.
    bool Create(Page page, bool existingInstall = false, int left = 80, int top = 60, UINT dpi = 0);
    // Pumps messages until the panel's first fade has ended (bounded).
    bool WaitForFade();
    // Writes what the window shows to a 24-bit BMP file.
    bool SaveBitmap(const std::wstring& path);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
    void LayOut(bool existingInstall);
    void ShowPage(Page page);
    Page m_page = Page::Welcome;
    bool m_existing = false;
};

}  // namespace qxt::test
