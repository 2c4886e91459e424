#include "framework/DeviceName.h"

namespace {

// The digits Windows accepts after COM and LPT in a device name: 1 to 9 and
// the superscripts one, two and three.
bool IsDevicePortDigit(wchar_t c)
{
    return (c >= L'1' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3';
}

}  // namespace

bool IsDeviceName(const std::wstring& name)
{
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (wchar_t& c : base) {
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
        base == L"CONOUT$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           IsDevicePortDigit(base[3]);
}
