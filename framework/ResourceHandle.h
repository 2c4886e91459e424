// The module whose resources the program loads (dialog template, icon, PNG
// skin): the executable itself unless someone names another one.
#pragma once

#include <windows.h>

HINSTANCE AfxGetResourceHandle() noexcept;
void AfxSetResourceHandle(HINSTANCE module) noexcept;
