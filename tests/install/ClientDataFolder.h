// The client's per-user data folder of the test prefix (roaming application
// data, then Tarvenn\Quolix), removed before and after a test that uses it.
#pragma once

#include <string>

namespace qxt::test {

class ClientDataFolder {
public:
    ClientDataFolder();
    ClientDataFolder(const ClientDataFolder&) = delete;
    ClientDataFolder& operator=(const ClientDataFolder&) = delete;
    ~ClientDataFolder();

    static std::wstring AppData();
    // AppData()\Tarvenn
    std::wstring Company() const { return AppData() + L"\\Tarvenn"; }
    // AppData()\Tarvenn\Quolix\ (with the backslash)
    std::wstring Path() const { return Company() + L"\\Quolix\\"; }

private:
    void Remove();
    std::wstring m_currentFolder;
};

}  // namespace qxt::test
