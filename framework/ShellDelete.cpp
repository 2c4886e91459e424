#include "framework/ShellDelete.h"

#include "framework/Unattended.h"

namespace {

constexpr FILEOP_FLAGS kSilentDelete = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;

int Delete(const std::wstring& path, FILEOP_FLAGS flags)
{
    if (path.empty() || path.size() >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    // The shell takes a list of names ended by an empty one: two NULs at the end.
    std::wstring from = path;
    from.push_back(L'\0');

    SHFILEOPSTRUCTW operation{};
    operation.hwnd = nullptr;
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.pTo = nullptr;
    operation.fFlags = flags;
    return ::SHFileOperationW(&operation);
}

}  // namespace

FILEOP_FLAGS ShellDeleteFlags()
{
    return IsUnattended() ? kSilentDelete : FOF_NOCONFIRMATION;
}

int ShellDelete(const std::wstring& path)
{
    return Delete(path, ShellDeleteFlags());
}

int ShellDeleteSilently(const std::wstring& path)
{
    return Delete(path, kSilentDelete);
}
