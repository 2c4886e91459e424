// The background snapshot: a control's copy of the parent's pixels under it,
// with which the skinned controls imitate transparency over the dialog's skin.
#pragma once

#include <windows.h>

#include "framework/Bitmap.h"

// Copies what the parent shows under the control into a new bitmap attached
// to snapshot. The bitmap is made compatible with compatibleDc when given
// (the rich static passes its erase DC), else with the parent's DC. Does
// nothing when the snapshot already exists; false when it could not be taken.
bool TakeBackgroundSnapshot(HWND control, CBitmap& snapshot, HDC compatibleDc = nullptr);

// Copies the snapshot to 0, 0 of dc at the size of the control's client area.
void DrawBackgroundSnapshot(HWND control, const CBitmap& snapshot, HDC dc);
