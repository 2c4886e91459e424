// CFile: a binary file over a Win32 handle, with the open flags the program
// relies on. Every operation reports failure by its return value (FALSE) and
// leaves the reason in GetLastError(); nothing here throws.
#pragma once

#include "framework/Handles.h"

#include <windows.h>

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoTruncate = 0x1000,
        modeCreate = 0x2000,
        typeBinary = 0x8000,
    };
    enum SeekPosition { begin = FILE_BEGIN, current = FILE_CURRENT, end = FILE_END };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile() = default;

    // Without a share flag the file is opened for this handle alone (no sharing).
    BOOL Open(const wchar_t* path, UINT openFlags);
    // Up to count bytes into got; got is 0 at the end of the file.
    BOOL Read(void* buffer, UINT count, UINT& got);
    // All count bytes or FALSE; a short write fails with ERROR_DISK_FULL.
    BOOL Write(const void* buffer, UINT count);
    // The new position goes to *position when asked for.
    BOOL Seek(LONGLONG offset, UINT from, ULONGLONG* position = nullptr);
    BOOL GetLength(ULONGLONG& length) const;
    BOOL Flush();
    void Close();
    HANDLE Handle() const { return m_file.Get(); }

private:
    qxt::UniqueFileHandle m_file;
};
