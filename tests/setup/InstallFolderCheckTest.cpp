#include "setup/InstallFolderCheck.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CheckInstallFolder, AcceptsOnlyFullPathsThatFitTheRecord)
{
    static const struct {
        const char* label;
        std::wstring folder;
        InstallFolderVerdict verdict;
    } cases[] = {
        {"default folder", L"C:\\Program Files (x86)\\QXTClient", InstallFolderVerdict::Accepted},
        {"spaces inside", L"D:\\My Games\\Quolix", InstallFolderVerdict::Accepted},
        {"drive root", L"D:\\", InstallFolderVerdict::Accepted},
        {"network share", L"\\\\server\\share\\Quolix", InstallFolderVerdict::Accepted},
        {"empty", L"", InstallFolderVerdict::Empty},
        {"blanks", L"  \t", InstallFolderVerdict::Empty},
        {"relative", L"Quolix", InstallFolderVerdict::NotAbsolute},
        {"drive-relative", L"C:Quolix", InstallFolderVerdict::NotAbsolute},
        {"rooted without drive", L"\\Quolix", InstallFolderVerdict::NotAbsolute},
        {"too long", L"C:\\" + std::wstring(250, L'q'), InstallFolderVerdict::TooLong},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckInstallFolder(c.folder), c.verdict) << c.label;
}

}  // namespace
