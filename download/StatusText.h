// A text message to the dialog (the status line, a failure), sent from any of
// the run's threads.
#pragma once

#include <windows.h>

#include <string>

inline void SendText(HWND window, UINT message, const std::wstring& text)
{
    ::SendMessageW(window, message, reinterpret_cast<WPARAM>(&text), 0);
}
