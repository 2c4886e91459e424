// An install folder for the tests of the installation steps: a folder with a
// blank in its name that holds copies of fakeinstaller.exe under the names of
// the real installers, their settings file and the log of their runs (see
// tests/helpers/FakeInstaller.cpp).
#pragma once

#include "core/InstallInfo.h"
#include "tests/support/TestPaths.h"

#include <string>
#include <vector>

namespace qxt::test {

struct InstallerRun {
    std::wstring name;        // the program's file name
    std::wstring parameters;  // its command line after the program
    std::wstring currentFolder;
    std::wstring acl;         // with RecordAcl=1: the IE MAIN key's access list as SDDL
};

class InstallerFolder {
public:
    InstallerFolder();

    // The folder, without a trailing backslash.
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

    // A record for this folder, as FillInstallInfo makes it.
    InstallInfo Record() const;

    // Copies fakeinstaller.exe into the folder as `name`.
    bool AddProgram(const std::wstring& name);
    // One setting of the program's section of installers.ini.
    void Set(const std::wstring& name, const std::wstring& key, const std::wstring& value);
    // Exit codes of the program's successive runs.
    void SetExitCodes(const std::wstring& name, const std::wstring& codes) { Set(name, L"ExitCodes", codes); }

    // Every run logged so far, in order.
    std::vector<InstallerRun> Runs() const;
    std::vector<std::wstring> RunNames() const;
    void ClearRuns();

private:
    TempDir m_dir;
    std::wstring m_path;
};

std::wstring FromUtf8(const std::string& bytes);

}  // namespace qxt::test
