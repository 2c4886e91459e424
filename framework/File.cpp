#include "framework/File.h"

namespace {

DWORD AccessFor(UINT flags)
{
    switch (flags & 0x3) {
    case CFile::modeWrite:
        return GENERIC_WRITE;
    case CFile::modeReadWrite:
        return GENERIC_READ | GENERIC_WRITE;
    default:
        return GENERIC_READ;
    }
}

DWORD ShareFor(UINT flags)
{
    switch (flags & 0x70) {
    case CFile::shareDenyWrite:
        return FILE_SHARE_READ;
    case CFile::shareDenyRead:
        return FILE_SHARE_WRITE;
    case CFile::shareDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:  // shareExclusive, or no share flag at all
        return 0;
    }
}

DWORD DispositionFor(UINT flags)
{
    if (flags & CFile::modeCreate)
        return (flags & CFile::modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    return OPEN_EXISTING;
}

}  // namespace

BOOL CFile::Open(const wchar_t* path, UINT openFlags)
{
    Close();
    m_file.Reset(::CreateFileW(path, AccessFor(openFlags), ShareFor(openFlags), nullptr,
                               DispositionFor(openFlags), FILE_ATTRIBUTE_NORMAL, nullptr));
    return m_file ? TRUE : FALSE;
}

BOOL CFile::Read(void* buffer, UINT count, UINT& got)
{
    got = 0;
    if (count == 0)
        return TRUE;
    DWORD read = 0;
    if (!::ReadFile(m_file.Get(), buffer, count, &read, nullptr))
        return FALSE;
    got = read;
    return TRUE;
}

BOOL CFile::Write(const void* buffer, UINT count)
{
    if (count == 0)
        return TRUE;
    DWORD written = 0;
    if (!::WriteFile(m_file.Get(), buffer, count, &written, nullptr))
        return FALSE;
    // A short write on a file means the volume is full.
    if (written != count) {
        ::SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return TRUE;
}

BOOL CFile::Seek(LONGLONG offset, UINT from, ULONGLONG* position)
{
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER moved{};
    if (!::SetFilePointerEx(m_file.Get(), distance, &moved, from))
        return FALSE;
    if (position)
        *position = static_cast<ULONGLONG>(moved.QuadPart);
    return TRUE;
}

BOOL CFile::GetLength(ULONGLONG& length) const
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(m_file.Get(), &size))
        return FALSE;
    length = static_cast<ULONGLONG>(size.QuadPart);
    return TRUE;
}

BOOL CFile::Flush()
{
    // A closed file has nothing to flush.
    return !m_file || ::FlushFileBuffers(m_file.Get());
}

void CFile::Close()
{
    m_file.Reset();
}
