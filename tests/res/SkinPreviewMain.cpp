// Shows the skin as the setup dialog lays it out, for a look or a screenshot:
//   skin_preview.exe [welcome|progress|finish|existing] [--shot file.bmp] [--dpi N]
// With --shot it writes the window's pixels once the panel's fade has ended
// and quits; otherwise it runs until the window is closed.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "tests/controls/ControlHost.h"
#include "tests/res/SkinPreview.h"

int wmain(int argc, wchar_t** argv)
{
    using qxt::test::SkinPreview;
    SkinPreview::Page page = SkinPreview::Page::Welcome;
    bool existing = false;
    std::wstring shot;
    UINT dpi = 0;  // the window's own
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"progress")
            page = SkinPreview::Page::Progress;
        else if (arg == L"finish")
            page = SkinPreview::Page::Finish;
        else if (arg == L"existing")
            existing = true;
        else if (arg == L"--shot" && i + 1 < argc)
            shot = argv[++i];
        else if (arg == L"--dpi" && i + 1 < argc)
            dpi = static_cast<UINT>(_wtoi(argv[++i]));
    }
    SkinPreview preview;
    if (!preview.Create(page, existing, 80, 60, dpi))
        return 1;
    preview.WaitForFade();
    if (!shot.empty())
        return preview.SaveBitmap(shot) ? 0 : 2;
    MSG msg;
    while (::IsWindow(preview.m_hWnd) && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
