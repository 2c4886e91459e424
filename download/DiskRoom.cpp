#include "download/DiskRoom.h"

#include "framework/FileSystem.h"
#include "framework/FormatText.h"
#include "framework/LogFile.h"
#include "framework/SystemErrorText.h"

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

bool RoomForFetches(const std::wstring& folder, const std::vector<ListedFile>& entries,
                    const std::vector<LocalCopy>& copies, DownloadFailure& failure)
{
    ULONGLONG needed = 0;
    unsigned fetches = 0;
    for (size_t i = 0; i < entries.size(); ++i)
        if (copies[i].examined && !copies[i].current) {
            needed += RoomStillNeeded(entries[i].signedEntry->size, copies[i].held);
            ++fetches;
        }
    if (fetches == 0)
        return true;
    ULONGLONG available = 0;
    if (!FreeSpaceFor(folder.c_str(), available)) {
        LogError(L"Free space on the volume of %ls cannot be told: %ls", folder.c_str(),
                 SystemErrorText(::GetLastError()).c_str());
        return true;
    }
    if (needed <= available) {
        LogLine(L"Room on the disk for %u files to fetch: %I64u bytes needed, %I64u bytes free on the volume of %ls",
                fetches, needed, available, folder.c_str());
        return true;
    }
    LogError(L"No room on the disk for %u files to fetch: %I64u bytes needed, %I64u bytes free on the volume of %ls",
             fetches, needed, available, folder.c_str());
    failure.detail = NoRoomLine(needed, available);
    return false;
}

