#include "tests/install/InstallerFolder.h"

#include <windows.h>

namespace qxt::test {

std::wstring FromUtf8(const std::string& bytes)
{
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

InstallerFolder::InstallerFolder() : m_path(m_dir / L"Quolix Client")
{
    ::CreateDirectoryW(m_path.c_str(), nullptr);
}

InstallInfo InstallerFolder::Record() const
{
    InstallInfo info;
    FillInstallInfo(info, m_path);
    return info;
}

bool InstallerFolder::AddProgram(const std::wstring& name)
{
    return ::CopyFileW(HelperPath(L"fakeinstaller.exe").c_str(), (*this / name).c_str(), FALSE) != FALSE;
}

void InstallerFolder::Set(const std::wstring& name, const std::wstring& key, const std::wstring& value)
{
    ::WritePrivateProfileStringW(name.c_str(), key.c_str(), value.c_str(), (*this / L"installers.ini").c_str());
}

std::vector<InstallerRun> InstallerFolder::Runs() const
{
    std::vector<InstallerRun> runs;
    const std::wstring text = FromUtf8(ReadFileBytes(*this / L"installers.log"));
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find(L'\n', begin);
        if (end == std::wstring::npos)
            end = text.size();
        std::vector<std::wstring> fields;
        const std::wstring line = text.substr(begin, end - begin);
        for (size_t from = 0;;) {
            const size_t bar = line.find(L'|', from);
            fields.push_back(line.substr(from, bar == std::wstring::npos ? std::wstring::npos : bar - from));
            if (bar == std::wstring::npos)
                break;
            from = bar + 1;
        }
        fields.resize(4);
        runs.push_back({fields[0], fields[1], fields[2], fields[3]});
        begin = end + 1;
    }
    return runs;
}

std::vector<std::wstring> InstallerFolder::RunNames() const
{
    std::vector<std::wstring> names;
    for (const auto& run : Runs())
        names.push_back(run.name);
    return names;
}

void InstallerFolder::ClearRuns()
{
    ::DeleteFileW((*this / L"installers.log").c_str());
}

}  // namespace qxt::test
