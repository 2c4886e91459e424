// What the trust checks found: the code the run ends with, the check that
// refused, and the value it expected against the value it received.
#pragma once

#include "core/SetupMessages.h"

#include <string>

struct TrustRefusal {
    SetupResult code = SETUP_OK;  // SETUP_OK: nothing refused
    std::wstring check;           // "signature", "expiry", ...
    std::wstring expected;
    std::wstring received;

    explicit operator bool() const { return code != SETUP_OK; }
};

// A refusal of check with its code and both values.
TrustRefusal Refuse(SetupResult code, const wchar_t* check, std::wstring expected, std::wstring received);

// The log's words for a refusal: "CHECK: expected ..., received ...".
std::wstring DescribeRefusal(const TrustRefusal& refusal);
