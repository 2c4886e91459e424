#include "download/TrustCheck.h"

std::wstring DescribeRefusal(const TrustRefusal& refusal)
{
    return refusal.check + L": expected " + refusal.expected + L", received " + refusal.received;
}
