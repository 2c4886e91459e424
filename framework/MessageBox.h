// AfxMessageBox and the application's main window, as far as the program
// uses them: a box captioned with the application's name and owned by the
// main window (from any thread).
#pragma once

#include <windows.h>
#include <string>

// The window that owns boxes shown without an owner of their own; nullptr
// until the application registers its main window (its dialog).
HWND AfxGetMainWnd();
void AfxSetMainWnd(HWND wnd);

// The application's name: the string resource AFX_IDS_APP_TITLE (0xE000) of
// the executable when it has one, otherwise the executable's file name
// without folder and extension.
std::wstring AfxGetAppName();

// Shows a message box captioned with the application's name and returns the
// pressed button. Without an icon in type, OK and OK/Cancel boxes get the
// exclamation icon and Yes/No boxes the question icon.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK);
inline int AfxMessageBox(const std::wstring& text, UINT type = MB_OK)
{
    return AfxMessageBox(text.c_str(), type);
}

// From now on (true) AfxMessageBox shows nothing: it writes the text to the
// process's log and returns the answer that changes least (OK, Abort, No,
// Cancel). For a run that nobody watches.
void SuppressMessageBoxes(bool suppress);
