// The dialog's layout table: places that follow the strips' sizes, and the
// page changes that only name controls the table has.
#include "setup/DialogLayout.h"

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
