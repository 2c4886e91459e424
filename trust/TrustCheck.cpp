#include "trust/TrustCheck.h"

#include <utility>

TrustRefusal Refuse(SetupResult code, const wchar_t* check, std::wstring expected, std::wstring received)
{
    TrustRefusal refusal;
    refusal.code = code;
    refusal.check = check;
    refusal.expected = std::move(expected);
    refusal.received = std::move(received);
    return refusal;
}

std::wstring DescribeRefusal(const TrustRefusal& refusal)
{
    return refusal.check + L": expected " + refusal.expected + L", received " + refusal.received;
}
