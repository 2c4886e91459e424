// The setup dialog's layout and pages, in one place: for every control its
// id, skin strip, place, and its state on the welcome, progress and finish
// pages; and for every page change, the order in which the controls are
// switched. The dialog lays itself out and changes pages from these tables;
// so does the skin preview the skin tests look at.
#pragma once

#include "res/resource.h"

#include <windows.h>

#include <cstddef>
#include <functional>
#include <iterator>

namespace dialog_layout {

enum class Page { Welcome, Progress, Finish };
inline constexpr int kPageCount = 3;

// Whether a page enables a control; NotSet: the page leaves it as it is.
enum class Enabled : unsigned char { NotSet, Yes, No, UnlessExisting };

struct PageState {
    bool shown;
    Enabled enabled;
};

// Where a control's x comes from: the given x, flush with the window's right
// edge, or flush with the close button's left edge (so both stay flush with
// the right edge whatever size the strips have).
enum class Anchor : unsigned char { Left, RightEdge, LeftOfClose };

struct ControlLayout {
    UINT id;
    UINT image;          // its strip; 0: none (drawn by the control itself)
    UINT existingImage;  // its strip for an existing installation; 0: the same
    Anchor anchor;
    int x, y;
    int width, height;  // 0 × 0: the size of one state of its strip
    PageState pages[kPageCount];
};

inline constexpr PageState kShownEnabled{true, Enabled::Yes};
inline constexpr PageState kShownDisabled{true, Enabled::No};
inline constexpr PageState kHiddenDisabled{false, Enabled::No};
inline constexpr PageState kShown{true, Enabled::NotSet};
inline constexpr PageState kHidden{false, Enabled::NotSet};
inline constexpr PageState kShownUnlessExisting{true, Enabled::UnlessExisting};

// In the order the dialog sets the controls up. Client pixels at 96 dpi, the
// design size: the dialog scales every place and fixed size for its DPI
// (PlaceOf), and its strips come at that DPI's size.
inline constexpr ControlLayout kControls[] = {
    //                                                                          welcome            progress         finish
    {IDC_INSTALL_PATH, 0, 0, Anchor::Left, 20, 385, 380, 30, {kShownUnlessExisting, kHiddenDisabled, kHiddenDisabled}},
    {IDC_BROWSE, IDB_BROWSE, 0, Anchor::Left, 400, 385, 0, 0, {kShownUnlessExisting, kHiddenDisabled, kHiddenDisabled}},
    {IDC_CLOSE, IDB_CLOSE, 0, Anchor::RightEdge, 0, 0, 0, 0, {kShownEnabled, kShownDisabled, kShownEnabled}},
    {IDC_MINIMIZE, IDB_MINIMIZE, 0, Anchor::LeftOfClose, 0, 0, 0, 0, {kShownEnabled, kShownEnabled, kShownEnabled}},
    {IDC_START, IDB_START, IDB_REINSTALL, Anchor::Left, 480, 380, 0, 0, {kShownEnabled, kHiddenDisabled, kHiddenDisabled}},
    {IDC_CANCEL_INSTALL, IDB_CANCEL_INSTALL, 0, Anchor::Left, 480, 380, 0, 0,
     {kHiddenDisabled, kShownEnabled, kHiddenDisabled}},
    {IDC_PROGRESS, 0, 0, Anchor::Left, 20, 392, 410, 15, {kHidden, kShown, kHidden}},
    // A rich static is always 20 pixels high.
    {IDC_STATUS, 0, 0, Anchor::Left, 20, 375, 380, 20, {kHidden, kShown, kHidden}},
    {IDC_COUNTER, 0, 0, Anchor::Left, 435, 392, 40, 20, {kHidden, kShown, kHidden}},
    {IDC_AUTORUN, IDB_CHECK_AUTORUN, 0, Anchor::Left, 320, 150, 0, 0, {kHidden, kHidden, kShown}},
    {IDC_DESKTOP_SHORTCUT, IDB_CHECK_DESKTOP, 0, Anchor::Left, 320, 180, 0, 0, {kHidden, kHidden, kShown}},
    {IDC_PROGRAM_GROUP, IDB_CHECK_GROUP, 0, Anchor::Left, 320, 210, 0, 0, {kHidden, kHidden, kShown}},
    {IDC_FINISH, IDB_FINISH, 0, Anchor::Left, 380, 290, 0, 0, {kHiddenDisabled, kHiddenDisabled, kShownEnabled}},
    {IDC_SWITCH1, IDB_SWITCH1, 0, Anchor::Left, 36, 242, 0, 0, {kShownEnabled, kShownEnabled, kShownDisabled}},
    {IDC_SWITCH2, IDB_SWITCH2, 0, Anchor::Left, 53, 171, 0, 0, {kShownEnabled, kShownEnabled, kShownDisabled}},
    {IDC_SWITCH3, IDB_SWITCH3, 0, Anchor::Left, 122, 126, 0, 0, {kShownEnabled, kShownEnabled, kShownDisabled}},
    {IDC_SWITCH4, IDB_SWITCH4, 0, Anchor::Left, 209, 172, 0, 0, {kShownEnabled, kShownEnabled, kShownDisabled}},
    {IDC_SWITCH5, IDB_SWITCH5, 0, Anchor::Left, 227, 242, 0, 0, {kShownEnabled, kShownEnabled, kShownDisabled}},
    {IDC_PANEL, 0, 0, Anchor::Left, 300, 80, 260, 260, {kShown, kShown, kHidden}},
};

inline constexpr int kSwitchCount = 5;
inline constexpr UINT kSwitchIds[kSwitchCount] = {IDC_SWITCH1, IDC_SWITCH2, IDC_SWITCH3, IDC_SWITCH4, IDC_SWITCH5};
// Picture n belongs to switch n; the panel starts with the third.
inline constexpr UINT kPictureImages[kSwitchCount] = {IDB_PICTURE1, IDB_PICTURE2, IDB_PICTURE3, IDB_PICTURE4,
                                                       IDB_PICTURE5};
inline constexpr int kFirstPicture = 2;
// The highlight pen of the folder edit and the colour of the status texts.
inline constexpr COLORREF kEditHighlight = RGB(14, 103, 176);
inline constexpr COLORREF kStatusTextColor = RGB(255, 255, 255);

// The row of a control; the first row when the id has none (a fault the
// layout test catches).
constexpr const ControlLayout& Control(UINT id)
{
    for (const ControlLayout& row : kControls)
        if (row.id == id)
            return row;
    return kControls[0];
}

constexpr PageState StateOn(UINT id, Page page)
{
    return Control(id).pages[static_cast<int>(page)];
}

// The strip a control shows.
constexpr UINT ImageOf(const ControlLayout& row, bool existingInstall)
{
    return existingInstall && row.existingImage ? row.existingImage : row.image;
}

// The client rectangle of a control at dpi, given the size of one state of
// its own strip and of the close button's strip and the window's width, all
// three in pixels at that DPI. The row's corners are scaled each on its own
// and rounded, so controls that touch at 96 dpi touch at every scale.
RECT PlaceOf(const ControlLayout& row, SIZE frame, int windowWidth, SIZE closeFrame, UINT dpi = 96);

// One switch of a page change: set the control's enabled or shown state to
// what the page's row says; or one of the two steps that are not a control's
// state.
enum class Change : unsigned char {
    Enable,        // EnableWindow with the page's enabled state
    Show,          // ShowWindow with the page's shown state
    Repaint,       // paint the skin where hidden controls were, before others show
    StopRotation,  // the finish page: rotation stopped, switches disabled and deselected
};

struct PageChange {
    Change change;
    UINT id;
};

// The page changes, each in its order. The welcome page is the one that a
// failed or cancelled run returns to; the dialog's start-up lays it out from
// the rows directly.
inline constexpr PageChange kToProgress[] = {
    {Change::Enable, IDC_INSTALL_PATH}, {Change::Enable, IDC_START},   {Change::Enable, IDC_BROWSE},
    {Change::Enable, IDC_CANCEL_INSTALL}, {Change::Enable, IDC_CLOSE},
    {Change::Show, IDC_INSTALL_PATH},   {Change::Show, IDC_START},     {Change::Show, IDC_BROWSE},
    // The status line and the counter keep the pixels under them as their
    // background: the folder edit's, unless the skin is painted first.
    {Change::Repaint, 0},
    {Change::Show, IDC_PROGRESS},       {Change::Show, IDC_CANCEL_INSTALL}, {Change::Show, IDC_STATUS},
    {Change::Show, IDC_COUNTER},
};

inline constexpr PageChange kToFinish[] = {
    {Change::Enable, IDC_CLOSE},         {Change::Show, IDC_CANCEL_INSTALL}, {Change::Enable, IDC_CANCEL_INSTALL},
    {Change::Show, IDC_PROGRESS},        {Change::Show, IDC_STATUS},         {Change::Show, IDC_COUNTER},
    {Change::Enable, IDC_FINISH},        {Change::Show, IDC_FINISH},         {Change::StopRotation, 0},
    {Change::Show, IDC_PANEL},           {Change::Show, IDC_AUTORUN},        {Change::Show, IDC_DESKTOP_SHORTCUT},
    {Change::Show, IDC_PROGRAM_GROUP},
};

inline constexpr PageChange kBackToWelcome[] = {
    {Change::Enable, IDC_INSTALL_PATH}, {Change::Enable, IDC_START},        {Change::Enable, IDC_BROWSE},
    {Change::Enable, IDC_CANCEL_INSTALL}, {Change::Enable, IDC_CLOSE},
    {Change::Show, IDC_INSTALL_PATH},   {Change::Show, IDC_START},          {Change::Show, IDC_BROWSE},
    {Change::Show, IDC_PROGRESS},       {Change::Show, IDC_CANCEL_INSTALL}, {Change::Show, IDC_STATUS},
    {Change::Show, IDC_COUNTER},
};

// The welcome page's controls that the progress page disables, in the order
// the progress page disables them: the ones the start command disables while
// it starts the worker, before the progress page is shown.
inline constexpr std::size_t kStartDisablesCount = [] {
    std::size_t count = 0;
    for (const PageChange& c : kToProgress)
        if (c.change == Change::Enable && StateOn(c.id, Page::Welcome).enabled != Enabled::No &&
            StateOn(c.id, Page::Progress).enabled == Enabled::No)
            ++count;
    return count;
}();
struct ControlIds {
    int ids[kStartDisablesCount];
    constexpr const int* begin() const { return ids; }
    constexpr const int* end() const { return ids + kStartDisablesCount; }
    static constexpr std::size_t size() { return kStartDisablesCount; }
};
inline constexpr ControlIds kStartDisables = [] {
    ControlIds result{};
    std::size_t n = 0;
    for (const PageChange& c : kToProgress)
        if (c.change == Change::Enable && StateOn(c.id, Page::Welcome).enabled != Enabled::No &&
            StateOn(c.id, Page::Progress).enabled == Enabled::No)
            result.ids[n++] = static_cast<int>(c.id);
    return result;
}();

// The two steps that are not a control's state, done by the window itself.
struct PageHooks {
    std::function<void()> repaint;
    std::function<void()> stopRotation;
};

// Moves the controls of dialog to page: every change of the page, in its
// order. existingInstall decides the states given as UnlessExisting.
void ShowPage(HWND dialog, Page page, bool existingInstall, const PageHooks& hooks);

}  // namespace dialog_layout
