// CImagePanel: the cross-fade on its own thread. A probe replaces the step
// pause: it records every pause (thread, place, pictures, what the screen
// shows) and can hold the fade thread at a chosen step, so each case decides
// exactly where the dialog's thread acts. Screen pixels are read back from
// the panel's window.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <mutex>
#include <vector>

#include "controls/ImagePanel.h"
#include "controls/LoadPngResource.h"
#include "tests/controls/ControlHost.h"
#include "tests/controls/fixtures/FixtureIds.h"
#include "tests/support/Wait.h"

namespace {

using qxt::test::BackgroundAt;
using qxt::test::ColourNear;
using qxt::test::ControlHost;
using qxt::test::PumpMessages;
using qxt::test::PumpUntil;
using qxt::test::WindowPixel;

using Where = CImagePanel::FadePause;

constexpr COLORREF kRed = RGB(220, 20, 20);
constexpr COLORREF kBlue = RGB(20, 20, 220);
constexpr int kProbeX = 16;
constexpr int kProbeY = 16;

struct PauseRecord {
    DWORD thread;
    Where where;
    int stepOfThread;  // 1-based count of this thread's fade steps (0 while waiting)
    CImage* previous;
    CImage* current;
    COLORREF screen;   // what the panel showed when the pause began
};

// Waits on the calling thread, without pumping; true when done() came true.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 5000)
{
    return qxt::test::WaitUntil(done, timeoutMs);
}

class ProbedPanel : public CImagePanel {
public:
    // Runs on the fade thread at every pause, after it has been recorded.
    std::function<void(ProbedPanel&, const PauseRecord&)> onPause;

    ProbedPanel()
    {
        m_pfnPause = &Probe;
        m_nStepDelay = 1;
    }

    std::vector<PauseRecord> Records()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_records;
    }
    int Steps(DWORD thread)
    {
        int steps = 0;
        for (const PauseRecord& r : Records())
            steps += r.thread == thread && r.where == Where::Step;
        return steps;
    }
    std::vector<DWORD> Threads()
    {
        std::vector<DWORD> threads;
        for (const PauseRecord& r : Records())
            if (threads.empty() || threads.back() != r.thread)
                threads.push_back(r.thread);
        return threads;
    }

private:
    static void Probe(CImagePanel& base, Where where, DWORD milliseconds)
    {
        auto& panel = static_cast<ProbedPanel&>(base);
        PauseRecord record{::GetCurrentThreadId(), where, 0, panel.m_pPrevImage.load(), panel.m_pImage.load(),
                           WindowPixel(panel.m_hWnd, kProbeX, kProbeY)};
        {
            std::lock_guard<std::mutex> guard(panel.m_lock);
            if (where == Where::Step) {
                int steps = 1;
                for (const PauseRecord& r : panel.m_records)
                    steps += r.thread == record.thread && r.where == Where::Step;
                record.stepOfThread = steps;
            }
            panel.m_records.push_back(record);
        }
        if (panel.onPause)
            panel.onPause(panel, record);
        ::Sleep(milliseconds);
    }

    std::mutex m_lock;
    std::vector<PauseRecord> m_records;
};

struct PanelBench {
    ControlHost host;
    ProbedPanel panel;
    CImage red;
    CImage blue;
    POINT place{100, 50};

    explicit PanelBench(bool visible = true)
    {
        EXPECT_TRUE(LoadPngResource(red, MAKEINTRESOURCEW(IDB_TEST_PICTURE_RED)));
        EXPECT_TRUE(LoadPngResource(blue, MAKEINTRESOURCEW(IDB_TEST_PICTURE_BLUE)));
        // As in the dialog template: a static with the bitmap style, transparent.
        EXPECT_TRUE(host.AddControl(L"STATIC", SS_BITMAP | (visible ? WS_VISIBLE : 0), 1009, RECT{0, 0, 8, 8}, L"",
                                    WS_EX_TRANSPARENT));
        EXPECT_TRUE(panel.SubclassDlgItem(1009, &host));
        panel.MoveWindow(place.x, place.y, 32, 32);
        PumpMessages();
    }
    ~PanelBench() { panel.StopAnimation(); }

    COLORREF Background() const { return BackgroundAt(place.x + kProbeX, place.y + kProbeY); }
    COLORREF Screen() { return WindowPixel(panel.m_hWnd, kProbeX, kProbeY); }
    bool FadeEnds() { return PumpUntil([&] { return panel.m_pAnimThread.load() == nullptr; }); }
};

// The colour of `picture` over `below` at constant alpha a (opaque pictures).
COLORREF Blend(COLORREF below, COLORREF picture, int a)
{
    auto mix = [a](int lower, int upper) { return upper * a / 255 + lower * (255 - a) / 255; };
    return RGB(mix(GetRValue(below), GetRValue(picture)), mix(GetGValue(below), GetGValue(picture)),
               mix(GetBValue(below), GetBValue(picture)));
}

TEST(ImagePanel, FirstPictureFadesInFromTheSnapshotInFiftyOneSteps)
{
    PanelBench bench;
    ASSERT_TRUE(bench.panel.m_bmpBackground.GetSafeHandle());
    EXPECT_TRUE(ColourNear(bench.Screen(), bench.Background()));  // idle, no picture: the snapshot

    bench.panel.SetImage(&bench.red);
    ASSERT_TRUE(bench.FadeEnds());

    const auto records = bench.panel.Records();
    ASSERT_EQ(bench.panel.Threads().size(), 1u);
    ASSERT_EQ(bench.panel.Steps(records[0].thread), 51);
    for (const PauseRecord& r : records) {
        EXPECT_EQ(r.previous, nullptr);
        EXPECT_EQ(r.current, &bench.red);
    }
    // When step 2 pauses, the screen shows step 1: alpha 5 over the snapshot alone.
    EXPECT_TRUE(ColourNear(records[1].screen, Blend(bench.Background(), kRed, 5), 2));
    EXPECT_TRUE(ColourNear(records[25].screen, Blend(bench.Background(), kRed, 125), 2));
    EXPECT_TRUE(ColourNear(bench.Screen(), kRed));

    // Afterwards a repaint draws what the last step showed.
    bench.panel.Invalidate(TRUE);
    PumpMessages();
    EXPECT_TRUE(ColourNear(bench.Screen(), kRed));
}

TEST(ImagePanel, CrossFadesFromThePreviousPicture)
{
    PanelBench bench;
    bench.panel.SetImage(&bench.red);
    ASSERT_TRUE(bench.FadeEnds());
    bench.panel.SetImage(&bench.blue);
    ASSERT_TRUE(bench.FadeEnds());

    const auto threads = bench.panel.Threads();
    ASSERT_EQ(threads.size(), 2u);
    std::vector<PauseRecord> second;
    for (const PauseRecord& r : bench.panel.Records())
        if (r.thread == threads[1])
            second.push_back(r);
    ASSERT_EQ(second.size(), 51u);
    EXPECT_EQ(second[0].previous, &bench.red);
    EXPECT_EQ(second[0].current, &bench.blue);
    // Step 1 shows red at 250 and blue at 5 over the snapshot.
    const COLORREF step1 = Blend(Blend(bench.Background(), kRed, 250), kBlue, 5);
    EXPECT_TRUE(ColourNear(second[1].screen, step1, 3));
    EXPECT_TRUE(ColourNear(bench.Screen(), kBlue));
}

TEST(ImagePanel, TheSamePictureAgainFadesOverItself)
{
    PanelBench bench;
    bench.panel.SetImage(&bench.red);
    ASSERT_TRUE(bench.FadeEnds());
    bench.panel.SetImage(&bench.red);
    ASSERT_TRUE(bench.FadeEnds());
    const auto threads = bench.panel.Threads();
    ASSERT_EQ(threads.size(), 2u);
    EXPECT_EQ(bench.panel.Steps(threads[1]), 51);
    EXPECT_TRUE(ColourNear(bench.Screen(), kRed));
}

TEST(ImagePanel, WaitsForTheSnapshotOfAPanelNeverErased)
{
    PanelBench bench(false);
    bool waitedEnough = false;
    bench.panel.onPause = [&](ProbedPanel&, const PauseRecord& r) {
        if (r.where == Where::WaitingForBackground && !waitedEnough) {
            int rounds = 0;
            for (const PauseRecord& earlier : bench.panel.Records())
                rounds += earlier.where == Where::WaitingForBackground;
            waitedEnough = rounds >= 3;
        }
    };
    bench.panel.SetImage(&bench.red);
    ASSERT_TRUE(PumpUntil([&] { return waitedEnough; }));
    EXPECT_FALSE(bench.panel.m_bmpBackground.GetSafeHandle());  // hidden: never erased

    bench.panel.ShowWindow(SW_SHOW);
    ASSERT_TRUE(bench.FadeEnds());
    EXPECT_TRUE(bench.panel.m_bmpBackground.GetSafeHandle());
    const auto records = bench.panel.Records();
    ASSERT_EQ(bench.panel.Threads().size(), 1u);
    EXPECT_EQ(bench.panel.Steps(records[0].thread), 51);
    EXPECT_EQ(records.front().where, Where::WaitingForBackground);
    EXPECT_EQ(records.back().where, Where::Step);
    EXPECT_TRUE(ColourNear(bench.Screen(), kRed));
}

TEST(ImagePanel, ANewPictureStopsTheRunningFadeWithinOneStep)
{
    PanelBench bench;
    DWORD firstThread = 0;
    bool heldAtStep10 = false;
    bench.panel.onPause = [&](ProbedPanel& panel, const PauseRecord& r) {
        if (r.where == Where::Step && r.stepOfThread == 1 && !firstThread)
            firstThread = r.thread;
        if (r.thread == firstThread && r.stepOfThread == 10) {
            heldAtStep10 = true;
            // Hold the step until the dialog's thread asks the fade to stop.
            EXPECT_TRUE(WaitFor([&] { return panel.m_bStop.load(); }));
        }
    };
    bench.panel.SetImage(&bench.red);
    ASSERT_TRUE(PumpUntil([&] { return heldAtStep10; }));
    bench.panel.SetImage(&bench.blue);
    // SetImage came back only after the first thread had gone.
    ASSERT_EQ(bench.panel.Steps(firstThread), 10);
    ASSERT_TRUE(bench.FadeEnds());

    const auto threads = bench.panel.Threads();
    ASSERT_EQ(threads.size(), 2u);  // never interleaved: one fade thread at a time
    EXPECT_EQ(threads[0], firstThread);
    EXPECT_EQ(bench.panel.Steps(threads[1]), 51);
    // The interrupted picture is the new fade's previous one.
    for (const PauseRecord& r : bench.panel.Records())
        if (r.thread == threads[1]) {
            EXPECT_EQ(r.previous, &bench.red);
            EXPECT_EQ(r.current, &bench.blue);
        }
    EXPECT_TRUE(ColourNear(bench.Screen(), kBlue));
}

TEST(ImagePanel, ASecondPictureRightAfterTheFirstIsNotHeldUpByIt)
{
    // The first fade thread may not even have started when the second
    // SetImage asks it to stop; that request must not get lost. The first
    // fade is held at its first step until it sees a stop request (or, when
    // the request was lost, until the probe gives up).
    PanelBench bench;
    bench.panel.onPause = [&](ProbedPanel& panel, const PauseRecord& r) {
        if (r.current == &bench.red && r.stepOfThread == 1) {
            EXPECT_TRUE(WaitFor([&] { return panel.m_bStop.load(); }, 3000));
        }
    };
    bench.panel.SetImage(&bench.red);
    bench.panel.SetImage(&bench.blue);
    ASSERT_TRUE(bench.FadeEnds());

    // The red fade ended at once (it may not have drawn a step at all); then
    // the blue one ran alone to its end.
    int redSteps = 0;
    int blueSteps = 0;
    for (const PauseRecord& r : bench.panel.Records()) {
        if (r.where != Where::Step)
            continue;
        if (r.current == &bench.red) {
            EXPECT_EQ(blueSteps, 0) << "the two fades overlapped";
            ++redSteps;
        } else {
            ++blueSteps;
        }
    }
    EXPECT_LE(redSteps, 1);
    EXPECT_EQ(blueSteps, 51);
    EXPECT_TRUE(ColourNear(bench.Screen(), kBlue));
}

TEST(ImagePanel, StopAnimationLeavesTheLastStepOnTheScreen)
{
    PanelBench bench;
    bool held = false;
    bench.panel.onPause = [&](ProbedPanel& panel, const PauseRecord& r) {
        if (r.stepOfThread == 20) {
            held = true;
            EXPECT_TRUE(WaitFor([&] { return panel.m_bStop.load(); }));
        }
    };
    bench.panel.SetImage(&bench.red);
    ASSERT_TRUE(PumpUntil([&] { return held; }));
    bench.panel.StopAnimation();
    EXPECT_EQ(bench.panel.m_pAnimThread.load(), nullptr);
    const auto records = bench.panel.Records();
    EXPECT_EQ(bench.panel.Steps(records[0].thread), 20);
    // Step 20 (alpha 100) was still put on the screen.
    EXPECT_TRUE(ColourNear(bench.Screen(), Blend(bench.Background(), kRed, 100), 2));
}

TEST(ImagePanel, StopAnimationWhenIdleReturnsAtOnce)
{
    PanelBench bench;
    bench.panel.StopAnimation();
    EXPECT_EQ(bench.panel.m_pAnimThread.load(), nullptr);
    EXPECT_TRUE(bench.panel.Records().empty());

    // A later picture still fades all the way.
    bench.panel.SetImage(&bench.blue);
    ASSERT_TRUE(bench.FadeEnds());
    EXPECT_EQ(bench.panel.Steps(bench.panel.Records()[0].thread), 51);
}

TEST(ImagePanel, APaintDuringTheFadeDrawsNothing)
{
    PanelBench bench;
    enum { Running, Held, Painted } phase = Running;
    bench.panel.onPause = [&](ProbedPanel&, const PauseRecord& r) {
        if (r.stepOfThread == 10) {
            phase = Held;
            EXPECT_TRUE(WaitFor([&] { return phase == Painted; }));
        }
    };
    bench.panel.SetImage(&bench.red);
    ASSERT_TRUE(PumpUntil([&] { return phase == Held; }));
    const COLORREF step9 = bench.Screen();
    bench.panel.Invalidate(TRUE);
    PumpMessages();
    EXPECT_EQ(bench.Screen(), step9);
    EXPECT_FALSE(ColourNear(step9, kRed, 10));
    RECT update{};
    EXPECT_FALSE(::GetUpdateRect(bench.panel.m_hWnd, &update, FALSE));  // the paint was taken, not left pending
    phase = Painted;
    ASSERT_TRUE(bench.FadeEnds());
    EXPECT_TRUE(ColourNear(bench.Screen(), kRed));
}

TEST(ImagePanel, PaintDrawsTheCurrentPictureOverTheSnapshot)
{
    PanelBench bench;
    bench.panel.m_pImage.store(&bench.blue);  // as after a fade
    qxt::test::MemoryCanvas canvas(32, 32, RGB(1, 2, 3));
    bench.panel.Paint(canvas.Dc());
    EXPECT_TRUE(ColourNear(canvas.Pixel(0, 0), kBlue));
    EXPECT_TRUE(ColourNear(canvas.Pixel(31, 31), kBlue));
    bench.panel.m_pImage.store(nullptr);
    bench.panel.Paint(canvas.Dc());
    EXPECT_TRUE(ColourNear(canvas.Pixel(kProbeX, kProbeY), bench.Background()));
}

}  // namespace
