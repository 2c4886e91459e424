// The dialog's layout table: places that follow the strips' sizes, and the
// page changes that only name controls the table has.
#include "setup/DialogLayout.h"

#include "framework/WindowDpi.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

using namespace dialog_layout;

TEST(DialogLayout, CloseAndMinimiseStayFlushWithTheRightEdgeForAnyStripSize)
{
    const struct {
        const char* label;
        int windowWidth;
        SIZE closeFrame, minimiseFrame;
        RECT close, minimise;
    } cases[] = {
        {"shipped strips", 590, {36, 36}, {36, 36}, {554, 0, 590, 36}, {518, 0, 554, 36}},
        {"wider close button", 590, {50, 30}, {36, 36}, {540, 0, 590, 30}, {504, 0, 540, 36}},
        {"narrower window", 400, {20, 20}, {24, 18}, {380, 0, 400, 20}, {356, 0, 380, 18}},
    };
    for (const auto& c : cases) {
        const RECT close = PlaceOf(Control(IDC_CLOSE), c.closeFrame, c.windowWidth, c.closeFrame);
        const RECT minimise = PlaceOf(Control(IDC_MINIMIZE), c.minimiseFrame, c.windowWidth, c.closeFrame);
        EXPECT_TRUE(::EqualRect(&close, &c.close)) << c.label;
        EXPECT_TRUE(::EqualRect(&minimise, &c.minimise)) << c.label;
    }
    // A control with a fixed size keeps it, whatever its strip says.
    const RECT edit = PlaceOf(Control(IDC_INSTALL_PATH), SIZE{99, 99}, 590, SIZE{36, 36});
    const RECT expected{20, 385, 400, 415};
    EXPECT_TRUE(::EqualRect(&edit, &expected));
}

TEST(DialogLayout, PlacesAndFixedSizesScaleWithTheDisplay)
{
    // The folder box (20, 385, 380 x 30) and the status line (20, 375,
    // 380 x 20) at each scale, each corner scaled and rounded half away
    // from zero; the browse button takes its place from the row and its
    // size from its picture at that scale.
    const struct {
        UINT dpi;
        RECT edit, status, browse;
        SIZE browseFrame;
    } cases[] = {
        {96, {20, 385, 400, 415}, {20, 375, 400, 395}, {400, 385, 430, 415}, {30, 30}},
        {120, {25, 481, 500, 519}, {25, 469, 500, 494}, {500, 481, 538, 519}, {38, 38}},
        {144, {30, 578, 600, 623}, {30, 563, 600, 593}, {600, 578, 645, 623}, {45, 45}},
        {168, {35, 674, 700, 726}, {35, 656, 700, 691}, {700, 674, 753, 727}, {53, 53}},
        {192, {40, 770, 800, 830}, {40, 750, 800, 790}, {800, 770, 860, 830}, {60, 60}},
    };
    for (const auto& c : cases) {
        const int width = qxt::ScaleToDpi(590, c.dpi);
        const RECT edit = PlaceOf(Control(IDC_INSTALL_PATH), SIZE{}, width, SIZE{}, c.dpi);
        const RECT status = PlaceOf(Control(IDC_STATUS), SIZE{}, width, SIZE{}, c.dpi);
        const RECT browse = PlaceOf(Control(IDC_BROWSE), c.browseFrame, width, SIZE{}, c.dpi);
        EXPECT_TRUE(::EqualRect(&edit, &c.edit)) << c.dpi << " dpi: " << edit.left << "," << edit.top << " "
                                                 << edit.right << "," << edit.bottom;
        EXPECT_TRUE(::EqualRect(&status, &c.status)) << c.dpi << " dpi: " << status.left << "," << status.top
                                                     << " " << status.right << "," << status.bottom;
        EXPECT_TRUE(::EqualRect(&browse, &c.browse)) << c.dpi << " dpi";
    }
}

TEST(DialogLayout, ControlsThatTouchAtOneHundredPercentTouchAtEveryScale)
{
    for (UINT dpi = 96; dpi <= 240; dpi += 4) {
        const int width = qxt::ScaleToDpi(590, dpi);
        const SIZE close{qxt::ScaleToDpi(36, dpi), qxt::ScaleToDpi(36, dpi)};
        const RECT edit = PlaceOf(Control(IDC_INSTALL_PATH), SIZE{}, width, close, dpi);
        const RECT browse = PlaceOf(Control(IDC_BROWSE), SIZE{7, 7}, width, close, dpi);
        EXPECT_EQ(edit.right, browse.left) << dpi << " dpi";
        const RECT closeButton = PlaceOf(Control(IDC_CLOSE), close, width, close, dpi);
        const RECT minimise = PlaceOf(Control(IDC_MINIMIZE), close, width, close, dpi);
        EXPECT_EQ(closeButton.right, width) << dpi << " dpi";
        EXPECT_EQ(minimise.right, closeButton.left) << dpi << " dpi";
        // The cancel button lies exactly over the start button.
        const RECT start = PlaceOf(Control(IDC_START), SIZE{9, 9}, width, close, dpi);
        const RECT cancel = PlaceOf(Control(IDC_CANCEL_INSTALL), SIZE{9, 9}, width, close, dpi);
        EXPECT_TRUE(::EqualRect(&start, &cancel)) << dpi << " dpi";
    }
}

TEST(DialogLayout, EveryControlHasOneRowAndEveryPageChangeNamesOne)
{
    std::set<UINT> ids;
    for (const ControlLayout& row : kControls)
        EXPECT_TRUE(ids.insert(row.id).second) << "control " << row.id << " has two rows";
    for (UINT id : {IDC_MINIMIZE, IDC_CLOSE, IDC_START, IDC_BROWSE, IDC_INSTALL_PATH, IDC_CANCEL_INSTALL, IDC_FINISH,
                    IDC_PROGRESS, IDC_STATUS, IDC_COUNTER, IDC_AUTORUN, IDC_DESKTOP_SHORTCUT, IDC_PROGRAM_GROUP,
                    IDC_SWITCH1, IDC_SWITCH2, IDC_SWITCH3, IDC_SWITCH4, IDC_SWITCH5, IDC_PANEL})
        EXPECT_EQ(ids.count(id), 1u) << "control " << id << " has no row";

    for (const auto& changes : {std::vector<PageChange>(std::begin(kToProgress), std::end(kToProgress)),
                                std::vector<PageChange>(std::begin(kToFinish), std::end(kToFinish)),
                                std::vector<PageChange>(std::begin(kBackToWelcome), std::end(kBackToWelcome))}) {
        for (const PageChange& c : changes) {
            if (c.change == Change::Enable || c.change == Change::Show) {
                EXPECT_EQ(ids.count(c.id), 1u) << "a page change names control " << c.id;
            }
        }
    }
}

TEST(DialogLayout, TheStartCommandDisablesTheWelcomeControlsInThePagesOrder)
{
    const std::vector<int> disabled(kStartDisables.begin(), kStartDisables.end());
    EXPECT_EQ(disabled, (std::vector<int>{IDC_INSTALL_PATH, IDC_START, IDC_BROWSE, IDC_CLOSE}));
}

}  // namespace
