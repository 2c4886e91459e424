#include "app/InstallInfo.h"

#include <gtest/gtest.h>

namespace {

TEST(InstallFilePath, AddsOneBackslashOnlyWhenMissing)
{
    static const struct {
        const wchar_t* label;
        const wchar_t* location;
        const wchar_t* expected;
    } cases[] = {
        {L"plain folder", L"C:\\Program Files\\QXTClient", L"C:\\Program Files\\QXTClient\\QXTClient.exe"},
        {L"trailing backslash", L"C:\\Program Files\\QXTClient\\", L"C:\\Program Files\\QXTClient\\QXTClient.exe"},
        {L"drive root", L"D:\\", L"D:\\QXTClient.exe"},
        {L"empty", L"", L"\\QXTClient.exe"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InstallFilePath(std::wstring(c.location), L"QXTClient.exe"), c.expected) << c.label;
}

}  // namespace
