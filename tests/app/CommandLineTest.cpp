#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Expected {
    bool silent = false;
    bool help = false;
    bool noLaunch = false;
    bool noAutorun = false;
    bool noDesktop = false;
    bool noGroup = false;
    const wchar_t* folder = nullptr;  // nullptr: no /D=
    const wchar_t* logPath = nullptr;  // nullptr: no /LOG=
    const wchar_t* unknown = L"";      // every unknown argument, each followed by "|"
    const wchar_t* proxy = nullptr;    // nullptr: no /PROXY=
    const wchar_t* proxyUser = nullptr;
    const wchar_t* proxyPassword = nullptr;
};

TEST(ParseCommandLine, ReadsEverySwitchAsUsersWriteIt)
{
    static const struct {
        const char* label;
        const wchar_t* arguments;
        Expected expected;
    } cases[] = {
        {"nothing", L"", {}},
        {"blanks only", L"  \t ", {}},
        {"silent", L"/S", {.silent = true}},
        {"silent, lower case", L"/s", {.silent = true}},
        {"help", L"/?", {.help = true}},
        {"finish switches in any case", L"/nolaunch /NoAutorun /NODESKTOP /nogroup",
         {.noLaunch = true, .noAutorun = true, .noDesktop = true, .noGroup = true}},
        {"folder without spaces", L"/S /D=C:\\Games\\Quolix", {.silent = true, .folder = L"C:\\Games\\Quolix"}},
        {"quoted folder with spaces before other switches", L"\"/D=C:\\My Games\\Quolix\" /S /NOLAUNCH",
         {.silent = true, .noLaunch = true, .folder = L"C:\\My Games\\Quolix"}},
        {"unquoted folder last takes the rest of the line", L"/S /d=C:\\My Games\\Quolix  ",
         {.silent = true, .folder = L"C:\\My Games\\Quolix"}},
        {"unquoted folder swallows what follows it", L"/D=C:\\My Games /S", {.folder = L"C:\\My Games /S"}},
        {"value quoted after the equals sign", L"/D=\"C:\\My Games\\Quolix\"", {.folder = L"C:\\My Games\\Quolix"}},
        {"quoted value is one argument: switches follow it", L"/D=\"C:\\My Games\" /S /NOLAUNCH",
         {.silent = true, .noLaunch = true, .folder = L"C:\\My Games"}},
        {"quoted value before a quoted log file", L"/d=\"C:\\My Games\\Quolix\" \"/LOG=C:\\Support Logs\\a.log\"",
         {.folder = L"C:\\My Games\\Quolix", .logPath = L"C:\\Support Logs\\a.log"}},
        {"quoted part then more of the folder", L"/D=\"C:\\My Games\"\\Quolix /S",
         {.silent = true, .folder = L"C:\\My Games\\Quolix"}},
        {"quoted empty folder", L"/D=\"\" /S", {.silent = true, .folder = L""}},
        {"quote never closed keeps the rest", L"/D=\"C:\\My Games /S", {.folder = L"C:\\My Games /S"}},
        {"silent help", L"/S /?", {.silent = true, .help = true}},
        {"empty folder", L"/S /D=", {.silent = true, .folder = L""}},
        {"log file quoted as one argument", L"\"/LOG=C:\\Support Logs\\setup.log\" /S",
         {.silent = true, .logPath = L"C:\\Support Logs\\setup.log"}},
        {"log file with the value quoted", L"/log=\"C:\\Support Logs\\setup.log\" /s",
         {.silent = true, .logPath = L"C:\\Support Logs\\setup.log"}},
        {"unknown switches kept as written", L"/S /QUIET /Dfolder extra",
         {.silent = true, .unknown = L"/QUIET|/Dfolder|extra|"}},
        {"a switch is a whole word", L"/SILENT /S2", {.unknown = L"/SILENT|/S2|"}},
        {"a proxy and its login", L"/S /PROXY=proxy.school.example:3128 /proxyuser=alice /ProxyPass=s3cret",
         {.silent = true, .proxy = L"proxy.school.example:3128", .proxyUser = L"alice", .proxyPassword = L"s3cret"}},
        {"a quoted password with a blank", L"\"/PROXYPASS=two words\" /PROXYUSER=DOMAIN\\bob",
         {.proxyUser = L"DOMAIN\\bob", .proxyPassword = L"two words"}},
        {"an empty password is one", L"/PROXYUSER=alice /PROXYPASS=", {.proxyUser = L"alice", .proxyPassword = L""}},
        {"the login switches are not the proxy", L"/PROXYUSER=a", {.proxyUser = L"a"}},
        {"proxy switches are whole words", L"/PROXYS=x /PROXY", {.unknown = L"/PROXYS=x|/PROXY|"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const CommandLineOptions options = ParseCommandLine(c.arguments);
        EXPECT_EQ(options.silent, c.expected.silent);
        EXPECT_EQ(options.help, c.expected.help);
        EXPECT_EQ(options.noLaunch, c.expected.noLaunch);
        EXPECT_EQ(options.noAutorun, c.expected.noAutorun);
        EXPECT_EQ(options.noDesktop, c.expected.noDesktop);
        EXPECT_EQ(options.noGroup, c.expected.noGroup);
        EXPECT_EQ(options.hasFolder, c.expected.folder != nullptr);
        EXPECT_EQ(options.folder, c.expected.folder ? c.expected.folder : L"");
        EXPECT_EQ(options.hasLogPath, c.expected.logPath != nullptr);
        EXPECT_EQ(options.logPath, c.expected.logPath ? c.expected.logPath : L"");
        std::wstring unknown;
        for (const std::wstring& argument : options.unknown)
            unknown += argument + L"|";
        EXPECT_EQ(unknown, c.expected.unknown);
        EXPECT_EQ(options.hasProxy, c.expected.proxy != nullptr);
        EXPECT_EQ(options.proxy, c.expected.proxy ? c.expected.proxy : L"");
        EXPECT_EQ(options.hasProxyUser, c.expected.proxyUser != nullptr);
        EXPECT_EQ(options.proxyUser, c.expected.proxyUser ? c.expected.proxyUser : L"");
        EXPECT_EQ(options.hasProxyPassword, c.expected.proxyPassword != nullptr);
        EXPECT_EQ(options.proxyPassword, c.expected.proxyPassword ? c.expected.proxyPassword : L"");
    }
}

// The command line goes into the log; a proxy's password never does.
TEST(ArgumentsForTheLog, HidesTheProxyPasswordHoweverItIsWritten)
{
    static const struct {
        const char* label;
        const wchar_t* arguments;
        const wchar_t* logged;
    } cases[] = {
        {"plain", L"/S /PROXYUSER=alice /PROXYPASS=s3cret /NOLAUNCH",
         L"/S /PROXYUSER=alice /PROXYPASS=(hidden) /NOLAUNCH"},
        {"lower case, last", L"/s /proxypass=s3cret", L"/s /proxypass=(hidden)"},
        {"quoted as one argument", L"\"/PROXYPASS=two words\" /S", L"\"/PROXYPASS=(hidden)\" /S"},
        {"quoted value", L"/PROXYPASS=\"two words\" /S", L"/PROXYPASS=(hidden) /S"},
        {"twice", L"/PROXYPASS=a /PROXYPASS=b", L"/PROXYPASS=(hidden) /PROXYPASS=(hidden)"},
        {"no password", L"/S /D=C:\\My Games", L"/S /D=C:\\My Games"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ArgumentsForTheLog(c.arguments), c.logged);
    }
}

}  // namespace
