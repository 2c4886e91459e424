#include "framework/FormatText.h"

#include "framework/LogFile.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

using qxt::test::ReadFileBytes;
using qxt::test::TempDir;

namespace {

// The conventions every format string of the program relies on.
TEST(FormatText, FormatsWithTheRuntimesConventions)
{
    static const struct {
        const char* label;
        const wchar_t* expected;
        int (*format)(wchar_t* buffer, size_t count);
    } cases[] = {
        {"wide strings", L"C:\\Program Files\\QXTClient",
         [](wchar_t* b, size_t n) { return FormatText(b, n, L"%ls\\%ls", L"C:\\Program Files", L"QXTClient"); }},
        {"64-bit count past 4 GiB", L"received 4294967297 bytes",
         [](wchar_t* b, size_t n) { return FormatText(b, n, L"received %I64u bytes", 4294967297ULL); }},
        {"unsigned long", L"exit code 4294967295",
         [](wchar_t* b, size_t n) { return FormatText(b, n, L"exit code %lu", 4294967295UL); }},
        {"seconds", L"2.50 s",
         [](wchar_t* b, size_t n) { return FormatText(b, n, L"%.2f s", 2.5); }},
        {"percent", L"7%", [](wchar_t* b, size_t n) { return FormatText(b, n, L"%d%%", 7); }},
        {"padding", L"2026-01-05", [](wchar_t* b, size_t n) { return FormatText(b, n, L"%04u-%02u-%02u", 2026u, 1u, 5u); }},
    };
    for (const auto& c : cases) {
        wchar_t buffer[64];
        std::wmemset(buffer, L'#', 64);
        const int length = c.format(buffer, 64);
        EXPECT_STREQ(buffer, c.expected) << c.label;
        EXPECT_EQ(length, static_cast<int>(std::wcslen(c.expected))) << c.label;
    }
}

// msvcrt leaves a text that fills the buffer exactly without its terminator.
TEST(FormatText, ATextThatDoesNotFitIsCutAndTerminated)
{
    static const struct {
        const char* label;
        size_t count;
        int length;
        const wchar_t* kept;
    } cases[] = {
        {"room for the terminator", 5, 4, L"abcd"},
        {"exactly the text, no terminator", 4, -1, L"abc"},
        {"shorter than the text", 3, -1, L"ab"},
        {"one character", 1, -1, L""},
    };
    for (const auto& c : cases) {
        wchar_t buffer[8];
        std::wmemset(buffer, L'#', 8);
        EXPECT_EQ(FormatText(buffer, c.count, L"%ls", L"abcd"), c.length) << c.label;
        EXPECT_STREQ(buffer, c.kept) << c.label;
        EXPECT_EQ(buffer[c.count], L'#') << c.label << ": written past the count";
    }
}

// The log grows its buffer until the line fits: a line far longer than
// the first try arrives whole.
TEST(FormatText, ALongLogLineIsWrittenWhole)
{
    TempDir dir;
    const std::wstring path = dir / L"run.log";
    ASSERT_TRUE(ProcessLog().Open(path, L""));
    const std::wstring url = L"http://127.0.0.1/" + std::wstring(3000, L'x');
    LogLine(L"GET %ls: received %I64u bytes", url.c_str(), 5000000000ULL);
    ProcessLog().Close();

    const std::string bytes = ReadFileBytes(path);
    const std::string expected = "GET http://127.0.0.1/" + std::string(3000, 'x') + ": received 5000000000 bytes\r\n";
    ASSERT_GE(bytes.size(), expected.size());
    EXPECT_EQ(bytes.substr(bytes.size() - expected.size()), expected);
}

}  // namespace
