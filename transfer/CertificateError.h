// WinInet's refusals of a server's certificate: never worth another try (the
// same certificate comes back), and the user is told which problem it was.
#pragma once

#include <windows.h>

// Whether error (a WinInet code) says that the server's certificate was refused.
bool IsCertificateError(DWORD error);

// The line the error box adds for that refusal, in Chinese; nullptr for a
// code that is not a certificate error.
const wchar_t* CertificateProblemText(DWORD error);
