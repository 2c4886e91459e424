#include "framework/LogFile.h"

#include "framework/MessageBox.h"
#include "framework/Process.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using qxt::test::ReadFileBytes;
using qxt::test::TempDir;
using qxt::test::WriteFileBytes;

namespace {

std::vector<std::string> Lines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = bytes.find("\r\n"); end != std::string::npos; end = bytes.find("\r\n", start)) {
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, bytes.size()) << "the log does not end with a whole line";
    return lines;
}

// The text of a line after its "YYYY-MM-DD hh:mm:ss.mmm " stamp.
std::string TextOf(const std::string& line)
{
    static const std::regex stamp(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} )");
    EXPECT_TRUE(std::regex_search(line, stamp)) << line;
    return line.size() > 24 ? line.substr(24) : std::string();
}

TEST(LogFile, WritesUtf8LinesWithATimestampAndOneLinePerEvent)
{
    TempDir dir;
    const std::wstring path = dir / L"run.log";
    CLogFile log;
    ASSERT_TRUE(log.Open(path, L""));
    log.Write(L"Install folder: C:\\Program Files\\QXTClient");
    log.Write(L"错误: 系统找不到指定的文件。\r\n");  // a system error text with its line break
    log.Write(L"first\r\nsecond");
    log.Close();

    const std::vector<std::string> lines = Lines(ReadFileBytes(path));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(TextOf(lines[0]), "Install folder: C:\\Program Files\\QXTClient");
    EXPECT_EQ(TextOf(lines[1]), "\xE9\x94\x99\xE8\xAF\xAF: \xE7\xB3\xBB\xE7\xBB\x9F\xE6\x89\xBE\xE4\xB8\x8D\xE5\x88\xB0"
                                "\xE6\x8C\x87\xE5\xAE\x9A\xE7\x9A\x84\xE6\x96\x87\xE4\xBB\xB6\xE3\x80\x82");
    EXPECT_EQ(TextOf(lines[2]), "first  second");
}

// Text from outside shows every character that a reader (an editor, a
// terminal, a script splitting lines) may take for a line break or a command.
TEST(LogFile, EscapeLogTextShowsControlCharactersAndLineSeparators)
{
    static const struct {
        const char* label;
        std::wstring text;
        std::wstring shown;
    } kCases[] = {
        {"plain text stays", L"C:\\Program Files\\客户端\\a b.dll|x", L"C:\\Program Files\\客户端\\a b.dll|x"},
        {"CR and LF", L"a\rb\nc", L"a\\x0Db\\x0Ac"},
        {"tab, vertical tab, form feed", L"1\t2\v3\f", L"1\\x092\\x0B3\\x0C"},
        {"NUL", std::wstring(L"nul\0x", 5), L"nul\\x00x"},
        {"a terminal's escape sequence", L"\x1b[2J", L"\\x1B[2J"},
        {"file, group and record separators", L"\x1c\x1d\x1e", L"\\x1C\\x1D\\x1E"},
        {"DEL", L"del\x7f", L"del\\x7F"},
        {"C1 controls, NEL among them", L"\x80\x85\x9f", L"\\x80\\x85\\x9F"},
        {"no-break space stays", L"a\xa0" L"b", L"a\xa0" L"b"},
        {"line and paragraph separators", L"ls\u2028ps\u2029", L"ls\\u2028ps\\u2029"},
        {"other punctuation near them stays", L"\u2027\u202F", L"\u2027\u202F"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(EscapeLogText(c.text), c.shown) << c.label;
}

// Whoever writes a line, with or without escaping what came from outside, the
// log keeps one line per event: nothing in it breaks a line for any reader.
TEST(LogFile, EveryCharacterThatCouldBreakALineIsEscapedWhenWritten)
{
    TempDir dir;
    const std::wstring path = dir / L"run.log";
    CLogFile log;
    ASSERT_TRUE(log.Open(path, L""));
    log.Write(L"header: a\x0b" L"b\x0c" L"c\x1e" L"d\x85" L"e\u2028f\u2029g\x1b[0m");
    log.Write(L"next\tcolumn");  // a tab breaks no line: the list of switches uses it
    log.Close();

    const std::string bytes = ReadFileBytes(path);
    const std::vector<std::string> lines = Lines(bytes);
    ASSERT_EQ(lines.size(), 2u) << bytes;
    EXPECT_EQ(TextOf(lines[0]), "header: a\\x0Bb\\x0Cc\\x1Ed\\x85e\\u2028f\\u2029g\\x1B[0m");
    EXPECT_EQ(TextOf(lines[1]), "next\tcolumn");
    for (const std::string& line : lines) {
        for (unsigned char c : line)
            EXPECT_TRUE(c >= 0x20 || c == '\t') << line;
        EXPECT_EQ(line.find("\xC2\x85"), std::string::npos) << line;
        EXPECT_EQ(line.find("\xE2\x80\xA8"), std::string::npos) << line;
        EXPECT_EQ(line.find("\xE2\x80\xA9"), std::string::npos) << line;
    }
}

TEST(LogFile, KeepsThePreviousLogAndReplacesTheOneBeforeIt)
{
    TempDir dir;
    const std::wstring path = dir / L"QXTSetup.log";
    const std::wstring previous = dir / L"QXTSetup.old.log";
    ASSERT_EQ(PreviousLogPath(path), previous);
    ASSERT_TRUE(WriteFileBytes(previous, "oldest\r\n"));
    ASSERT_TRUE(WriteFileBytes(path, "last run\r\n"));

    CLogFile log;
    ASSERT_TRUE(log.Open(path, previous));
    log.Write(L"this run");
    log.Close();

    EXPECT_EQ(ReadFileBytes(previous), "last run\r\n");
    const std::vector<std::string> lines = Lines(ReadFileBytes(path));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(TextOf(lines[0]), "this run");
}

TEST(LogFile, PreviousLogPathPutsOldBeforeTheExtension)
{
    static const struct {
        const wchar_t* path;
        const wchar_t* previous;
    } cases[] = {
        {L"C:\\Temp\\QXTSetup.log", L"C:\\Temp\\QXTSetup.old.log"},
        {L"D:\\logs\\install.txt", L"D:\\logs\\install.old.txt"},
        {L"D:\\logs.d\\install", L"D:\\logs.d\\install.old"},
        {L"D:\\logs\\.hidden", L"D:\\logs\\.hidden.old"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PreviousLogPath(c.path), c.previous) << c.path;
}

TEST(LogFile, ALogThatCannotBeWrittenIsSkipped)
{
    TempDir dir;
    CLogFile log;
    EXPECT_FALSE(log.Open(dir / L"no such folder\\run.log", L""));
    EXPECT_FALSE(log.IsOpen());
    log.Write(L"nothing happens");

    // A folder where the log should be: no file can be created.
    ASSERT_TRUE(::CreateDirectoryW((dir / L"taken.log").c_str(), nullptr));
    EXPECT_FALSE(log.Open(dir / L"taken.log", L""));
    log.Write(L"nothing happens");
}

TEST(LogFile, LinesFromManyThreadsAndAnotherWriterStayWhole)
{
    TempDir dir;
    const std::wstring path = dir / L"run.log";
    CLogFile log;
    ASSERT_TRUE(log.Open(path, L""));

    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            for (int n = 0; n < kLines; ++n)
                log.Write(L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(n) +
                          std::wstring(100, L'x'));
        });
    }
    // Another writer of the same file (as a second setup program) appends
    // at the end while the first goes on.
    constexpr int kOtherLines = 50;
    CLogFile other;
    ASSERT_TRUE(other.Append(path));
    for (int n = 0; n < kOtherLines; ++n)
        other.Write(L"the other writer");
    other.Close();
    for (std::thread& thread : threads)
        thread.join();
    log.Write(L"last");
    log.Close();

    const std::vector<std::string> lines = Lines(ReadFileBytes(path));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines + kOtherLines + 1));
    static const std::regex whole(R"(^thread \d line \d+x{100}$)");
    int others = 0;
    for (const std::string& line : lines) {
        const std::string text = TextOf(line);
        if (text == "the other writer") {
            ++others;
        } else if (text != "last") {
            EXPECT_TRUE(std::regex_match(text, whole)) << text;
        }
    }
    EXPECT_EQ(others, kOtherLines);
    EXPECT_EQ(TextOf(lines.back()), "last");
}

TEST(LogFile, LogErrorNamesTheLastErrorForTheClosingLine)
{
    TempDir dir;
    const std::wstring path = dir / L"run.log";
    ASSERT_TRUE(ProcessLog().Open(path, L""));
    LogLine(L"request %ls: status %d", L"http://127.0.0.1/Client.txt", 404);
    LogError(L"Download of %ls failed: %ls", L"Client.txt", L"系统找不到指定的文件。\r\n");
    ProcessLog().Close();
    LogLine(L"after closing: %d", 1);

    EXPECT_EQ(LastLoggedError(), L"Download of Client.txt failed: 系统找不到指定的文件。");
    const std::vector<std::string> lines = Lines(ReadFileBytes(path));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(TextOf(lines[0]), "request http://127.0.0.1/Client.txt: status 404");
    EXPECT_EQ(TextOf(lines[1]).rfind("error: Download of Client.txt failed: ", 0), 0u) << lines[1];
}

}  // namespace

namespace {

// A silent run: a program that cannot be started shows no box; the log says
// why, and a program that runs is logged with its command line and exit code.
TEST(LogFile, ProgramsOfASilentRunAreLoggedAndAFailedStartShowsNoBox)
{
    TempDir dir;
    const std::wstring path = dir / L"run.log";
    ASSERT_TRUE(ProcessLog().Open(path, L""));
    qxt::test::MessageBoxWatcher boxes(L"");
    SuppressMessageBoxes(true);
    const std::wstring missing = dir / L"missing.exe";
    EXPECT_EQ(RunAndWait(missing.c_str(), L"/S", false, true), 0u);
    const std::wstring program = qxt::test::HelperPath(L"exitcode.exe");
    EXPECT_EQ(RunAndWait(program.c_str(), L"3", false, true), 3u);
    SuppressMessageBoxes(false);
    ProcessLog().Close();

    EXPECT_TRUE(boxes.Boxes().empty()) << "a silent run shows no box";
    const std::string log = ReadFileBytes(path);
    const std::string missingName = ToUtf8(missing);
    EXPECT_NE(log.find("Run " + missingName + " /S"), std::string::npos) << log;
    EXPECT_NE(log.find("error: " + missingName + " could not be started: "), std::string::npos) << log;
    EXPECT_NE(log.find("Message box not shown (silent run): "), std::string::npos) << log;
    EXPECT_NE(log.find("Run " + ToUtf8(program) + " 3"), std::string::npos) << log;
    EXPECT_NE(log.find(ToUtf8(program) + " ended with exit code 3 after "), std::string::npos) << log;
}

}  // namespace
