// The real QXTSetup.exe keyed with a publisher's key (keyed_setup_e2e.sh),
// run silently against the reference nginx server: a good signed list
// installs the client and its version is kept; a tampered file, a tampered
// list, another signer's list, an older list, an expired list, a server
// without a signed list and a file longer than listed each end with their own
// exit code, the refusal in the log and nothing installed or started.
#include "core/ProductNames.h"
#include "core/SetupMessages.h"
#include "framework/LogFile.h"
#include "setup/InstallLocation.h"
#include "tests/support/TestPaths.h"
#include "tests/support/UiDriver.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <string>

using namespace qxt::test;

namespace {

constexpr DWORD kRunTimeoutMs = 120000;

std::wstring Env(const char* name)
{
    const char* value = std::getenv(name);
    std::wstring wide;
    for (const char* p = value ? value : ""; *p; ++p)
        wide.push_back(static_cast<unsigned char>(*p));
    return wide;
}

ULONGLONG StoredVersion(bool& present)
{
    ULONGLONG version = 0;
    DWORD size = sizeof version;
    present = ::RegGetValueW(HKEY_LOCAL_MACHINE, kProductKey, kAcceptedListVersionValue, RRF_RT_REG_QWORD, nullptr,
                             &version, &size) == ERROR_SUCCESS;
    return version;
}

void StoreVersion(ULONGLONG version)
{
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, kAcceptedListVersionValue, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&version),
                     sizeof version);
    ::RegCloseKey(key);
}

class KeyedSetup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(Env("QXT_KEYED_EXE").empty()) << "run through keyed_setup_e2e.sh";
        m_folder = GetDefaultInstallPath(nullptr);
        m_list = Env("QXT_SITE") + L"\\manifest\\dotnet0\\Client.signed";
        m_readme = Env("QXT_SITE") + L"\\files\\readme.txt";
        m_savedList = ReadFileBytes(m_list);
        m_savedReadme = ReadFileBytes(m_readme);
        ASSERT_FALSE(m_savedList.empty());
        m_version = std::strtoull(std::getenv("QXT_LIST_VERSION"), nullptr, 10);
        ResetMachine();
    }

    void TearDown() override
    {
        // The publication as the script made it, for the next test.
        WriteFileBytes(m_list, m_savedList);
        WriteFileBytes(m_readme, m_savedReadme);
        ResetMachine();
    }

    void ResetMachine()
    {
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallEntryKey);
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kProductKey, kAcceptedListVersionValue);
        DeleteTree(m_folder);
    }

    // Runs the program silently to its end; its exit code. The log is kept
    // next to the screenshots under the test's name.
    DWORD RunSilent(const std::wstring& exe, const std::string& logName)
    {
        m_log = Env("QXT_LOGS") + L"\\keyed-" + std::wstring(logName.begin(), logName.end()) + L".log";
        ::DeleteFileW(m_log.c_str());
        ProgramRun program;
        EXPECT_TRUE(program.Start(exe, L"/S /NOLAUNCH \"/LOG=" + m_log + L"\""));
        DWORD code = 0xdeadbeef;
        EXPECT_TRUE(WaitUntil([&] { return program.WaitForExit(0, &code); }, kRunTimeoutMs)) << "no end";
        return code;
    }

    std::string Log() const { return ReadFileBytes(m_log); }
    std::wstring Local(const wchar_t* name) const { return m_folder + L"\\" + name; }
    bool Exists(const std::wstring& path) const { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    bool Installed() const
    {
        HKEY key = nullptr;
        const bool entry = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallEntryKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (key)
            ::RegCloseKey(key);
        return entry;
    }

    std::wstring m_folder;
    std::wstring m_list;
    std::wstring m_readme;
    std::wstring m_log;
    std::string m_savedList;
    std::string m_savedReadme;
    ULONGLONG m_version = 0;
};

TEST_F(KeyedSetup, InstallsFromTheSignedListAndKeepsItsVersion)
{
    ASSERT_EQ(RunSilent(Env("QXT_KEYED_EXE"), "good"), 0u) << Log();
    EXPECT_TRUE(Installed());
    EXPECT_EQ(ReadFileBytes(Local(L"readme.txt")), m_savedReadme);
    EXPECT_TRUE(Exists(Local(L"installers.log"))) << "the stand-in installers ran";
    bool present = false;
    EXPECT_EQ(StoredVersion(present), m_version);
    EXPECT_TRUE(present);
    const std::string log = Log();
    EXPECT_NE(log.find("Signed file list: version " + std::to_string(m_version)), std::string::npos) << log;
    EXPECT_NE(log.find("signature good by the publisher's key"), std::string::npos) << log;
    EXPECT_EQ(log.find("filename=files&dotnet=0: status"), std::string::npos) << "the plain list was asked for";
}

TEST_F(KeyedSetup, EachSpoiledPublicationIsRefusedWithItsCodeAndNothingInstalled)
{
    const auto flipDigit = [](std::string& text, size_t at) { text[at] = text[at] == '0' ? '1' : '0'; };
    const struct {
        const char* label;
        std::function<void()> spoil;
        SetupResult code;
        const char* logged;
    } cases[] = {
        {"tampered-file",
         [&] {
             std::string bytes = m_savedReadme;
             bytes[0] ^= 0x20;
             WriteFileBytes(m_readme, bytes);
         },
         SETUP_ERR_FILE_MISMATCH, "File refused: file: expected SHA-256 "},
        {"longer-file", [&] { WriteFileBytes(m_readme, m_savedReadme + "more"); }, SETUP_ERR_FILE_MISMATCH,
         "bytes listed for readme.txt, received "},
        {"tampered-list",
         [&] {
             std::string list = m_savedList;
             flipDigit(list, list.find(" readme.txt\n") - 1);
             WriteFileBytes(m_list, list);
         },
         SETUP_ERR_BAD_SIGNATURE, "Signed file list refused: signature: expected a signature by the publisher's key"},
        {"other-key", [&] { WriteFileBytes(m_list, ReadFileBytes(Env("QXT_VARIANTS") + L"\\other-key.signed")); },
         SETUP_ERR_BAD_SIGNATURE, "Signed file list refused: signature: "},
        {"older", [&] { StoreVersion(m_version + 1); }, SETUP_ERR_OLDER_LIST,
         "Signed file list refused: version: expected version "},
        {"expired", [&] { WriteFileBytes(m_list, ReadFileBytes(Env("QXT_VARIANTS") + L"\\expired.signed")); },
         SETUP_ERR_EXPIRED_LIST, "Signed file list refused: expiry: expected a list that expires after "},
        {"no-signed-list", [&] { ::DeleteFileW(m_list.c_str()); }, SETUP_ERR_NO_SIGNED_LIST,
         "Signed file list refused: signed list: expected a signed file list at "},
        {"plain-list-as-signed", [&] { WriteFileBytes(m_list, ReadFileBytes(Env("QXT_VARIANTS") + L"\\Client.txt")); },
         SETUP_ERR_DAMAGED_LIST, "Signed file list refused: format: expected line 10: signature followed by 128 lower-case hexadecimal digits"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ResetMachine();
        c.spoil();
        const DWORD code = RunSilent(Env("QXT_KEYED_EXE"), c.label);
        WriteFileBytes(m_list, m_savedList);
        WriteFileBytes(m_readme, m_savedReadme);

        EXPECT_EQ(code, static_cast<DWORD>(c.code)) << Log();
        const std::string log = Log();
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        EXPECT_NE(log.find("(exit code " + std::to_string(c.code) + ")"), std::string::npos) << log;
        EXPECT_FALSE(Installed());
        EXPECT_FALSE(Exists(Local(L"installers.log"))) << "an installer was started";
        EXPECT_FALSE(Exists(Local(L"readme.txt")));
        bool present = false;
        const ULONGLONG stored = StoredVersion(present);
        if (std::string(c.label) == "older")
            EXPECT_EQ(stored, m_version + 1) << "a refused run leaves the stored version alone";
        else
            EXPECT_FALSE(present) << "a refused run keeps no version";
    }
}

TEST_F(KeyedSetup, AnUnkeyedProgramUsesTheSignedListAndKeepsNoVersion)
{
    ASSERT_EQ(RunSilent(Env("QXT_UNKEYED_EXE"), "unkeyed"), 0u) << Log();
    EXPECT_TRUE(Installed());
    EXPECT_EQ(ReadFileBytes(Local(L"readme.txt")), m_savedReadme);
    bool present = false;
    StoredVersion(present);
    EXPECT_FALSE(present);
    EXPECT_NE(Log().find("signature not checked (the program carries no key)"), std::string::npos) << Log();

    // Without a signed list it is today's program: the plain list.
    ResetMachine();
    ::DeleteFileW(m_list.c_str());
    ASSERT_EQ(RunSilent(Env("QXT_UNKEYED_EXE"), "unkeyed-plain"), 0u) << Log();
    EXPECT_TRUE(Installed());
    EXPECT_NE(Log().find("filename=files&dotnet=0: status 200"), std::string::npos) << Log();
    EXPECT_NE(Log().find("filename=files&dotnet=0&signed=1: status 404"), std::string::npos) << Log();
}

// Stamped with two servers, the first of which refuses connections: after
// its retries the second serves the list and every file, checked against the
// same key, and the client is configured with it.
TEST_F(KeyedSetup, WhenTheFirstServerRefusesConnectionsTheSecondServesTheRun)
{
    ASSERT_EQ(RunSilent(Env("QXT_TWO_HOSTS_EXE"), "two-hosts"), 0u) << Log();
    EXPECT_TRUE(Installed());
    EXPECT_EQ(ReadFileBytes(Local(L"readme.txt")), m_savedReadme);
    const std::string closed = ToUtf8(Env("QXT_CLOSED_HOST"));
    const std::string server = ToUtf8(Env("QXT_SERVER_HOST"));
    const std::string log = Log();
    EXPECT_NE(log.find("Server host: " + closed + "," + server + " (from the executable's trailer)"),
              std::string::npos) << log;
    EXPECT_NE(log.find("GET http://" + closed + "/Custom/DownloadClient?filename=files&dotnet=0&signed=1 (retry 3/3)"),
              std::string::npos) << log;
    EXPECT_NE(log.find("Server host " + closed + " failed; the rest of the run uses " + server + " (server 2 of 2)"),
              std::string::npos) << log;
    EXPECT_NE(log.find("GET http://" + server + "/Custom/DownloadClient?filename=readme.txt: status 200"),
              std::string::npos) << log;
    EXPECT_EQ(log.find("GET http://" + closed + "/Custom/DownloadClient?filename=readme.txt"), std::string::npos)
        << "a failed server is left for the rest of the run";
    EXPECT_NE(log.find("signature good by the publisher's key"), std::string::npos) << log;
    const std::string ini = ReadFileBytes(Local(kClientConfigFile));
    EXPECT_NE(ini.find("HOST=" + server + "\r\n"), std::string::npos) << ini;
    EXPECT_EQ(ini.find(closed), std::string::npos) << ini;
}

}  // namespace
