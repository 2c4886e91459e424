// Registry values written with a line in the run log: the value and the line
// when the system takes it, an error line with the system's reason when it
// refuses (here: the key was deleted after it was opened, as an uninstaller
// or a cleaner running beside the setup program would do).
#include "framework/RegistryWrite.h"

#include "framework/Handles.h"
#include "framework/LogFile.h"
#include "framework/SystemErrorText.h"
#include "tests/support/RunLogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Events = std::vector<std::string>;

std::string SystemReason(DWORD error)
{
    std::wstring text = SystemErrorText(error);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return ToUtf8(text);
}

class RegistryWriteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = L"Software\\QXTTest-registry-write-" + std::to_wstring(::GetCurrentProcessId());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
        ASSERT_TRUE(m_key.Create(HKEY_CURRENT_USER, m_path.c_str()));
    }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str()); }

    std::string Where() const { return "Registry write HKCU\\" + ToUtf8(m_path); }

    bool ReadBack(const wchar_t* name, DWORD* type, std::vector<BYTE>* data) const
    {
        qxt::UniqueHkey key;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        if (::RegQueryValueExW(key.Get(), name, nullptr, type, nullptr, &size) != ERROR_SUCCESS)
            return false;
        data->assign(size, 0xCC);
        return ::RegQueryValueExW(key.Get(), name, nullptr, type, data->data(), &size) == ERROR_SUCCESS;
    }

    std::wstring m_path;
    RegistryKey m_key;
};

TEST_F(RegistryWriteTest, AWrittenValueIsLoggedAsWritten)
{
    qxt::test::RunLogCapture log;
    EXPECT_TRUE(WriteRegistryString(m_key, L"Folder", L"C:\\Games\\Quolix 客户端"));
    EXPECT_TRUE(WriteRegistryString(m_key, L"Empty", L""));
    EXPECT_TRUE(WriteRegistryDword(m_key, L"Size", 4294967295u));

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(ReadBack(L"Folder", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    const std::wstring folder = L"C:\\Games\\Quolix 客户端";
    ASSERT_EQ(data.size(), (folder.size() + 1) * sizeof(wchar_t)) << "the text and its NUL";
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), folder);
    ASSERT_TRUE(ReadBack(L"Empty", &type, &data));
    EXPECT_EQ(data.size(), sizeof(wchar_t));
    ASSERT_TRUE(ReadBack(L"Size", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(data.size(), sizeof(DWORD));
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(data.data()), 4294967295u);

    // The log drops the blank the empty value leaves at the end of its line.
    EXPECT_EQ(log.Events(), (Events{Where() + ": Folder = C:\\Games\\Quolix 客户端", Where() + ": Empty =",
                                    Where() + ": Size = 4294967295"}));
}

TEST_F(RegistryWriteTest, AValueTheSystemRefusesIsAnErrorWithItsReason)
{
    // The key goes while it is open: every later write fails.
    ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str()), ERROR_SUCCESS);

    qxt::test::RunLogCapture log;
    const unsigned errorsBefore = LoggedErrorCount();
    EXPECT_FALSE(WriteRegistryString(m_key, L"Folder", L"C:\\Quolix"));
    EXPECT_FALSE(WriteRegistryDword(m_key, L"Size", 7));

    const std::string reason = SystemReason(ERROR_KEY_DELETED);
    EXPECT_EQ(log.Events(), (Events{"error: " + Where() + ": Folder = C:\\Quolix: failed: " + reason,
                                    "error: " + Where() + ": Size = 7: failed: " + reason}));
    EXPECT_EQ(LoggedErrorCount(), errorsBefore + 2);
    EXPECT_EQ(ToUtf8(LastLoggedError()), Where() + ": Size = 7: failed: " + reason);
}

TEST_F(RegistryWriteTest, AKeyThatIsNotOpenWritesNothing)
{
    RegistryKey closed;
    qxt::test::RunLogCapture log;
    EXPECT_FALSE(WriteRegistryString(closed, L"Folder", L"C:\\Quolix"));
    EXPECT_FALSE(WriteRegistryDword(closed, L"Size", 7));
    const Events events = log.Events();
    ASSERT_EQ(events.size(), 2u);
    for (const std::string& event : events)
        EXPECT_EQ(event.rfind("error: Registry write ", 0), 0u) << event;
}

}  // namespace
