#include "framework/FileVersion.h"

#include <memory>

bool GetFileVersion(const wchar_t* path, VS_FIXEDFILEINFO* version)
{
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &handle);
    if (size == 0)
        return false;

    // Twice the reported size: some systems write past it when converting ANSI blocks.
    auto buffer = std::make_unique<BYTE[]>(size * 2);
    if (!::GetFileVersionInfoW(path, 0, size * 2, buffer.get()))
        return false;

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!::VerQueryValueW(buffer.get(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO))
        return false;

    *version = *fixed;
    return true;
}
