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
        {"a switch read into the folder", L"D:\\QXTClient /LOG=C:\\x.log", InstallFolderVerdict::InvalidName},
        {"control character", L"C:\\Games\\Quo\tlix", InstallFolderVerdict::InvalidName},
        {"name ending in a dot", L"C:\\Games.\\Quolix", InstallFolderVerdict::InvalidName},
        {"last name ending in a dot", L"C:\\Games\\Quolix.", InstallFolderVerdict::InvalidName},
        {"name ending in a blank", L"C:\\My Games \\Quolix", InstallFolderVerdict::InvalidName},
        {"parent folder", L"C:\\Games\\..\\Quolix", InstallFolderVerdict::InvalidName},
        {"device name", L"C:\\CON", InstallFolderVerdict::InvalidName},
        {"device name in lower case with an extension", L"C:\\Games\\nul.txt\\Quolix",
         InstallFolderVerdict::InvalidName},
        {"device name, blank before the extension", L"C:\\aux .log\\Quolix", InstallFolderVerdict::InvalidName},
        {"printer", L"D:\\prn", InstallFolderVerdict::InvalidName},
        {"serial port", L"C:\\Games\\com1", InstallFolderVerdict::InvalidName},
        {"parallel port with extensions", L"C:\\LPT9.tar.gz", InstallFolderVerdict::InvalidName},
        {"serial port with a superscript digit", L"C:\\COM\u00B9\\Quolix", InstallFolderVerdict::InvalidName},
        {"parallel port with a superscript digit", L"C:\\lpt\u00B3", InstallFolderVerdict::InvalidName},
        {"refused name on a share", L"\\\\server\\share\\a|b", InstallFolderVerdict::InvalidName},
        {"names that only begin like devices", L"C:\\CONSOLE\\COM10\\LPT\\my.con\\nul-x",
         InstallFolderVerdict::Accepted},
        {"leading dot and inner dots", L"C:\\.quolix\\v1.0.2", InstallFolderVerdict::Accepted},
        {"trailing backslash", L"C:\\Games\\Quolix\\", InstallFolderVerdict::Accepted},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckInstallFolder(c.folder), c.verdict) << c.label;
}

TEST(CheckInstallFolder, RefusesEveryCharacterWindowsRefusesAfterTheDrive)
{
    for (const wchar_t c : std::wstring(L"<>:\"/|?*\x01\x1f")) {
        for (const std::wstring& folder : {L"C:\\Games\\Quo" + std::wstring(1, c) + L"lix",
                                           L"C:\\" + std::wstring(1, c), L"\\\\server\\share\\Quo" + std::wstring(1, c)}) {
            EXPECT_EQ(CheckInstallFolder(folder), InstallFolderVerdict::InvalidName)
                << "character " << static_cast<unsigned>(c);
        }
    }
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
