#include "framework/ShellDelete.h"

#include <windows.h>
#include <shellapi.h>

namespace {

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

int ShellDelete(const std::wstring& path)
{
    return Delete(path, FOF_NOCONFIRMATION);
}

int ShellDeleteSilently(const std::wstring& path)
{
    return Delete(path, FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT);
}
