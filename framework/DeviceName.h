// Names that Windows opens as a device whatever folder they are in.
#pragma once

#include <string>

// True for CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1 to COM9 and LPT1 to LPT9
// (COM¹ to COM³ and LPT¹ to LPT³ too), in any case and with any extension
// ("nul.txt" is NUL too), blanks before the extension ignored ("nul .txt").
// name is one component of a path, without any backslash.
bool IsDeviceName(const std::wstring& name);
