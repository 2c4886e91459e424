// A registry key opened to the installers and put back, on scratch keys under
// HKLM of the test prefix: what Everyone may do meanwhile, where the owner and
// access list wait for the next run, and that owner and access list come back
// whatever was done to them while the key was open.
#include "install/InstallerKeyAccess.h"

#include "core/ProductNames.h"
#include "framework/Handles.h"
#include "framework/LogFile.h"
#include "tests/install/KeyDescriptor.h"
#include "tests/install/RegistryValues.h"
#include "tests/support/RunLogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using qxt::test::Entry;
using qxt::test::EveryoneEntries;
using qxt::test::OwnerAndAccess;
using qxt::test::RegistryValue;
using qxt::test::RunLogCapture;
using qxt::test::SetDescriptor;

namespace {

class InstallerKeyAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_saved.ExistedBefore()) << "the prefix holds saved access lists of another run";
        for (int i = 0; i < 2; ++i) {
            m_paths[i] = L"SOFTWARE\\QxtTestKeyAccess" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                         std::to_wstring(i);
            m_names[i] = L"MACHINE\\" + m_paths[i] + L"\\";
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_paths[i].c_str());
            qxt::UniqueHkey key;
            ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_paths[i].c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                        key.Put(), nullptr),
                      ERROR_SUCCESS);
            // Owned by the administrators, readable by the users: no entry for Everyone.
            ASSERT_TRUE(SetDescriptor(m_names[i], OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                      L"O:BAD:(A;;KA;;;BA)(A;CIIO;GR;;;BU)"));
            m_original[i] = OwnerAndAccess(m_names[i]);
            ASSERT_EQ(EveryoneEntries(m_original[i]).size(), 0u) << testing::PrintToString(m_original[i]);
        }
    }
    void TearDown() override
    {
        // Only keys SetUp got as far as naming: an empty path would be HKLM itself.
        for (const std::wstring& path : m_paths) {
            if (!path.empty())
                ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
        }
    }

    RegistryValue Saved(int i) const { return qxt::test::ReadValue(HKEY_LOCAL_MACHINE, kSavedKeyAccessKey, m_names[i]); }

    qxt::test::ScratchKey m_saved{HKEY_LOCAL_MACHINE, kSavedKeyAccessKey};
    std::wstring m_paths[2];
    std::wstring m_names[2];
    std::wstring m_original[2];
};

TEST_F(InstallerKeyAccessTest, EveryoneMayWriteButNeverChangeTheOwnerOrAccessList)
{
    RunLogCapture log;
    ASSERT_TRUE(GrantInstallerKeyAccess(m_names[0].c_str()));

    const std::wstring open = OwnerAndAccess(m_names[0]);
    // Read, write, create sub-keys, delete; inherited by the sub-keys.
    const std::vector<Entry> expected = {{KEY_READ | KEY_WRITE | DELETE, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE}};
    EXPECT_EQ(EveryoneEntries(open), expected);
    for (const Entry& entry : EveryoneEntries(open))
        EXPECT_EQ(entry.mask & (WRITE_DAC | WRITE_OWNER), 0u);
    // The entries that were there stay.
    for (const wchar_t* kept : {L"(A;;KA;;;BA)", L"(A;CIIO;GR;;;BU)"})
        EXPECT_NE(open.find(kept), std::wstring::npos) << testing::PrintToString(open);
    // The owner and access list wait where the next run finds them.
    EXPECT_EQ(Saved(0), RegistryValue::String(m_original[0]));
    EXPECT_EQ(log.EventsStartingWith("error: "), std::vector<std::string>{});

    EXPECT_TRUE(RestoreInstallerKeyAccess(m_names[0].c_str()));
    EXPECT_EQ(OwnerAndAccess(m_names[0]), m_original[0]);
    EXPECT_FALSE(Saved(0).exists);
    EXPECT_EQ(log.EventsStartingWith("Access list of " + ToUtf8(m_names[0]) + ": put back: ").size(), 1u);
}

// An installer that takes the key over (another owner, its own access list)
// while it is open: both come back.
TEST_F(InstallerKeyAccessTest, TheOwnerAndAccessListComeBackWhateverWasDoneToThem)
{
    ASSERT_TRUE(GrantInstallerKeyAccess(m_names[0].c_str()));
    ASSERT_TRUE(SetDescriptor(m_names[0], OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              L"O:SYD:(A;OICI;KA;;;WD)"));
    ASSERT_NE(OwnerAndAccess(m_names[0]), m_original[0]);
    ASSERT_EQ(OwnerAndAccess(m_names[0]).rfind(L"O:SY", 0), 0u) << "the test could not change the owner";

    RunLogCapture log;
    EXPECT_TRUE(RestoreInstallerKeyAccess(m_names[0].c_str()));

    EXPECT_EQ(OwnerAndAccess(m_names[0]), m_original[0]);
    EXPECT_FALSE(Saved(0).exists);
    EXPECT_EQ(log.EventsStartingWith("error: "), std::vector<std::string>{});
}

// A run that did not end (killed while its installers ran) leaves the keys
// open and their descriptors saved. The next run puts every one back; a grant
// before that keeps the saved original instead of saving the opened list.
TEST_F(InstallerKeyAccessTest, KeysLeftOpenByARunThatDidNotEndArePutBackByTheNext)
{
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(GrantInstallerKeyAccess(m_names[i].c_str()));
    ASSERT_TRUE(GrantInstallerKeyAccess(m_names[0].c_str()));  // once more, as a later run would
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(Saved(i), RegistryValue::String(m_original[i])) << i;
        ASSERT_EQ(EveryoneEntries(OwnerAndAccess(m_names[i])).size(), 1u) << i;
    }

    RunLogCapture log;
    EXPECT_TRUE(RestoreLeftInstallerKeyAccess());

    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(OwnerAndAccess(m_names[i]), m_original[i]) << i;
        EXPECT_FALSE(Saved(i).exists) << i;
        EXPECT_EQ(log.EventsStartingWith("Access list of " + ToUtf8(m_names[i]) + ": left open by a run that did not end")
                      .size(),
                  1u);
    }
    EXPECT_EQ(qxt::test::ValueNames(HKEY_LOCAL_MACHINE, kSavedKeyAccessKey), std::vector<std::wstring>{});
    // Nothing left: nothing to do, nothing logged.
    const size_t logged = log.Events().size();
    EXPECT_TRUE(RestoreLeftInstallerKeyAccess());
    EXPECT_EQ(log.Events().size(), logged);
}

// A key whose access list cannot be set back (here it is gone) is an error in
// the log, never "put back", and its saved descriptor stays for the next run.
TEST_F(InstallerKeyAccessTest, AnAccessListThatCannotBePutBackIsAnErrorAndStaysSaved)
{
    ASSERT_TRUE(GrantInstallerKeyAccess(m_names[0].c_str()));
    ASSERT_EQ(::RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_paths[0].c_str()), ERROR_SUCCESS);

    RunLogCapture log;
    EXPECT_FALSE(RestoreInstallerKeyAccess(m_names[0].c_str()));

    const std::vector<std::string> errors = log.EventsStartingWith("error: ");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("error: Access list of " + ToUtf8(m_names[0]) + ": not put back (", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find("expected " + ToUtf8(m_original[0])), std::string::npos) << errors[0];
    EXPECT_EQ(log.EventsStartingWith("Access list of " + ToUtf8(m_names[0]) + ": put back").size(), 0u);
    EXPECT_EQ(Saved(0), RegistryValue::String(m_original[0]));
}

// A key that cannot be read is not opened, and nothing is saved for it.
TEST_F(InstallerKeyAccessTest, AKeyThatCannotBeReadIsNotOpened)
{
    const std::wstring missing = L"MACHINE\\SOFTWARE\\QxtTestNoSuchKey\\";
    RunLogCapture log;
    EXPECT_FALSE(GrantInstallerKeyAccess(missing.c_str()));
    EXPECT_EQ(log.EventsStartingWith("error: Access list of " + ToUtf8(missing) + ": cannot be read: ").size(), 1u);
    EXPECT_FALSE(qxt::test::ReadValue(HKEY_LOCAL_MACHINE, kSavedKeyAccessKey, missing).exists);
    EXPECT_TRUE(RestoreInstallerKeyAccess(missing.c_str())) << "nothing was saved, so nothing is to put back";
}

}  // namespace
