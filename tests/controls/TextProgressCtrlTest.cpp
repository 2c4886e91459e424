// CTextProgressCtrl: the percentage text and where it is drawn, and the drag
// a click starts.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "controls/TextProgressCtrl.h"
#include "tests/controls/ControlHost.h"

namespace {

using qxt::test::ControlHost;
using qxt::test::MatchesSequence;
using qxt::test::PumpMessages;
using qxt::test::WindowPixel;

constexpr int kProgressId = 1011;

TEST(TextProgressPercent, RoundedHalfUp)
{
    static const struct {
        const char* label;
        int pos, lower, upper;
        const wchar_t* text;
    } cases[] = {
        {"at the lower bound", 0, 0, 100, L"0%"},
        {"at the upper bound", 100, 0, 100, L"100%"},
        {"12.5 rounds up", 1, 0, 8, L"13%"},
        {"one third", 1, 0, 3, L"33%"},
        {"two thirds", 2, 0, 3, L"67%"},
        {"a range not starting at 0", 150, 100, 300, L"25%"},
        {"a step of the installation", 3, 0, 5, L"60%"},
        {"empty range", 7, 7, 7, L"0%"},
        {"empty range at 0", 0, 0, 0, L"0%"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CTextProgressCtrl::PercentText(c.pos, c.lower, c.upper), c.text) << c.label;
}

struct ProgressBench {
    ControlHost host{460, 100};
    CTextProgressCtrl bar;

    ProgressBench()
    {
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&init);
        EXPECT_TRUE(host.AddControl(PROGRESS_CLASSW, WS_VISIBLE, kProgressId, RECT{20, 40, 430, 55}));
        EXPECT_TRUE(bar.SubclassDlgItem(kProgressId, &host));
        PumpMessages();
    }
    // Black pixels of the text, left and right of the bar's middle column.
    std::pair<int, int> TextPixels()
    {
        int left = 0;
        int right = 0;
        for (int y = 0; y < 15; ++y)
            for (int x = 0; x < 410; ++x)
                if (WindowPixel(bar.m_hWnd, x, y) == RGB(0, 0, 0))
                    (x < 205 ? left : right) += 1;
        return {left, right};
    }
};

TEST(TextProgress, ReadsTheBarsPositionAndRange)
{
    ProgressBench bench;
    bench.bar.SetRange32(100, 300);
    bench.bar.SetPos(150);
    EXPECT_EQ(bench.bar.GetPercentText(), L"25%");
    bench.bar.SetRange32(0, 5);
    bench.bar.SetPos(5);
    EXPECT_EQ(bench.bar.GetPercentText(), L"100%");
}

TEST(TextProgress, PercentageIsDrawnCentredOverTheBar)
{
    ProgressBench bench;
    bench.bar.SetRange32(0, 100);
    bench.bar.SetPos(100);  // a full bar, the text on top of it
    PumpMessages();
    const auto [left, right] = bench.TextPixels();
    EXPECT_GT(left, 5);
    EXPECT_GT(right, 5);
    // Nothing black near the ends: only the centred text.
    for (int y = 0; y < 15; ++y) {
        EXPECT_NE(WindowPixel(bench.bar.m_hWnd, 10, y), RGB(0, 0, 0));
        EXPECT_NE(WindowPixel(bench.bar.m_hWnd, 400, y), RGB(0, 0, 0));
    }
}

TEST(TextProgress, ANewPositionRepaintsTheText)
{
    ProgressBench bench;
    bench.bar.SetRange32(0, 100);
    bench.bar.SetPos(0);
    PumpMessages();
    const auto zero = bench.TextPixels();
    bench.bar.SetPos(100);
    PumpMessages();
    const auto hundred = bench.TextPixels();
    // "100%" has more ink than "0%".
    EXPECT_GT(hundred.first + hundred.second, zero.first + zero.second);
}

TEST(TextProgress, AClickDragsTheParentWithTheBarsOwnCoordinates)
{
    ProgressBench bench;
    bench.bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(37, 6));
    EXPECT_TRUE(MatchesSequence(bench.host.Messages(), {{WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(37, 6)}}));
}

}  // namespace
