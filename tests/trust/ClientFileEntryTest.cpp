// The rules for a listed file's name and its MD5 digest: a name is a file of
// the install folder in the one spelling Windows gives it, and a digest is
// 32 hexadecimal digits.
#include "trust/ClientFileEntry.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {

std::string Shown(const wchar_t* name)
{
    std::string shown;
    for (const wchar_t* p = name; *p; ++p)
        shown += *p < 0x80 && *p >= 0x20 ? static_cast<char>(*p) : '#';
    return shown;
}

}  // namespace

// Only whole device names are refused: names that merely begin like one are files.
TEST(ClientFileName, NamesThatOnlyResembleDevicesAreInstallable)
{
    static const wchar_t* const kNames[] = {
        L"console.dll", L"CONFIG.ini", L"COM10", L"com0.bin", L"LPT.txt", L"nul_x.dat",
        L"auxiliary\\prn1.ax", L"plugins\\lpt10.dll", L"Client.txt", L"a.b.c",
        // Only the superscripts one to three make a port number.
        L"COM\u2074", L"lpt\u2070.dll", L"COM\u00B9\u00B9", L"LPT\u00B2x.ax", L"caf\u00E9.dat",
    };
    for (const wchar_t* name : kNames)
        EXPECT_TRUE(IsInstallableName(name)) << Shown(name);
}

// Windows opens COM¹ to COM³ and LPT¹ to LPT³ as ports, and FindFirstFileW
// takes "*", "?", "<", ">" and '"' as a pattern that finds other files.
TEST(ClientFileName, SuperscriptPortsAndPatternsAreRefused)
{
    static const wchar_t* const kNames[] = {
        L"COM\u00B9", L"com\u00B2.dll", L"Lpt\u00B3.txt", L"plugins\\LPT\u00B9", L"COM\u00B3 .log",
        L"*", L"*.dll", L"QXTClient.ex?", L"plugins\\?", L"a<b", L"a>b", L"a\"b", L"line\nbreak", L"nul\u0001",
    };
    for (const wchar_t* name : kNames)
        EXPECT_FALSE(IsInstallableName(name)) << Shown(name);
}

// Windows drops a trailing dot or blank from a component and reads "." and
// an empty component as nothing: each of these is another spelling of a
// file the list may name in its own spelling, so the list may not use them.
TEST(ClientFileName, ASecondSpellingOfANameIsRefused)
{
    static const wchar_t* const kNames[] = {
        L"./Codec.ax", L".\\Codec.ax", L"plugins/./np.dll", L"a//b", L"a\\\\b", L"a/\\b", L"plugins\\",
        L"plugins/", L"Codec.ax.", L"Codec.ax ", L"Codec.ax. .", L"plugins.\\np.dll", L"plugins \\np.dll",
        L".", L"..", L"...", L".. ", L" ",
    };
    for (const wchar_t* name : kNames)
        EXPECT_FALSE(IsInstallableName(name)) << Shown(name);
    // A dot or blank inside a component is part of the name.
    static const wchar_t* const kFine[] = {L".hidden", L"a b.dll", L"plugins\\.np.dll", L"..hidden", L" lead.bin"};
    for (const wchar_t* name : kFine)
        EXPECT_TRUE(IsInstallableName(name)) << Shown(name);
}

TEST(ManifestDigest, IsExactly32HexadecimalDigitsInEitherCase)
{
    static const struct {
        const wchar_t* digest;
        bool valid;
    } kCases[] = {
        {L"0123456789ABCDEF0123456789ABCDEF", true},
        {L"0123456789abcdef0123456789abcdef", true},
        {L"0123456789aBcDeF0123456789AbCdEf", true},
        {L"", false},
        {L"0123456789ABCDEF0123456789ABCDE", false},
        {L"0123456789ABCDEF0123456789ABCDEF0", false},
        {L"0123456789ABCDEG0123456789ABCDEF", false},
        {L"0x23456789ABCDEF0123456789ABCDEF", false},
        {L" 123456789ABCDEF0123456789ABCDEF", false},
        {L"0123456789ABCDEF|123456789ABCDEF", false},
        // Full-width digits and letters are no hexadecimal digits.
        {L"\uFF10123456789ABCDEF0123456789ABCDEF", false},
        {L"0123456789\uFF21BCDEF0123456789ABCDEF", false},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(IsManifestDigest(c.digest), c.valid) << std::string(c.digest, c.digest + wcslen(c.digest));
    }
}
