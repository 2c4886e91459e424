#include "framework/StdioFile.h"

BOOL CStdioFile::Open(const wchar_t* path, UINT openFlags)
{
    m_nLength = 0;
    m_nPosition = 0;
    m_bFailed = false;
    return CFile::Open(path, openFlags & ~static_cast<UINT>(typeText));
}

BOOL CStdioFile::ReadString(std::wstring& line)
{
    line.clear();
    bool any = false;
    for (;;) {
        if (m_nPosition == m_nLength) {
            m_nPosition = 0;
            if (!Read(m_buffer, sizeof m_buffer, m_nLength)) {
                m_nLength = 0;
                m_bFailed = true;
                return FALSE;
            }
            if (m_nLength == 0)
                return any;
        }
        any = true;
        const unsigned char c = static_cast<unsigned char>(m_buffer[m_nPosition++]);
        if (c == '\n')
            return TRUE;
        line.push_back(static_cast<wchar_t>(c));
    }
}
