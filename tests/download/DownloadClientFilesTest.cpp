// DownloadClientFiles against a real HTTP server on 127.0.0.1: the manifest,
// the current-file test, the size record, and the whole message sequence the
// dialog receives, from WM_DOWNLOAD_BEGIN to the last message.
#include "download/DownloadClientFiles.h"
#include "transfer/FailureDetail.h"

#include "core/SetupMessages.h"
#include "trust/ClientFileEntry.h"
#include "trust/MD5Checksum.h"
#include "framework/Handles.h"
#include "framework/LogFile.h"
#include "tests/support/DownloadTestSupport.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/NetworkShare.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TransferProgress.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <deque>
#include <string>
#include <thread>
#include <vector>

using namespace qxt::test;

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The messages a run should send, one transfer at a time, built step by
// step. Texts are kept here so the expected entries can point at them.
class ExpectedRun {
public:
    // The list's own transfer is not on the bar: the bar counts the files.
    ExpectedRun& Begin() { return Add(WM_DOWNLOAD_BEGIN, 0, 0); }
    // Every file in place is read before the first transfer, each with its
    // status line, in list order.
    ExpectedRun& Checked(std::initializer_list<const wchar_t*> names)
    {
        for (const wchar_t* name : names)
            Text(WM_SETUP_STATUS_TEXT, std::wstring(L"正在校验...") + name);
        return *this;
    }
    // The counter and the bar start from the files found current; without
    // sizes in the list the bar counts files (a bar at 0 reads as the start
    // of a transfer).
    ExpectedRun& Start(size_t kept, size_t count)
    {
        Add(WM_DOWNLOAD_FILE_INDEX, kept, count);
        return kept == 0 ? Add(kTransfer, 0, count) : Add(WM_DOWNLOAD_PROGRESS, kept, count);
    }
    // A transfer that lands: the counter and the bar count one more file.
    ExpectedRun& Fetched(const std::wstring& name, size_t done, size_t count)
    {
        FetchStarts(name);
        return Finished(done, count);
    }
    ExpectedRun& FetchStarts(const std::wstring& name) { return Text(WM_SETUP_STATUS_TEXT, L"正在下载..." + name); }
    ExpectedRun& Finished(size_t done, size_t count)
    {
        Add(WM_DOWNLOAD_FILE_INDEX, done, count);
        return Add(WM_DOWNLOAD_PROGRESS, done, count);
    }
    ExpectedRun& Failed(const std::wstring& name)
    {
        Text(WM_SETUP_STATUS_TEXT, L"正在下载..." + name + L" : 失败!");
        return Text(WM_DOWNLOAD_FAILED, L"正在下载..." + name + L" : 失败!");
    }
    ExpectedRun& Complete() { return Add(WM_DOWNLOAD_COMPLETE, 0, 0); }
    ExpectedRun& Add(UINT message, ExpectedValue w, ExpectedValue l)
    {
        m_messages.push_back({message, w, l});
        return *this;
    }
    ExpectedRun& Text(UINT message, std::wstring text)
    {
        m_texts.push_back(std::move(text));
        return Add(message, m_texts.back().c_str(), 0);
    }
    std::span<const ExpectedMessage> Messages() const { return m_messages; }

private:
    std::deque<std::wstring> m_texts;
    std::vector<ExpectedMessage> m_messages;
};

class DownloadClientFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Started());
        ASSERT_NE(recorder.Window(), nullptr);
        folder = dir / L"Quolix Client";
        UseFolder(folder);
        ClearLog();
    }

    void TearDown() override { ProcessLog().Close(); }

    // The run's log starts over.
    void ClearLog() { ASSERT_TRUE(ProcessLog().Open(dir / L"run.log", L"")); }
    std::string LogText() const { return ReadFileBytes(dir / L"run.log"); }

    void UseFolder(const std::wstring& path)
    {
        info = InstallInfo{};
        ASSERT_LT(path.size(), static_cast<size_t>(MAX_PATH));
        wcscpy_s(info.InstallLocation, path.c_str());
    }

    // Serves a file under its manifest name and returns its manifest line.
    std::string Publish(const std::string& name, const std::string& bytes)
    {
        server.Serve(kBase + name, HttpReply::Ok(bytes));
        return name + "|" + Md5(bytes);
    }
    // The real timeouts; pauses before a retry short enough for a test.
    DownloadTimings timings = [] {
        DownloadTimings t;
        t.retryPausesMs = {20, 20, 20};
        // One transfer at a time: the messages come in list order.
        t.transfers = 1;
        return t;
    }();

    void ServeManifest(const std::string& text) { server.Serve(kPlainTarget, HttpReply::Ok(text)); }

    BOOL Run() { return DownloadClientFiles(server.Host().c_str(), &cancel, recorder.Window(), info, timings); }

    std::vector<RecordedMessage> Collapsed()
    {
        std::string problems;
        std::vector<RecordedMessage> collapsed = CollapseTransfers(recorder.Messages(), problems);
        EXPECT_EQ(problems, "");
        return collapsed;
    }

    std::vector<std::string> RequestedTargets() const
    {
        std::vector<std::string> targets;
        for (const HttpRequestRecord& r : server.Requests())
            targets.push_back(r.target);
        return targets;
    }

    std::wstring Local(const std::string& name) const { return folder + L"\\" + Widen(name); }

    TestHttpServer server;
    MessageRecorder recorder;
    TempDir dir;
    std::wstring folder;
    InstallInfo info{};
    volatile LONG cancel = 0;
};

TEST_F(DownloadClientFilesTest, AFreshFolderGetsEveryFileThenASecondRunKeepsThemAll)
{
    const std::string client = PatternBytes(100000, 1);
    const std::string library = PatternBytes(32768, 2);
    const std::string config = "[CONFIG]\r\n";
    // CRLF line ends, a lower-case digest, and the last line without a line end.
    const std::string manifest = Publish("QXTClient.exe", client) + "\r\n" +
                                 Lower(Publish("qxtcodec.dll", library)) + "\r\n" +
                                 Publish("client.ini", config);
    ServeManifest(manifest);

    EXPECT_EQ(Run(), TRUE);

    ExpectedRun fresh;
    fresh.Begin()
        .Checked({L"QXTClient.exe", L"qxtcodec.dll", L"client.ini"})
        .Start(0, 3)
        .Fetched(L"QXTClient.exe", 1, 3)
        .Fetched(L"qxtcodec.dll", 2, 3)
        .Fetched(L"client.ini", 3, 3)
        .Complete();
    EXPECT_TRUE(MatchesSequence(Collapsed(), fresh.Messages()));
    const std::vector<std::string> fetched = {kSignedTarget, kPlainTarget, kBase + "QXTClient.exe", kBase + "qxtcodec.dll",
                                              kBase + "client.ini"};
    EXPECT_EQ(RequestedTargets(), fetched);
    EXPECT_TRUE(HasBytes(Local("QXTClient.exe"), client));
    EXPECT_TRUE(HasBytes(Local("qxtcodec.dll"), library));
    EXPECT_TRUE(HasBytes(Local("client.ini"), config));
    EXPECT_TRUE(HasBytes(Local("Client.txt"), manifest));
    for (const char* name : {"QXTClient.exe", "qxtcodec.dll", "client.ini", "Client.txt"})
        EXPECT_TRUE(IsReadOnly(Local(name))) << name;
    EXPECT_EQ(info.EstimatedSize, client.size() + library.size() + config.size());

    // Second run: the manifest again, every file kept as current.
    recorder.Clear();
    info.EstimatedSize = 0;
    EXPECT_EQ(Run(), TRUE);

    ExpectedRun again;
    again.Begin()
        .Checked({L"QXTClient.exe", L"qxtcodec.dll", L"client.ini"})
        .Start(3, 3)
        .Complete();
    EXPECT_TRUE(MatchesSequence(Collapsed(), again.Messages()));
    EXPECT_EQ(server.Requests().size(), fetched.size() + 2);
    EXPECT_EQ(info.EstimatedSize, client.size() + library.size() + config.size());
}

TEST_F(DownloadClientFilesTest, AMissingInstallFolderOnANetworkShareIsCreated)
{
    NetworkShare share;
    ASSERT_FALSE(share.Path().empty()) << "no share in the Wine prefix";
    folder = share / L"Games\\Quolix Client";
    UseFolder(folder);
    const std::string client = PatternBytes(5000, 3);
    const std::string manifest = Publish("QXTClient.exe", client);
    ServeManifest(manifest);

    EXPECT_EQ(Run(), TRUE);

    EXPECT_TRUE(HasBytes(Local("QXTClient.exe"), client));
    EXPECT_TRUE(HasBytes(Local("Client.txt"), manifest));
}

TEST_F(DownloadClientFilesTest, OnlyFilesThatAreMissingOrDifferAreFetched)
{
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::string kept = PatternBytes(5000, 3);
    const std::string stale = PatternBytes(7000, 4);
    const std::string missing = PatternBytes(9000, 5);
    ASSERT_TRUE(WriteFileBytes(Local("kept.dll"), kept));
    ASSERT_TRUE(WriteFileBytes(Local("stale.dll"), "an older version"));
    MakeReadOnly(Local("stale.dll"));
    ASSERT_TRUE(WriteFileBytes(Local("extra.dat"), "not in the manifest"));
    const std::string manifest = Publish("kept.dll", kept) + "\n" + Publish("stale.dll", stale) + "\n" +
                                 Publish("missing.dll", missing) + "\n";
    ServeManifest(manifest);

    EXPECT_EQ(Run(), TRUE);

    ExpectedRun run;
    run.Begin()
        .Checked({L"kept.dll", L"stale.dll", L"missing.dll"})
        .Start(1, 3)
        .Fetched(L"stale.dll", 2, 3)
        .Fetched(L"missing.dll", 3, 3)
        .Complete();
    EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
    EXPECT_TRUE(HasBytes(Local("stale.dll"), stale));
    EXPECT_TRUE(HasBytes(Local("missing.dll"), missing));
    EXPECT_TRUE(HasBytes(Local("extra.dat"), "not in the manifest"));
    EXPECT_FALSE(IsReadOnly(Local("kept.dll")));  // kept files are not touched
    EXPECT_EQ(info.EstimatedSize, kept.size() + stale.size() + missing.size());
}

// A list without a single entry would leave the folder without a client: the
// download fails, and the log says why.
TEST_F(DownloadClientFilesTest, TheManifestEndsAtItsFirstBlankLine)
{
    const std::string a = "first file";
    const std::string b = "second file";
    static const struct {
        const char* label;
        const char* layout;  // A and B stand for the two entry lines
        int entries;
    } kCases[] = {
        {"first line empty", "\nA\nB\n", 0},
        {"first line of white space", " \t\r\nA\r\n", 0},
        {"only a byte-order mark", "\xEF\xBB\xBF\r\n", 0},
        {"blank line between", "A\n\nB\n", 1},
        {"line of white space between", "A\r\n \t\x0b\x0c\r\nB\r\n", 1},
        {"white space around the lines", "  A \t\r\n\tB\xa0\n", 2},
        {"no line end after the last line", "A\nB", 2},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        TempDir caseDir;
        folder = caseDir / L"client";
        UseFolder(folder);
        std::string manifest;
        for (const char* p = c.layout; *p; ++p)
            manifest += *p == 'A' ? Publish("a.bin", a) : *p == 'B' ? Publish("b.bin", b) : std::string(1, *p);
        ServeManifest(manifest);
        recorder.Clear();
        ClearLog();
        const size_t requestsBefore = server.Requests().size();

        EXPECT_EQ(Run(), c.entries > 0 ? TRUE : FALSE);

        ExpectedRun run;
        run.Begin();
        if (c.entries >= 1)
            run.Checked({L"a.bin"});
        if (c.entries >= 2)
            run.Checked({L"b.bin"});
        if (c.entries > 0)
            run.Start(0, c.entries).Fetched(L"a.bin", 1, c.entries);
        if (c.entries >= 2)
            run.Fetched(L"b.bin", 2, c.entries);
        if (c.entries > 0)
            run.Complete();
        EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
        EXPECT_EQ(server.Requests().size(), requestsBefore + 2 + c.entries);
        EXPECT_EQ(PathExists(Local("a.bin")), c.entries >= 1);
        EXPECT_EQ(PathExists(Local("b.bin")), c.entries >= 2);
        const bool loggedEmpty = LogText().find("error: Manifest Client.txt lists no files") != std::string::npos;
        EXPECT_EQ(loggedEmpty, c.entries == 0) << LogText();
    }
}

TEST_F(DownloadClientFilesTest, AManifestThatCannotBeFetchedEndsTheRunBeforeAnyEntry)
{
    static const struct {
        const char* label;
        HttpReply reply;
    } kCases[] = {
        {"not found", HttpReply::Status(404, "Not Found")},
        {"server error", HttpReply::Status(500, "Internal Server Error")},
        {"empty body", HttpReply::Ok("")},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        server.Serve(kPlainTarget, c.reply);
        recorder.Clear();

        EXPECT_EQ(Run(), FALSE);

        ExpectedRun run;
        run.Begin();
        EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
    }
    EXPECT_TRUE(PathExists(folder)) << "the install folder is created before the manifest is asked for";
}

// A body cut short is tried three more times (this server has no ranges, so
// each retry starts over) and its start is kept for the next run; the answers
// that rule the file out end the loop at once and leave nothing behind.
TEST_F(DownloadClientFilesTest, AFailedFileEndsTheLoopAndLeavesEarlierFilesInPlace)
{
    const std::string first = PatternBytes(3000, 6);
    const std::string third = PatternBytes(3000, 7);
    static const struct {
        const char* label;
        HttpReply reply;
        bool retried;
    } kCases[] = {
        {"not found", HttpReply::Status(404, "Not Found"), false},
        {"declared length 0", HttpReply::Ok(""), false},
        {"cut short", [] { HttpReply r = HttpReply::Ok(std::string(50000, 'x')); r.closeAfter = 20000; return r; }(),
         true},
        {"whole, but another digest than the manifest's", HttpReply::Ok(std::string(40000, 'y')), false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        TempDir caseDir;
        folder = caseDir / L"client";
        UseFolder(folder);
        server.Serve(kBase + "second.bin", c.reply);
        const std::string manifest = Publish("first.bin", first) + "\n" + "second.bin|" + Md5("whatever") + "\n" +
                                     Publish("third.bin", third) + "\n";
        ServeManifest(manifest);
        recorder.Clear();

        EXPECT_EQ(Run(), FALSE);

        ExpectedRun run;
        run.Begin()
            .Checked({L"first.bin", L"second.bin", L"third.bin"})
            .Start(0, 3)
            .Fetched(L"first.bin", 1, 3)
            .FetchStarts(L"second.bin");
        for (int retry = 1; c.retried && retry <= 3; ++retry)
            run.Text(WM_SETUP_STATUS_TEXT, L"正在重试...second.bin (" + std::to_wstring(retry) + L"/3)");
        run.Failed(L"second.bin");
        EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
        EXPECT_TRUE(HasBytes(Local("first.bin"), first));
        EXPECT_FALSE(PathExists(Local("second.bin")));
        if (c.retried) {
            const std::string held = ReadFileBytes(Local("second.bin.tmp"));
            EXPECT_FALSE(held.empty());
            EXPECT_EQ(held, c.reply.body.substr(0, held.size()));
        } else {
            EXPECT_FALSE(PathExists(Local("second.bin.tmp")));
        }
        EXPECT_FALSE(PathExists(Local("third.bin")));
        EXPECT_EQ(info.EstimatedSize, first.size());
    }
}

// The files in place are read before the first transfer, so the run knows
// what it must fetch before it asks for any of it: every keep-or-fetch line
// of the log comes before the first file's request.
TEST_F(DownloadClientFilesTest, EveryFileInPlaceIsReadBeforeTheFirstTransfer)
{
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::string stale = PatternBytes(6000, 13);
    const std::string kept = PatternBytes(4000, 14);
    ASSERT_TRUE(WriteFileBytes(Local("stale.bin"), "an older version"));
    ASSERT_TRUE(WriteFileBytes(Local("kept.bin"), kept));
    const std::string manifest = Publish("stale.bin", stale) + "\n" + Publish("missing.bin", "missing") + "\n" +
                                 Publish("kept.bin", kept) + "\n";
    ServeManifest(manifest);

    EXPECT_EQ(Run(), TRUE);

    ExpectedRun run;
    run.Begin()
        .Checked({L"stale.bin", L"missing.bin", L"kept.bin"})
        .Start(1, 3)
        .Fetched(L"stale.bin", 2, 3)
        .Fetched(L"missing.bin", 3, 3)
        .Complete();
    EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
    const std::string log = LogText();
    const size_t firstTransfer = log.find("filename=stale.bin: status");
    ASSERT_NE(firstTransfer, std::string::npos) << log;
    for (const char* decision : {"\\stale.bin: local MD5 ", "\\missing.bin: local MD5 (none)",
                                 "\\kept.bin: local MD5 "}) {
        const size_t at = log.find(decision);
        EXPECT_NE(at, std::string::npos) << decision << "\n" << log;
        EXPECT_LT(at, firstTransfer) << decision << "\n" << log;
    }
    EXPECT_TRUE(HasBytes(Local("stale.bin"), stale));
    EXPECT_EQ(info.EstimatedSize, stale.size() + 7 + kept.size());
}

// Two entries naming one file in different cases: the second is read only
// after the first replaced the file (it would have been current before),
// and the file ends as the list's last word on it.
TEST_F(DownloadClientFilesTest, AFileThatAnEarlierEntryReplacedIsReadAgain)
{
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::string upper = PatternBytes(9000, 15);
    const std::string lower = PatternBytes(3000, 16);
    ASSERT_TRUE(WriteFileBytes(Local("codec.ax"), lower));
    const std::string manifest = Publish("CODEC.AX", upper) + "\n" + Publish("codec.ax", lower) + "\n";
    ServeManifest(manifest);

    EXPECT_EQ(Run(), TRUE);

    ExpectedRun run;
    run.Begin()
        .Checked({L"CODEC.AX"})
        .Start(0, 2)
        .Fetched(L"CODEC.AX", 1, 2)
        .Checked({L"codec.ax"})
        .Fetched(L"codec.ax", 2, 2)
        .Complete();
    EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
    EXPECT_TRUE(HasBytes(Local("codec.ax"), lower));
    EXPECT_EQ(info.EstimatedSize, upper.size() + lower.size());
}

// A digest followed by more text is no digest: the line is damaged, so
// nothing is fetched and the file in place stays.
TEST_F(DownloadClientFilesTest, ADigestFollowedByASecondBarNeverMatches)
{
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::string bytes = "current contents";
    ASSERT_TRUE(WriteFileBytes(Local("a.bin"), bytes));
    server.Serve(kBase + "a.bin", HttpReply::Ok("another body"));
    const std::string manifest = "a.bin|" + Md5(bytes) + "|trailing\n";
    ServeManifest(manifest);

    EXPECT_EQ(Run(), FALSE);

    ExpectedRun run;
    run.Begin();
    EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
    const std::vector<std::string> requested = {kSignedTarget, kPlainTarget};
    EXPECT_EQ(RequestedTargets(), requested);
    EXPECT_TRUE(HasBytes(Local("a.bin"), bytes));
}

// Every line is checked before the first file is looked at: one that is not
// "name|32 hexadecimal digits" fails the download with nothing fetched or
// replaced, even the lines before it, and the log names the line as it was,
// with whatever could break the log's lines escaped.
TEST_F(DownloadClientFilesTest, ADamagedLineFailsTheWholeListBeforeAnyFileIsTouched)
{
    const std::string good = "good file";
    const std::string old = "the copy in place";
    const std::string digest = Md5("data");
    static const struct {
        const char* label;
        std::string line;    // the manifest's second line
        std::string logged;  // how the log shows it
        const char* problem;
    } kCases[] = {
        {"no digest", "data.bin|", "data.bin|", "the digest is not 32 hexadecimal digits"},
        {"one digit short", "data.bin|" + digest.substr(1), "data.bin|" + digest.substr(1),
         "the digest is not 32 hexadecimal digits"},
        {"one digit too many", "data.bin|" + digest + "0", "data.bin|" + digest + "0",
         "the digest is not 32 hexadecimal digits"},
        {"a letter past F", "data.bin|G" + digest.substr(1), "data.bin|G" + digest.substr(1),
         "the digest is not 32 hexadecimal digits"},
        {"a blank after the bar", "data.bin| " + digest, "data.bin| " + digest,
         "the digest is not 32 hexadecimal digits"},
        {"no bar", "data.bin", "data.bin", "no \"|\" between a name and a digest"},
        {"a control character in the name", "da\x01ta.bin|" + digest, "da\\x01ta.bin|" + digest,
         "the name is no file of the install folder"},
        {"a carriage return inside the line", "data.bin\r|" + digest, "data.bin\\x0D|" + digest,
         "the name is no file of the install folder"},
        {"a terminal's escape sequence", "data.bin|\x1b[2J" + digest.substr(4), "data.bin|\\x1B[2J" + digest.substr(4),
         "the digest is not 32 hexadecimal digits"},
        {"a next-line character and a delete", "data.bin|\x85\x7f" + digest.substr(2),
         "data.bin|\\x85\\x7F" + digest.substr(2), "the digest is not 32 hexadecimal digits"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        TempDir caseDir;
        folder = caseDir / L"client";
        UseFolder(folder);
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(Local("data.bin"), old));
        MakeReadOnly(Local("data.bin"));
        // What an earlier run left of a transfer: never joined to anything.
        ASSERT_TRUE(WriteFileBytes(Local("data.bin.tmp"), "held part"));
        server.Serve(kBase + "data.bin", HttpReply::Ok("any body at all"));
        const std::string manifest =
            Publish("good.bin", good) + "\r\n" + c.line + "\r\n" + Publish("last.bin", "last") + "\r\n";
        ServeManifest(manifest);
        recorder.Clear();
        ClearLog();
        const size_t requestsBefore = server.Requests().size();

        EXPECT_EQ(Run(), FALSE);

        ExpectedRun run;
        run.Begin();
        EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
        EXPECT_EQ(server.Requests().size(), requestsBefore + 2) << "only the lists are requested";
        EXPECT_TRUE(HasBytes(Local("data.bin"), old));
        EXPECT_TRUE(IsReadOnly(Local("data.bin")));
        EXPECT_TRUE(HasBytes(Local("data.bin.tmp"), "held part"));
        EXPECT_FALSE(PathExists(Local("good.bin")));
        EXPECT_FALSE(PathExists(Local("last.bin")));
        EXPECT_EQ(info.EstimatedSize, 0u);
        const std::string expected = "error: Manifest Client.txt, line 2 is damaged (" + std::string(c.problem) +
                                     "): " + c.logged + "\r\n";
        EXPECT_NE(LogText().find(expected), std::string::npos) << LogText();
    }
}

// A network that shows its login page in place of every answer (a hotel's or
// a school's): the list arrives as a web page, and the box says to log in;
// a list that is merely damaged is not mistaken for one.
TEST_F(DownloadClientFilesTest, AWebPageInPlaceOfTheListIsNamedAsALoginTheNetworkAsksFor)
{
    const struct {
        const char* label;
        std::string list;
        std::wstring detail;
    } kCases[] = {
        {"a login page", "<!DOCTYPE html>\r\n<html><body><form action=\"/login\">\r\n", LoginPageDetail()},
        {"a page without a declaration", "<html>\n<head><title>Sign in</title></head>\n", LoginPageDetail()},
        {"a damaged first line", "data.bin\r\n", L""},
        {"a damaged line after a good one", "a.bin|" + Md5("a") + "\r\n<html>\r\n", L""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        ServeManifest(c.list);
        DownloadFailure failure;
        failure.detail = L"(untouched)";

        EXPECT_EQ(DownloadClientFiles(server.Host().c_str(), &cancel, recorder.Window(), info, timings, &failure),
                  FALSE);

        EXPECT_EQ(failure.code, SETUP_ERR_DOWNLOAD);
        EXPECT_EQ(failure.detail, c.detail);
        EXPECT_FALSE(PathExists(Local("a.bin")));
    }
}

// A stale mirror or an error page served as 200: the fetched body is not the
// listed file, so the copy in place is neither replaced nor counted.
TEST_F(DownloadClientFilesTest, AFetchedFileWithAnotherDigestFailsAndTheOldCopyStays)
{
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::string old = "the copy an earlier run installed";
    const std::string listed = PatternBytes(70000, 11);
    ASSERT_TRUE(WriteFileBytes(Local("client.dll"), old));
    MakeReadOnly(Local("client.dll"));
    server.Serve(kBase + "client.dll", HttpReply::Ok("<html>try again later</html>"));
    const std::string manifest = "client.dll|" + Md5(listed) + "\n" + Publish("after.bin", "after") + "\n";
    ServeManifest(manifest);

    EXPECT_EQ(Run(), FALSE);

    ExpectedRun run;
    run.Begin()
        .Checked({L"client.dll", L"after.bin"})
        .Start(0, 2)
        .FetchStarts(L"client.dll")
        .Failed(L"client.dll");
    EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
    EXPECT_TRUE(HasBytes(Local("client.dll"), old));
    EXPECT_TRUE(IsReadOnly(Local("client.dll")));
    EXPECT_FALSE(PathExists(Local("client.dll.tmp")));
    EXPECT_FALSE(PathExists(Local("after.bin")));
    EXPECT_EQ(info.EstimatedSize, 0u);
}

// A client file that a running program holds open (a codec a media player
// has loaded) is still read, so a current one is kept instead of failing.
TEST_F(DownloadClientFilesTest, ACurrentFileInUseIsKept)
{
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::string codec = PatternBytes(5000, 12);
    ASSERT_TRUE(WriteFileBytes(Local("codec.ax"), codec));
    qxt::UniqueFileHandle player(::CreateFileW(Local("codec.ax").c_str(), GENERIC_READ | GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                               nullptr));
    ASSERT_TRUE(player);
    const std::string manifest = Publish("codec.ax", codec) + "\n";
    ServeManifest(manifest);

    EXPECT_EQ(Run(), TRUE);

    ExpectedRun run;
    run.Begin().Checked({L"codec.ax"}).Start(1, 1).Complete();
    EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
    EXPECT_EQ(info.EstimatedSize, codec.size());
    const std::vector<std::string> requested = {kSignedTarget, kPlainTarget};
    EXPECT_EQ(RequestedTargets(), requested);
}

TEST_F(DownloadClientFilesTest, AByteOrderMarkBeforeTheFirstNameIsSkipped)
{
    const std::string bytes = "first file";
    const std::string manifest = "\xEF\xBB\xBF" + Publish("first.bin", bytes) + "\r\n";
    ServeManifest(manifest);

    EXPECT_EQ(Run(), TRUE);

    EXPECT_TRUE(HasBytes(Local("first.bin"), bytes));
    const std::vector<std::string> requested = {kSignedTarget, kPlainTarget, kBase + "first.bin"};
    EXPECT_EQ(RequestedTargets(), requested);
}

// Names are used as paths below the install folder; one that would reach
// outside it, name a device or make a lookup find another file is a damaged
// line: refused before anything is read, fetched or written, even for the
// lines before it. "|D" stands for a valid digest, so only the name is wrong.
TEST_F(DownloadClientFilesTest, ANameLeavingTheInstallFolderIsRefused)
{
    static const char* const kLines[] = {
        "..\\outside.bin|D",
        "../outside.bin|D",
        "sub\\..\\..\\outside.bin|D",
        "sub/../../outside.bin|D",
        "...\\outside.bin|D",
        ".. \\outside.bin|D",
        "C:\\outside.bin|D",
        "C:outside.bin|D",
        "\\\\127.0.0.1\\share\\outside.bin|D",
        "\\outside.bin|D",
        "/outside.bin|D",
        "client.ini:stream|D",
        "|D",
        "no separator at all",
        "..",
        "NUL|D",
        "con|D",
        "aux.txt|D",
        "Prn .log|D",
        "COM1|D",
        "lpt9.dll|D",
        "sub\\nul|D",
        "CON\\outside.bin|D",
        "COM\xB9|D",
        "lpt\xB3.txt|D",
        "sub\\Com\xB2.ax|D",
        "a*.bin|D",
        "setup?.dll|D",
        "sub\\*|D",
        "a<b.bin|D",
        "a>b.bin|D",
        "a\"b.bin|D",
        "tab\tinside.bin|D",
        // Another spelling of a name Windows reads as one file: two
        // transfers would write one temporary file at once.
        "./fine.bin|D",
        ".\\fine.bin|D",
        "sub//fine.bin|D",
        "sub\\\\fine.bin|D",
        "sub/|D",
        "fine.bin.|D",
        "fine.bin |D",
        "sub. \\fine.bin|D",
        ".|D",
    };
    for (const char* line : kLines) {
        std::string bad = line;
        if (bad.size() >= 2 && bad.compare(bad.size() - 2, 2, "|D") == 0)
            bad.replace(bad.size() - 1, 1, Md5("outside"));
        SCOPED_TRACE(bad);
        TempDir caseDir;
        folder = caseDir / L"a\\b";
        ASSERT_TRUE(::CreateDirectoryW((caseDir / L"a").c_str(), nullptr));
        UseFolder(folder);
        const std::string manifest = Publish("fine.bin", "fine") + "\n" + bad + "\n";
        ServeManifest(manifest);
        recorder.Clear();
        ClearLog();
        const size_t requestsBefore = server.Requests().size();

        EXPECT_EQ(Run(), FALSE);

        ExpectedRun run;
        run.Begin();
        EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
        EXPECT_EQ(server.Requests().size(), requestsBefore + 2) << "only the lists are requested";
        EXPECT_FALSE(PathExists(caseDir / L"outside.bin"));
        EXPECT_FALSE(PathExists(caseDir / L"a\\outside.bin"));
        EXPECT_FALSE(PathExists(L"C:\\outside.bin"));
        EXPECT_FALSE(PathExists(Local("fine.bin")));
        EXPECT_NE(LogText().find("error: Manifest Client.txt, line 2 is damaged ("), std::string::npos) << LogText();
    }
}

TEST_F(DownloadClientFilesTest, ANameMayUseAnExistingSubFolderButAMissingOneFails)
{
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(Local("plugins").c_str(), nullptr));
    const std::string plugin = "plug-in";
    const std::string codec = "codec";
    server.Serve(kBase + "plugins/np.dll", HttpReply::Ok(plugin));  // WinInet sends "\" as "/"
    server.Serve(kBase + "codecs/c.dll", HttpReply::Ok(codec));
    const std::string manifest = "plugins\\np.dll|" + Md5(plugin) + "\n..hidden|" + Md5("x") +
                                 "\ncodecs\\c.dll|" + Md5(codec) + "\nlast.bin|" + Md5("x") + "\n";
    server.Serve(kBase + "..hidden", HttpReply::Ok("x"));
    ServeManifest(manifest);

    EXPECT_EQ(Run(), FALSE);

    ExpectedRun run;
    run.Begin()
        .Checked({L"plugins\\np.dll", L"..hidden", L"codecs\\c.dll", L"last.bin"})
        .Start(0, 4)
        .Fetched(L"plugins\\np.dll", 1, 4)
        .Fetched(L"..hidden", 2, 4)
        .FetchStarts(L"codecs\\c.dll")
        .Failed(L"codecs\\c.dll");
    EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
    EXPECT_TRUE(HasBytes(Local("plugins\\np.dll"), plugin));
    EXPECT_FALSE(PathExists(Local("codecs")));
    EXPECT_FALSE(PathExists(Local("last.bin")));

    // Wine's shell delete leaves a folder holding "..hidden" behind.
    ::SetFileAttributesW(Local("..hidden").c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(Local("..hidden").c_str());
}

// A kept file whose contents cannot be read (here a link to /proc/self/mem,
// which fails every read at offset 0) cannot be shown to be current, so it is
// fetched again like a file that cannot be opened. What follows the transfer
// is Wine's business: it cannot replace a link to /proc, so only the
// sequence up to the transfer is compared.
TEST_F(DownloadClientFilesTest, AKeptFileThatCannotBeReadIsFetchedAgain)
{
    folder = LinuxFixtureFolder("download-loop");
    UseFolder(folder);
    ASSERT_TRUE(PathExists(Local("unreadable.bin"))) << "run through ctest: the fixture links unreadable.bin";
    const std::string bytes = PatternBytes(4000, 8);
    const std::string manifest = Publish("unreadable.bin", bytes) + "\n";
    ServeManifest(manifest);

    Run();

    ExpectedRun run;
    run.Begin().Checked({L"unreadable.bin"}).Start(0, 1).FetchStarts(L"unreadable.bin");
    std::vector<RecordedMessage> messages = Collapsed();
    if (messages.size() > run.Messages().size())
        messages.resize(run.Messages().size());
    EXPECT_TRUE(MatchesSequence(messages, run.Messages()));
    const std::vector<std::string> requested = {kSignedTarget, kPlainTarget, kBase + "unreadable.bin"};
    EXPECT_EQ(RequestedTargets(), requested);
}

TEST_F(DownloadClientFilesTest, CancelOnceTheManifestIsReadEndsWithoutAnyTransfer)
{
    ServeManifest(Publish("a.bin", "a") + "\n");
    // The manifest's transfer has completed and its lines are read: the
    // files in place are being read.
    recorder.SetHook([&](const RecordedMessage& m) {
        if (m.message == WM_SETUP_STATUS_TEXT && m.text.rfind(L"正在校验...", 0) == 0)
            ::InterlockedExchange(&cancel, 1);
    });

    EXPECT_EQ(Run(), FALSE);

    ExpectedRun run;
    run.Begin().Checked({L"a.bin"});
    EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
    EXPECT_TRUE(PathExists(Local("Client.txt")));
    const std::vector<std::string> requested = {kSignedTarget, kPlainTarget};
    EXPECT_EQ(RequestedTargets(), requested);
}

TEST_F(DownloadClientFilesTest, CancelBetweenEntriesStopsBeforeTheNextOne)
{
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(Local("a.bin"), "a"));
    const std::string manifest = Publish("a.bin", "a") + "\n" + Publish("b.bin", "b") + "\n";
    ServeManifest(manifest);
    // The counter starts at the kept file; b.bin has not been taken up.
    recorder.SetHook([&](const RecordedMessage& m) {
        if (m.message == WM_DOWNLOAD_FILE_INDEX && m.wParam == 1)
            ::InterlockedExchange(&cancel, 1);
    });

    EXPECT_EQ(Run(), FALSE);

    ExpectedRun run;
    run.Begin().Checked({L"a.bin", L"b.bin"}).Start(1, 2);
    EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
    EXPECT_FALSE(PathExists(Local("b.bin")));
}

TEST_F(DownloadClientFilesTest, CancelDuringATransferReportsThatFileAsFailedAndTheNextRunGoesOn)
{
    HttpReply slow = HttpReply::Ok(PatternBytes(300000, 9));
    slow.holdAfter = 100000;
    server.Serve(kBase + "big.bin", slow);
    const std::string manifest = "big.bin|" + Md5(slow.body) + "\n" + Publish("after.bin", "after") + "\n";
    ServeManifest(manifest);
    // The cancel comes once part of the body is on disk: sooner, the first
    // chunk may still be unread and nothing would be held for the next run.
    std::thread user([&] {
        if (server.WaitUntilHeld() && WaitUntil([&] { return !ReadFileBytes(Local("big.bin.tmp")).empty(); }))
            ::InterlockedExchange(&cancel, 1);
        server.Release();
    });

    const BOOL result = Run();
    user.join();

    EXPECT_EQ(result, FALSE);
    ExpectedRun run;
    run.Begin()
        .Checked({L"big.bin", L"after.bin"})
        .Start(0, 2)
        .FetchStarts(L"big.bin")
        .Failed(L"big.bin");
    EXPECT_TRUE(MatchesSequence(Collapsed(), run.Messages()));
    EXPECT_FALSE(PathExists(Local("big.bin")));
    EXPECT_TRUE(PathExists(Local("big.bin.tmp")));
    EXPECT_FALSE(PathExists(Local("after.bin")));

    // The next run asks only for the rest of what the cancel left.
    const size_t held = ReadFileBytes(Local("big.bin.tmp")).size();
    ASSERT_GT(held, 0u);
    server.SetHandler([&](const HttpRequestRecord& request) {
        if (request.target == kBase + "big.bin")
            return RangeAnswer(slow.body, request);
        if (request.target == kBase + "after.bin")
            return HttpReply::Ok("after");
        return HttpReply::Ok(manifest);
    });
    ::InterlockedExchange(&cancel, 0);
    recorder.Clear();

    EXPECT_EQ(Run(), TRUE);

    EXPECT_TRUE(HasBytes(Local("big.bin"), slow.body));
    EXPECT_FALSE(PathExists(Local("big.bin.tmp")));
    const std::vector<HttpRequestRecord> requests = server.Requests();
    ASSERT_GE(requests.size(), 2u);
    const HttpRequestRecord& resumed = requests[requests.size() - 2];
    EXPECT_EQ(resumed.target, kBase + "big.bin");
    EXPECT_EQ(resumed.Header("Range"), "bytes=" + std::to_string(held) + "-");
    EXPECT_EQ(info.EstimatedSize, slow.body.size() + 5) << "the whole file counts, not the part fetched";
}

// The manifest asked for says whether the .NET Framework 4 Client Profile is
// installed, from the "Install" value of either of its two registry keys.
class DotNetKeys {
public:
    static constexpr const wchar_t* kKeys[2] = {
        L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4.0\\Client",
        L"Software\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client",
    };
    DotNetKeys()
    {
        HKEY setup = nullptr;
        m_setupExisted = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSetupKey, 0, KEY_READ, &setup) == ERROR_SUCCESS;
        if (setup)
            ::RegCloseKey(setup);
        for (int i = 0; i < 2; ++i) {
            HKEY key = nullptr;
            m_existed[i] = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeys[i], 0, KEY_READ, &key) == ERROR_SUCCESS;
            if (key) {
                DWORD size = sizeof m_value[i];
                m_hadValue[i] = ::RegQueryValueExW(key, L"Install", nullptr, nullptr,
                                                   reinterpret_cast<BYTE*>(&m_value[i]), &size) == ERROR_SUCCESS;
                ::RegCloseKey(key);
            }
        }
    }
    ~DotNetKeys()
    {
        if (!m_setupExisted) {
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSetupKey);
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if (!m_existed[i])
                ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKeys[i]);
            else if (m_hadValue[i])
                Set(i, m_value[i]);
            else
                Set(i, -1);
        }
    }
    // value -1 removes the key's "Install" value (and a key this test made).
    void Set(int i, long long value)
    {
        if (value < 0) {
            HKEY key = nullptr;
            if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeys[i], 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
                ::RegDeleteValueW(key, L"Install");
                ::RegCloseKey(key);
            }
            if (!m_existed[i])
                ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKeys[i]);
            return;
        }
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeys[i], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                    nullptr),
                  ERROR_SUCCESS);
        const DWORD dword = static_cast<DWORD>(value);
        ::RegSetValueExW(key, L"Install", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), sizeof dword);
        ::RegCloseKey(key);
    }

private:
    static constexpr const wchar_t* kSetupKey = L"Software\\Microsoft\\NET Framework Setup";
    bool m_setupExisted = false;
    bool m_existed[2] = {};
    bool m_hadValue[2] = {};
    DWORD m_value[2] = {};
};

TEST_F(DownloadClientFilesTest, TheManifestRequestCarriesTheDotNetFlag)
{
    static const struct {
        const char* label;
        long long v40;  // -1: no value
        long long v4;
        char flag;
    } kCases[] = {
        {"neither key", -1, -1, '0'},
        {"v4.0 installed", 1, -1, '1'},
        {"v4 installed", -1, 1, '1'},
        {"v4.0 not installed, v4 installed", 0, 1, '1'},
        {"both present but not 1", 0, 2, '0'},
    };
    DotNetKeys keys;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        keys.Set(0, c.v40);
        keys.Set(1, c.v4);
        const std::string target = kBase + "files&dotnet=" + c.flag;
        server.Serve(kBase + "files&dotnet=0", HttpReply::Status(404, "Not Found"));
        server.Serve(kBase + "files&dotnet=1", HttpReply::Status(404, "Not Found"));
        server.Serve(target, HttpReply::Ok(Publish("a.bin", "a") + "\n"));
        const size_t before = server.Requests().size();

        EXPECT_EQ(Run(), TRUE);

        // The signed list (none here), the manifest, then a.bin unless an
        // earlier row left it current.
        const std::vector<HttpRequestRecord> requests = server.Requests();
        ASSERT_GT(requests.size(), before + 1);
        EXPECT_EQ(requests[before].target, target + "&signed=1");
        EXPECT_EQ(requests[before + 1].target, target);
        for (size_t i = before + 2; i < requests.size(); ++i)
            EXPECT_EQ(requests[i].target, kBase + "a.bin");
    }
}

}  // namespace
