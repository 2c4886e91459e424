// Where a test finds the build's helper programs and a scratch folder of its own.
#pragma once

#include <string>

namespace qxt::test {

// Windows path of a helper program built under <build>/helpers (for example
// L"exitcode.exe"), taken from the test program's own location.
std::wstring HelperPath(const std::wstring& fileName);

// Folder of the running test program.
std::wstring ProgramFolder();

// A new, empty folder under the Windows temporary folder, deleted with
// everything in it when the object goes away.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::wstring& Path() const { return m_path; }
    // Path of a name inside the folder.
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

// Deletes a file, or a folder with everything in it (read-only files too),
// without any window of the shell. What is missing is no error.
void DeleteTree(const std::wstring& path);

// Writes bytes to a file (creating or truncating it); true on success.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Reads a whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);

}  // namespace qxt::test
