#include "download/DiskRoom.h"

#include "framework/FormatText.h"

namespace {

constexpr ULONGLONG kMegabyte = 1024 * 1024;

std::wstring Megabytes(ULONGLONG tenths)
{
    wchar_t text[32] = {};
    FormatText(text, 32, L"%I64u.%u MB", tenths / 10, static_cast<unsigned>(tenths % 10));
    return text;
}

}  // namespace

ULONGLONG RoomStillNeeded(ULONGLONG listedSize, ULONGLONG held)
{
    return held < listedSize ? listedSize - held : 0;
}

std::wstring NoRoomLine(ULONGLONG needed, ULONGLONG available)
{
    // Ten times the bytes still fits: no disk holds an exabyte.
    const ULONGLONG neededTenths = (needed * 10 + kMegabyte - 1) / kMegabyte;
    const ULONGLONG freeTenths = available * 10 / kMegabyte;
    return L"磁盘空间不足：需要 " + Megabytes(neededTenths) + L"，安装文件夹所在的磁盘只有 " + Megabytes(freeTenths) +
           L" 可用。";
}
