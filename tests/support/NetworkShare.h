// A network folder for tests: \\localhost\<name>, served by Wine from the
// prefix's dosdevices\unc\localhost\<name>, so a path without a drive letter
// reaches real files without a file server.
#pragma once

#include <string>

namespace qxt::test {

class NetworkShare {
public:
    // A new, empty share; Path() is empty when it could not be made.
    NetworkShare();
    NetworkShare(const NetworkShare&) = delete;
    NetworkShare& operator=(const NetworkShare&) = delete;
    // Deletes the share with everything in it.
    ~NetworkShare();

    // \\localhost\<name>, without a trailing backslash.
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_backing;  // the same folder by its drive path
    std::wstring m_path;
};

}  // namespace qxt::test
