#include "framework/ExecutableName.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FileBaseName, DropsTheFolderAndTheLastExtensionOnly)
{
    static const struct {
        const wchar_t* path;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\Program Files\\QXTSetup.exe", L"QXTSetup"},
        {L"C:/mixed\\slashes/Setup.exe", L"Setup"},
        {L"C:\\a.b\\setup.2.0.exe", L"setup.2.0"},
        {L"C:\\a.b\\noextension", L"noextension"},
        {L"setup.exe", L"setup"},
        {L"C:\\folder\\.exe", L".exe"},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileBaseName(c.path), c.expected) << testing::PrintToString(std::wstring(c.path));
}

TEST(ExecutableBaseName, IsTheRunningProgramsName)
{
    EXPECT_EQ(ExecutableBaseName(), L"system_helpers_tests");
}

}  // namespace
