#include "framework/ShellDelete.h"

#include <windows.h>
#include <shellapi.h>

int ShellDelete(const std::wstring& path)
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
    operation.fFlags = FOF_NOCONFIRMATION;
    return ::SHFileOperationW(&operation);
}
