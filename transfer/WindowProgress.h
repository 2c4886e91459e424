// One transfer on the dialog's bar: the bar is that file.
#pragma once

#include "transfer/ProgressSender.h"
#include "transfer/ProgressSink.h"

#include <windows.h>

// The first position (what the file already holds) and the last one always
// go out; those between as ProgressSender allows.
class WindowProgress final : public ProgressSink {
public:
    explicit WindowProgress(HWND window) noexcept : m_sender(window) {}

    void Begin(ULONGLONG position, ULONGLONG upper) override;
    void Advance(ULONGLONG position) override;
    void End() override;

private:
    ProgressSender m_sender;
    ULONGLONG m_upper = 0;
    bool m_begun = false;
};
