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

[[noreturn]] void ThrowLastError()
{
    throw CFileException(::GetLastError());
}

}  // namespace

BOOL CFile::Open(const wchar_t* path, UINT openFlags)
{
    Close();
    m_file.Reset(::CreateFileW(path, AccessFor(openFlags), ShareFor(openFlags), nullptr,
                               DispositionFor(openFlags), FILE_ATTRIBUTE_NORMAL, nullptr));
    return m_file ? TRUE : FALSE;
}

UINT CFile::Read(void* buffer, UINT count)
{
    if (count == 0)
        return 0;
    DWORD got = 0;
    if (!::ReadFile(m_file.Get(), buffer, count, &got, nullptr))
        ThrowLastError();
    return got;
}

void CFile::Write(const void* buffer, UINT count)
{
    if (count == 0)
        return;
    DWORD written = 0;
    if (!::WriteFile(m_file.Get(), buffer, count, &written, nullptr))
        ThrowLastError();
    // A short write on a file means the volume is full.
    if (written != count)
        throw CFileException(ERROR_DISK_FULL);
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from)
{
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    if (!::SetFilePointerEx(m_file.Get(), distance, &position, from))
        ThrowLastError();
    return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetLength() const
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(m_file.Get(), &size))
        ThrowLastError();
    return static_cast<ULONGLONG>(size.QuadPart);
}

void CFile::Flush()
{
    if (m_file && !::FlushFileBuffers(m_file.Get()))
        ThrowLastError();
}

void CFile::Close()
{
    m_file.Reset();
}
