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

TEST(CheckInstallFolder, OnlyAnAbsoluteFolderIsAnInstallFolder)
{
    static const struct {
        const wchar_t* label;
        const wchar_t* folder;
        bool absolute;
    } cases[] = {
        {L"default folder", L"C:\\Program Files (x86)\\QXTClient", true},
        {L"lower-case drive", L"d:\\Games\\QXTClient", true},
        {L"drive root", L"D:\\", true},
        {L"network share", L"\\\\server\\share\\QXTClient", true},
        {L"network share itself", L"\\\\server\\share", true},
        {L"empty", L"", false},
        {L"blanks", L"   ", false},
        {L"tab", L"\t", false},
        {L"relative", L"QXTClient", false},
        {L"relative with a folder", L"Games\\QXTClient", false},
        {L"root of the current drive", L"\\QXTClient", false},
        {L"drive without backslash", L"C:QXTClient", false},
        {L"drive letter only", L"C:", false},
        {L"forward slash", L"C:/QXTClient", false},
        {L"blank before the drive", L" C:\\QXTClient", false},
        {L"not a letter", L"1:\\QXTClient", false},
        {L"server without share", L"\\\\server", false},
        {L"server and separator only", L"\\\\server\\", false},
        {L"empty server", L"\\\\\\share", false},
        {L"blank share", L"\\\\server\\ \\QXTClient", false},
        {L"device path", L"\\\\?\\C:\\QXTClient", false},
        {L"device namespace", L"\\\\.\\C:\\QXTClient", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsAbsoluteInstallFolder(c.folder), c.absolute) << c.label;
}

}  // namespace
