// DownloadClientFiles with several transfers at once against a real HTTP
// server on 127.0.0.1 (one thread per connection): what lands, what the run
// reports when transfers fail or the user cancels, a file named twice, and
// the whole download's counter and bar.
#include "download/DownloadClientFiles.h"
#include "download/EarlierListReadAhead.h"

#include "core/SetupMessages.h"
#include "transfer/ProxyLogin.h"
#include "framework/LogFile.h"
#include "framework/Sha256.h"
#include "tests/support/DownloadTestSupport.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Wait.h"
#include "tests/support/WholeDownload.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace qxt::test;

namespace {

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Sha256Hex(const std::string& bytes)
{
    Sha256Digest digest{};
    EXPECT_TRUE(Sha256OfBytes(bytes.data(), bytes.size(), digest));
    const std::wstring hex = HexText(digest);
    return std::string(hex.begin(), hex.end());
}

struct ListedBytes {
    std::string name;
    std::string bytes;
};

// A signed list as a server without the publisher's key in the program may
// serve it: its sizes are used, its signature is not checked. Its names are
// in byte order.
std::string UnkeyedSignedList(std::vector<ListedBytes> files)
{
    std::sort(files.begin(), files.end(), [](const ListedBytes& a, const ListedBytes& b) { return a.name < b.name; });
    std::string list = "format qxt-signed-file-list 1\nversion 7\nexpires 2099-01-01T00:00:00Z\n";
    for (const ListedBytes& file : files)
        list += "file " + std::to_string(file.bytes.size()) + " " + Sha256Hex(file.bytes) + " " + file.name + "\n";
    return list + "signature " + std::string(128, '0') + "\n";
}

class ParallelDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Started());
        ASSERT_NE(recorder.Window(), nullptr);
        folder = dir / L"Quolix Client";
        wcscpy_s(info.InstallLocation, folder.c_str());
        ASSERT_TRUE(ProcessLog().Open(dir / L"run.log", L""));
        timings.retryPausesMs = {20, 20, 20};
        ASSERT_EQ(timings.transfers, 8u) << "the default this test is about";
    }
    void TearDown() override
    {
        server.Release();
        ProcessLog().Close();
    }

    // Serves every file through handler-side bookkeeping: how many requests
    // are answered at once, overall and per file as Windows names it.
    void ServeFiles(const std::vector<ListedBytes>& files, const std::string& list, bool signedList)
    {
        for (const ListedBytes& file : files)
            replies[kBase + file.name] = HttpReply::Ok(file.bytes);
        if (signedList)
            replies[kSignedTarget] = HttpReply::Ok(list);
        else
            replies[kPlainTarget] = HttpReply::Ok(list);
        server.SetHandler([this](const HttpRequestRecord& request) {
            const std::string key = Upper(request.target);
            {
                std::lock_guard<std::mutex> guard(lock);
                ++inFlight;
                mostAtOnce = std::max(mostAtOnce, inFlight);
                if (++perFile[key] > 1)
                    sharedAFile = true;
            }
            if (const auto wait = waits.find(request.target); wait != waits.end())
                wait->second();
            HttpReply reply = replies.count(request.target) ? replies[request.target]
                                                            : HttpReply::Status(404, "Not Found");
            // Long enough for the transfers to overlap.
            if (request.target.find("filename=files") == std::string::npos)
                ::Sleep(30);
            std::lock_guard<std::mutex> guard(lock);
            --inFlight;
            --perFile[key];
            return reply;
        });
    }

    BOOL Run(DownloadFailure* failure = nullptr)
    {
        return DownloadClientFiles(server.Host().c_str(), &cancel, recorder.Window(), info, timings, failure);
    }
    std::wstring Local(const std::string& name) const { return folder + L"\\" + Widen(name); }
    std::vector<std::wstring> FailedTexts() const
    {
        std::vector<std::wstring> texts;
        for (const RecordedMessage& m : recorder.Messages())
            if (m.message == WM_DOWNLOAD_FAILED)
                texts.push_back(m.text);
        return texts;
    }

    TestHttpServer server;
    MessageRecorder recorder;
    TempDir dir;
    std::wstring folder;
    InstallInfo info{};
    volatile LONG cancel = 0;
    DownloadTimings timings;

    std::map<std::string, HttpReply> replies;
    std::map<std::string, std::function<void()>> waits;  // a request that waits before its answer
    std::mutex lock;
    int inFlight = 0;
    int mostAtOnce = 0;
    std::map<std::string, int> perFile;
    bool sharedAFile = false;
};

std::vector<ListedBytes> SampleFiles(size_t count)
{
    std::vector<ListedBytes> files;
    for (size_t i = 0; i < count; ++i)
        files.push_back({"file" + std::to_string(i) + ".bin", PatternBytes(2000 + i * 3100, static_cast<unsigned>(i + 1))});
    return files;
}

std::string PlainList(const std::vector<ListedBytes>& files)
{
    std::string list;
    for (const ListedBytes& file : files)
        list += file.name + "|" + Md5(file.bytes) + "\r\n";
    return list;
}

// Every file lands with its bytes, up to eight requests at a time, and the
// counter and the bar describe the whole download: files of a plain list,
// bytes of a signed one.
TEST_F(ParallelDownloadTest, EveryFileLandsAndTheBarCountsTheWholeList)
{
    const std::vector<ListedBytes> files = SampleFiles(24);
    ULONGLONG bytes = 0;
    for (const ListedBytes& file : files)
        bytes += file.bytes.size();
    for (const bool signedList : {false, true}) {
        SCOPED_TRACE(signedList ? "signed list: bytes" : "plain list: files");
        TempDir caseDir;
        folder = caseDir / L"client";
        wcscpy_s(info.InstallLocation, folder.c_str());
        info.EstimatedSize = 0;
        replies.clear();
        mostAtOnce = 0;
        recorder.Clear();
        ServeFiles(files, signedList ? UnkeyedSignedList(files) : PlainList(files), signedList);

        ASSERT_EQ(Run(), TRUE) << ReadFileBytes(dir / L"run.log");

        for (const ListedBytes& file : files) {
            EXPECT_TRUE(HasBytes(Local(file.name), file.bytes)) << file.name;
            EXPECT_FALSE(PathExists(Local(file.name) + L".tmp")) << file.name;
        }
        EXPECT_EQ(info.EstimatedSize, bytes);
        EXPECT_GT(mostAtOnce, 1) << "the transfers never overlapped";
        EXPECT_LE(mostAtOnce, 8);
        WholeDownloadShape shape;
        for (const ListedBytes& file : files) {
            shape.checked.push_back(Widen(file.name));
            shape.fetched.push_back(Widen(file.name));
        }
        shape.count = files.size();
        shape.upper = signedList ? bytes : files.size();
        EXPECT_EQ(WholeDownloadProblems(recorder.Messages(), shape), "");
    }
}

// When transfers fail, the run reports the first failing entry in list
// order, whichever failed first: the later one fails at once, the earlier
// one only after that. Transfers of later entries stop, earlier ones end
// their file; no file lands partial, and a second run completes the folder.
TEST_F(ParallelDownloadTest, TheFirstFailingEntryInListOrderIsTheOneReported)
{
    const std::vector<ListedBytes> files = SampleFiles(12);
    const struct {
        const char* label;
        size_t early;     // fails only once the later one has failed (npos: none)
        size_t late;      // fails at once
        size_t reported;
    } kCases[] = {
        {"one entry fails", std::string::npos, 5, 5},
        {"an earlier entry fails after a later one", 3, 9, 3},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        TempDir caseDir;
        folder = caseDir / L"client";
        wcscpy_s(info.InstallLocation, folder.c_str());
        replies.clear();
        waits.clear();
        recorder.Clear();
        ServeFiles(files, PlainList(files), false);
        replies[kBase + files[c.late].name] = HttpReply::Status(404, "Not Found");
        // Answered once the later entry's failure is in the log: the early
        // entry fails after it, and the two entries after it are still
        // under way when their transfers are stopped.
        const std::string lateLine = "filename=" + files[c.late].name + ": status 404";
        const auto afterTheLateFailure = [this, lateLine] {
            EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(dir / L"run.log").find(lateLine) != std::string::npos; }));
        };
        if (c.early != std::string::npos) {
            replies[kBase + files[c.early].name] = HttpReply::Status(404, "Not Found");
            waits[kBase + files[c.early].name] = afterTheLateFailure;
        }
        for (size_t i = c.late + 1; i < files.size() && i <= c.late + 2; ++i)
            waits[kBase + files[i].name] = afterTheLateFailure;
        DownloadFailure failure;
        const size_t logBefore = ReadFileBytes(dir / L"run.log").size();

        EXPECT_EQ(Run(&failure), FALSE);

        // The failure carries its own request's line; the transfers it
        // stopped log plain lines, so the log's errors are the failures'.
        EXPECT_NE(failure.cause.find(Widen("filename=" + files[c.reported].name + ": status 404")), std::wstring::npos)
            << ToUtf8(failure.cause);
        const std::string log = ReadFileBytes(dir / L"run.log").substr(logBefore);
        for (size_t at = log.find("error: "); at != std::string::npos; at = log.find("error: ", at + 1)) {
            const std::string line = log.substr(at, log.find('\n', at) - at);
            const bool failing = line.find("filename=" + files[c.late].name + ":") != std::string::npos ||
                                 (c.early != std::string::npos &&
                                  line.find("filename=" + files[c.early].name + ":") != std::string::npos);
            EXPECT_TRUE(failing) << "an error line for a transfer that did not fail: " << line;
        }

        const std::wstring reported = L"正在下载..." + Widen(files[c.reported].name) + L" : 失败!";
        EXPECT_EQ(FailedTexts(), std::vector<std::wstring>{reported});
        EXPECT_EQ(recorder.Messages().back().message, WM_DOWNLOAD_FAILED);
        EXPECT_EQ(failure.code, SETUP_ERR_DOWNLOAD);
        for (size_t i = 0; i < files.size(); ++i) {
            const bool failing = i == c.late || i == c.early;
            const bool landed = PathExists(Local(files[i].name));
            if (failing) {
                EXPECT_FALSE(landed) << files[i].name;
            }
            else if (landed) {
                EXPECT_TRUE(HasBytes(Local(files[i].name), files[i].bytes)) << files[i].name;
            }
            if (i < c.reported) {
                EXPECT_TRUE(HasBytes(Local(files[i].name), files[i].bytes)) << "an earlier entry ends its file: "
                                                                             << files[i].name;
            }
        }

        // The server mends its files: the next run completes the folder.
        replies.erase(kBase + files[c.late].name);
        if (c.early != std::string::npos)
            replies.erase(kBase + files[c.early].name);
        for (const ListedBytes& file : files)
            replies[kBase + file.name] = HttpReply::Ok(file.bytes);
        waits.clear();
        EXPECT_EQ(Run(), TRUE);
        for (const ListedBytes& file : files)
            EXPECT_TRUE(HasBytes(Local(file.name), file.bytes)) << file.name;
    }
}

// A proxy asks for a login on every file while eight transfers run, and the
// user leaves the login box (a silent run has nobody to ask: the same): the
// answer holds for the whole run. Only one box is shown, the transfers that
// waited for their turn leave without asking, the log has one error for the
// login, and the run ends with the login's code.
TEST_F(ParallelDownloadTest, ADeclinedProxyLoginIsAskedForOnceWhateverTheTransfersAtOnce)
{
    const std::vector<ListedBytes> files = SampleFiles(12);
    const std::string list = PlainList(files);
    std::atomic<int> challenged{0};
    // The test's server is the proxy: the lists pass, every file wants a login.
    server.SetHandler([&](const HttpRequestRecord& request) {
        if (request.target.find("filename=files&dotnet=") != std::string::npos)
            return request.target.find("signed=1") != std::string::npos ? HttpReply::Status(404, "Not Found")
                                                                        : HttpReply::Ok(list);
        ++challenged;
        HttpReply login = HttpReply::Status(407, "Proxy Authentication Required");
        login.extraHeaders = {"Proxy-Authenticate: Basic realm=\"school\""};
        return login;
    });
    UseProxy(server.Host());
    ForgetProxyLogin();
    // The box is left once every transfer has met the challenge and waits.
    recorder.SetHook([&](const RecordedMessage& m) {
        if (m.message == WM_SETUP_PROXY_LOGIN) {
            EXPECT_TRUE(WaitUntil([&] { return challenged.load() >= 8; }));
        }
    });
    DownloadFailure failure;

    // The servers the requests are for never answer: only the proxy does.
    const BOOL result = DownloadClientFiles(L"127.0.0.1:9", &cancel, recorder.Window(), info, timings, &failure);
    UseProxy(L"");

    EXPECT_EQ(result, FALSE);
    EXPECT_EQ(failure.code, SETUP_ERR_PROXY_LOGIN);
    size_t boxes = 0;
    for (const RecordedMessage& m : recorder.Messages())
        boxes += m.message == WM_SETUP_PROXY_LOGIN;
    EXPECT_EQ(boxes, 1u);
    const std::string log = ReadFileBytes(dir / L"run.log");
    size_t loginErrors = 0;
    for (size_t at = log.find("error: Proxy"); at != std::string::npos; at = log.find("error: Proxy", at + 1))
        ++loginErrors;
    EXPECT_EQ(loginErrors, 1u) << log;
    EXPECT_NE(failure.cause.find(L"asks for a login"), std::wstring::npos) << ToUtf8(failure.cause);
    EXPECT_EQ(FailedTexts().size(), 1u);
    for (const ListedBytes& file : files)
        EXPECT_FALSE(PathExists(Local(file.name))) << file.name;

    // The next run asks again.
    recorder.Clear();
    recorder.SetHook(nullptr);
    challenged = 0;
    UseProxy(server.Host());
    EXPECT_EQ(DownloadClientFiles(L"127.0.0.1:9", &cancel, recorder.Window(), info, timings, &failure), FALSE);
    UseProxy(L"");
    boxes = 0;
    for (const RecordedMessage& m : recorder.Messages())
        boxes += m.message == WM_SETUP_PROXY_LOGIN;
    EXPECT_EQ(boxes, 1u) << "a new run asks again";
}

// A cancel while eight transfers wait on a server that has stopped sending
// ends the run within the bound; what arrived stays in the temporary files
// and nothing lands.
TEST_F(ParallelDownloadTest, ACancelDuringTransfersAtOnceReturnsWithinTheBound)
{
    constexpr ULONGLONG kBoundMs = 5000;
    std::vector<ListedBytes> files = SampleFiles(10);
    for (ListedBytes& file : files)
        file.bytes = PatternBytes(200000, static_cast<unsigned>(file.name.size() + file.bytes.size()));
    ServeFiles(files, PlainList(files), false);
    for (const ListedBytes& file : files)
        replies[kBase + file.name].holdAfter = 50000;
    std::atomic<ULONGLONG> cancelledAt{0};
    std::thread user([&] {
        // The two lists and eight files asked for, and a body held.
        if (WaitUntil([&] { return server.Requests().size() >= 10; }) && server.WaitUntilHeld()) {
            cancelledAt = ::GetTickCount64();
            ::InterlockedExchange(&cancel, 1);
        }
    });

    const BOOL result = Run();
    const ULONGLONG returnedAt = ::GetTickCount64();
    user.join();
    server.Release();

    EXPECT_EQ(result, FALSE);
    ASSERT_NE(cancelledAt.load(), 0u) << "the transfers never all started";
    EXPECT_LT(returnedAt - cancelledAt, kBoundMs);
    for (const ListedBytes& file : files)
        EXPECT_FALSE(PathExists(Local(file.name))) << file.name;
    EXPECT_EQ(FailedTexts().size(), 1u) << "a cancel shows as the failure of the first entry it stopped";
}

// Two entries naming one file in two spellings are one file on Windows:
// they are fetched one after the other, never at once into one temporary
// file, and the file ends as the later entry lists it.
TEST_F(ParallelDownloadTest, EntriesNamingOneFileInTwoCasesAreFetchedOneAfterTheOther)
{
    std::vector<ListedBytes> files = SampleFiles(6);
    files.insert(files.begin() + 1, {"Codec.ax", PatternBytes(150000, 41)});
    files.push_back({"CODEC.AX", PatternBytes(90000, 42)});
    ServeFiles(files, PlainList(files), false);
    replies[kBase + "Codec.ax"].delayPerChunkMs = 20;  // still arriving when the rest is taken up

    ASSERT_EQ(Run(), TRUE);

    EXPECT_FALSE(sharedAFile) << "two requests for one file at once";
    EXPECT_TRUE(HasBytes(Local("codec.ax"), files.back().bytes));
    EXPECT_FALSE(PathExists(Local("codec.ax.tmp")));
}

// The files an earlier list named are read while the new list comes; a
// digest read then stands only for the file as it still is.
TEST(EarlierListReadAhead, GivesADigestOnlyForAListedFileThatHasNotChangedSince)
{
    TempDir dir;
    const std::wstring folder = dir / L"client\\";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::vector<ListedBytes> files = {{"a.bin", PatternBytes(70000, 51)},
                                            {"b.bin", PatternBytes(3000, 52)},
                                            {"c.bin", PatternBytes(5000, 53)}};
    for (const ListedBytes& file : files)
        ASSERT_TRUE(WriteFileBytes(folder + Widen(file.name), file.bytes));
    ASSERT_TRUE(WriteFileBytes(folder + L"unlisted.bin", "not in the list"));
    ASSERT_TRUE(WriteFileBytes(folder + L"Client.signed", UnkeyedSignedList({files[0], files[1]})));

    EarlierListReadAhead readAhead(folder, 2);
    readAhead.Wait();
    readAhead.Finish();
    // b.bin changes after it was read: same length, other bytes, a later write.
    const std::string changed = PatternBytes(3000, 54);
    ASSERT_TRUE(WriteFileBytes(folder + L"b.bin", changed));
    HANDLE file = ::CreateFileW((folder + L"b.bin").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER minuteOn{{now.dwLowDateTime, now.dwHighDateTime}};
    minuteOn.QuadPart += 10000000ULL * 60;
    const FILETIME later{minuteOn.LowPart, minuteOn.HighPart};
    EXPECT_TRUE(::SetFileTime(file, nullptr, nullptr, &later));
    ::CloseHandle(file);

    EXPECT_EQ(readAhead.Count(), 2u);
    const struct {
        const wchar_t* name;
        const std::string* bytes;  // null: no digest
    } kCases[] = {
        {L"a.bin", &files[0].bytes},
        {L"A.BIN", &files[0].bytes},  // one file on Windows
        {L"b.bin", nullptr},          // changed since it was read
        {L"c.bin", nullptr},          // not in the earlier list
        {L"unlisted.bin", nullptr},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
        Sha256Digest digest{};
        ULONGLONG length = 0;
        ASSERT_EQ(readAhead.Digest(c.name, digest, length), c.bytes != nullptr);
        if (c.bytes) {
            EXPECT_EQ(HexText(digest), Widen(Sha256Hex(*c.bytes)));
            EXPECT_EQ(length, c.bytes->size());
        }
    }

    // A list that is not one (a plain list, one cut before its signature) names nothing.
    const std::string whole = UnkeyedSignedList({files[0]});
    for (const std::string& damaged : {std::string("a.bin|0123\r\n"), whole.substr(0, whole.find("signature"))}) {
        ASSERT_TRUE(WriteFileBytes(folder + L"Client.signed", damaged));
        EarlierListReadAhead none(folder, 2);
        none.Finish();
        EXPECT_EQ(none.Count(), 0u);
    }
}

}  // namespace
