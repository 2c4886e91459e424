// CTextProgressCtrl: the system's progress bar with its percentage written
// over it, centred, in black. A left click on it drags the parent.
#pragma once

#include <string>

#include "framework/ProgressCtrl.h"

class CTextProgressCtrl : public CProgressCtrl {
public:
    CTextProgressCtrl() = default;
    ~CTextProgressCtrl() override = default;

    // The percentage of a position in a range, rounded half up: "42%".
    // An empty range reads "0%", like the empty bar the system draws for it.
    static std::wstring PercentText(int pos, int lower, int upper);
    // The text for the bar's current position and range.
    std::wstring GetPercentText() const;
    // Writes the text centred over whatever dc shows of the bar.
    void DrawPercentage(HDC dc);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
    void OnLButtonDown(LPARAM position);
};
