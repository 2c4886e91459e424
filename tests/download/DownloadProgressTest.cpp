// The whole download's bar and counter, fed as the transfers feed it.
#include "download/DownloadProgress.h"

#include "core/SetupMessages.h"
#include "tests/support/MessageRecorder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qxt::test;

namespace {

std::vector<RecordedMessage> Bar(const MessageRecorder& recorder)
{
    std::vector<RecordedMessage> bar;
    for (const RecordedMessage& m : recorder.Messages())
        if (m.message == WM_DOWNLOAD_PROGRESS)
            bar.push_back(m);
    return bar;
}

// A transfer that drops what it held and starts over (a resumed file whose
// digest did not match) gives its bytes back, and gets them again: the bar
// waits at the furthest point it showed rather than going back, and the
// counter and the last file still fill it.
TEST(DownloadProgress, TheBarNeverGoesBackWhenATransferStartsOver)
{
    MessageRecorder recorder;
    ASSERT_NE(recorder.Window(), nullptr);
    DownloadProgress progress(recorder.Window());
    progress.Begin(1000, 2, 0, 0);
    TransferShare first(progress);
    first.Begin(0, 600);
    first.Advance(400);
    // The resumed file was not the listed one: fetched whole again.
    first.Begin(0, 600);
    first.Advance(300);
    first.Advance(600);
    progress.FileDone();
    TransferShare second(progress);
    second.Begin(0, 400);
    second.Advance(400);
    progress.FileDone();

    const std::vector<RecordedMessage> bar = Bar(recorder);
    ASSERT_FALSE(bar.empty());
    WPARAM shown = 0;
    for (const RecordedMessage& m : bar) {
        EXPECT_EQ(m.lParam, 1000) << Describe(m);
        EXPECT_GE(m.wParam, shown) << "the bar went back: " << Describe(m);
        shown = m.wParam;
    }
    EXPECT_EQ(bar.back().wParam, 1000u);
}

// Without sizes in the list the bar counts files; nothing a transfer writes
// moves it, and nothing moves it before the list is known.
TEST(DownloadProgress, WithoutSizesTheBarCountsFilesFromTheKeptOnes)
{
    MessageRecorder recorder;
    ASSERT_NE(recorder.Window(), nullptr);
    DownloadProgress progress(recorder.Window());
    TransferShare list(progress);
    list.Begin(0, 5000);
    list.Advance(5000);
    EXPECT_TRUE(recorder.Messages().empty()) << "moved before the list was known";

    progress.Begin(0, 3, 1, 0);
    TransferShare file(progress);
    file.Begin(0, 700);
    file.Advance(700);
    progress.FileDone();
    progress.FileDone();

    static const ExpectedMessage kExpected[] = {
        {WM_DOWNLOAD_FILE_INDEX, 1, 3}, {WM_DOWNLOAD_PROGRESS, 1, 3}, {WM_DOWNLOAD_FILE_INDEX, 2, 3},
        {WM_DOWNLOAD_PROGRESS, 2, 3},   {WM_DOWNLOAD_FILE_INDEX, 3, 3}, {WM_DOWNLOAD_PROGRESS, 3, 3},
    };
    EXPECT_TRUE(MatchesSequence(recorder.Messages(), kExpected));
}

}  // namespace
