// Where one transfer tells how far its file has come: the dialog's bar for
// that file alone (WindowProgress), or its share of a whole download's bar.
#pragma once

#include <windows.h>

class ProgressSink {
public:
    // An answer of upper bytes is coming, of which position are already held
    // (0 for a fresh transfer).
    virtual void Begin(ULONGLONG position, ULONGLONG upper) = 0;
    // The file now holds position bytes.
    virtual void Advance(ULONGLONG position) = 0;
    // The transfer ended, however it ended: what it reached is shown.
    virtual void End() = 0;

protected:
    ~ProgressSink() = default;
};

// A transfer whose bytes are nobody's bar (a file list, before the run
// knows what the bar counts).
class NoProgress final : public ProgressSink {
public:
    void Begin(ULONGLONG, ULONGLONG) override {}
    void Advance(ULONGLONG) override {}
    void End() override {}
};
