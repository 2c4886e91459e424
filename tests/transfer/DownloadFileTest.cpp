// DownloadFile against a real HTTP server on 127.0.0.1: the exact request,
// what ends up on disk, and the progress messages the dialog receives.
#include "transfer/DownloadFile.h"

#include "transfer/FailureDetail.h"
#include "trust/MD5Checksum.h"
#include "framework/Handles.h"

#include "core/SetupMessages.h"
#include "tests/support/DownloadTestSupport.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TransferProgress.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

using namespace qxt::test;

namespace {

constexpr char kTarget[] = "/Custom/DownloadClient?filename=files&dotnet=0";

class DownloadFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Started());
        ASSERT_NE(recorder.Window(), nullptr);
        destination = dir / L"Client.txt";
        temporary = destination + L".tmp";
    }

    std::wstring Url(const std::string& target) const { return L"http://" + server.Host() + Widen(target); }

    ULONGLONG Fetch(const std::string& target, const wchar_t* digest = nullptr)
    {
        return FetchUrl(Url(target), digest);
    }
    ULONGLONG FetchUrl(const std::wstring& url, const wchar_t* digest = nullptr)
    {
        DownloadOptions given = options;
        given.expectedDigest = digest;
        return DownloadFile(destination.c_str(), url.c_str(), recorder.Window(), &cancel, given);
    }

    // The progress messages with each transfer's run collapsed into one entry.
    std::vector<RecordedMessage> Transfers()
    {
        std::string problems;
        std::vector<RecordedMessage> collapsed = CollapseTransfers(recorder.Messages(), problems);
        EXPECT_EQ(problems, "");
        return collapsed;
    }

    TestHttpServer server;
    MessageRecorder recorder;
    TempDir dir;
    volatile LONG cancel = 0;
    // The real timeouts; pauses before a retry short enough for a test.
    DownloadOptions options = [] {
        DownloadOptions o;
        o.timings.retryPausesMs = {20, 20, 20};
        return o;
    }();
    std::wstring destination;
    std::wstring temporary;
};

TEST_F(DownloadFileTest, SendsOneGetOfTheObjectWithItsQueryAndTheHeaderBlock)
{
    server.Serve(kTarget, HttpReply::Ok("a|0123\n"));

    EXPECT_EQ(Fetch(kTarget), 7u);

    const std::vector<HttpRequestRecord> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, "GET /Custom/DownloadClient?filename=files&dotnet=0 HTTP/1.1");
    // The agent of the header block wins over the session's, and nothing asks
    // a cache or proxy for a stored copy.
    const std::vector<std::string> expectedHeaders = {
        "Accept: */*",
        "User-Agent: QXTSetup",
        "Host: 127.0.0.1:" + std::to_string(server.Port()),
    };
    EXPECT_EQ(requests[0].headerLines, expectedHeaders);
}

// Progress goes out when the bar's whole percent changes (or 50 ms pass), not
// per chunk: against the earlier one message per chunk only the number of
// progress messages differs, the first (0) and the last (the whole) stay.
TEST_F(DownloadFileTest, StoresTheWholeBodyReadOnlyAndReportsItsProgress)
{
    static const size_t kSizes[] = {1, 32767, 32768, 32769, 100000, 300001};
    for (size_t size : kSizes) {
        SCOPED_TRACE("body of " + std::to_string(size) + " bytes");
        const std::string body = PatternBytes(size, static_cast<unsigned>(size));
        server.Serve(kTarget, HttpReply::Ok(body));
        recorder.Clear();

        EXPECT_EQ(Fetch(kTarget), size);

        EXPECT_TRUE(HasBytes(destination, body));
        EXPECT_TRUE(IsReadOnly(destination));
        EXPECT_FALSE(PathExists(temporary));
        EXPECT_TRUE(MatchesSequence(Transfers(), {{kTransfer, size, size}}));
        const std::vector<RecordedMessage> messages = recorder.Messages();
        ASSERT_GE(messages.size(), 2u) << "the first and the last report";
        EXPECT_EQ(messages.front().wParam, 0u);
        EXPECT_EQ(messages.back().wParam, size);
        EXPECT_LE(messages.size(), 1 + (size + 32767) / 32768) << "never more than one per chunk";
    }
}

// A large body is reported in about one message per whole percent, not one
// per chunk; the 50 ms rule may add a few on a slow machine.
TEST_F(DownloadFileTest, ALargeBodyIsReportedByPercentNotByChunk)
{
    const size_t size = 64 * 1024 * 1024;
    server.Serve(kTarget, HttpReply::Ok(PatternBytes(size, 5)));

    EXPECT_EQ(Fetch(kTarget), size);

    EXPECT_TRUE(MatchesSequence(Transfers(), {{kTransfer, size, size}}));
    const std::vector<RecordedMessage> messages = recorder.Messages();
    EXPECT_GE(messages.size(), 101u) << "every whole percent shows";
    EXPECT_LT(messages.size(), size / 32768) << "fewer than one per chunk";
    for (size_t i = 1; i < messages.size(); ++i) {
        const unsigned long long before = messages[i - 1].wParam * 100ull / size;
        const unsigned long long after = messages[i].wParam * 100ull / size;
        EXPECT_LE(after - before, 1u) << "the bar skipped a percent at message " << i;
    }
}

TEST_F(DownloadFileTest, AnyTwoHundredStatusPassesAndOthersFailWithoutATemporaryFile)
{
    static const struct {
        int status;
        const char* reason;
        bool passes;
    } kCases[] = {
        {200, "OK", true},
        {206, "Partial Content", true},
        {299, "Whatever", true},
        {404, "Not Found", false},
        {500, "Internal Server Error", false},
        {403, "Forbidden", false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE("status " + std::to_string(c.status));
        ::SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(destination.c_str());
        HttpReply reply = HttpReply::Status(c.status, c.reason);
        reply.body = "the body of a " + std::to_string(c.status);
        server.Serve(kTarget, reply);
        recorder.Clear();

        const ULONGLONG result = Fetch(kTarget);

        EXPECT_FALSE(PathExists(temporary));
        if (c.passes) {
            EXPECT_EQ(result, reply.body.size());
            EXPECT_TRUE(HasBytes(destination, reply.body));
        } else {
            EXPECT_EQ(result, 0u);
            EXPECT_FALSE(PathExists(destination));
            EXPECT_TRUE(MatchesSequence(recorder.Messages(), {}));
        }
    }
}

TEST_F(DownloadFileTest, AnEmptyDeclaredBodyIsStoredYetCountsAsFailed)
{
    ASSERT_TRUE(WriteFileBytes(destination, "old"));
    MakeReadOnly(destination);
    server.Serve(kTarget, HttpReply::Ok(""));

    EXPECT_EQ(Fetch(kTarget), 0u);

    EXPECT_TRUE(PathExists(destination));
    EXPECT_TRUE(HasBytes(destination, ""));
    EXPECT_TRUE(IsReadOnly(destination));
    EXPECT_FALSE(PathExists(temporary));
    EXPECT_TRUE(MatchesSequence(recorder.Messages(), {{WM_DOWNLOAD_PROGRESS, 0, 0}}));
}

TEST_F(DownloadFileTest, AReadOnlyDestinationIsReplacedAndReadOnlyAgain)
{
    ASSERT_TRUE(WriteFileBytes(destination, "an older and longer copy of the file"));
    MakeReadOnly(destination);
    server.Serve(kTarget, HttpReply::Ok("new"));

    EXPECT_EQ(Fetch(kTarget), 3u);

    EXPECT_TRUE(HasBytes(destination, "new"));
    EXPECT_TRUE(IsReadOnly(destination));
}

TEST_F(DownloadFileTest, ATemporaryFileLeftByAnEarlierRunIsOverwritten)
{
    ASSERT_TRUE(WriteFileBytes(temporary, std::string(70000, 'z')));
    server.Serve(kTarget, HttpReply::Ok("short"));

    EXPECT_EQ(Fetch(kTarget), 5u);

    EXPECT_TRUE(HasBytes(destination, "short"));
    EXPECT_FALSE(PathExists(temporary));
}

// Every way a body can fail to arrive whole: the file already in place stays
// exactly as it was, and no temporary file is left behind (without a digest
// nothing is resumed, so nothing is kept for later). A cut body is a network
// failure and is tried three more times; an answer that rules the file out is
// not.
TEST_F(DownloadFileTest, AFailedTransferLeavesTheDestinationAsItWas)
{
    const std::string body = PatternBytes(100000);
    static const struct {
        const char* label;
        long long declared;
        size_t closeAfter;
        int status;
        bool progressSent;
        size_t requests;
    } kCases[] = {
        {"server closes half-way", HttpReply::kBodyLength, 50000, 200, true, 4},
        {"server closes before the body", HttpReply::kBodyLength, 0, 200, true, 4},
        {"server closes one byte short", HttpReply::kBodyLength, 99999, 200, true, 4},
        {"server busy", HttpReply::kBodyLength, HttpReply::kWhole, 503, false, 4},
        {"no Content-Length", HttpReply::kNoLength, HttpReply::kWhole, 200, false, 1},
        {"not found", HttpReply::kBodyLength, HttpReply::kWhole, 404, false, 1},
        {"server error", HttpReply::kBodyLength, HttpReply::kWhole, 500, false, 1},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        TestHttpServer fresh;
        ::SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(WriteFileBytes(destination, "the copy in place"));
        MakeReadOnly(destination);
        HttpReply reply = HttpReply::Ok(body);
        reply.status = c.status;
        reply.declaredLength = c.declared;
        reply.closeAfter = c.closeAfter;
        fresh.Serve(kTarget, reply);
        recorder.Clear();

        EXPECT_EQ(FetchUrl(L"http://" + fresh.Host() + Widen(kTarget)), 0u);

        EXPECT_TRUE(HasBytes(destination, "the copy in place"));
        EXPECT_TRUE(IsReadOnly(destination));
        EXPECT_FALSE(PathExists(temporary));
        EXPECT_EQ(fresh.Requests().size(), c.requests);
        if (c.progressSent) {
            ASSERT_FALSE(recorder.Messages().empty());
            EXPECT_EQ(recorder.Messages().back().wParam, std::min(c.closeAfter, body.size()));
        } else {
            for (const RecordedMessage& m : recorder.Messages())
                EXPECT_NE(m.message, WM_DOWNLOAD_PROGRESS) << Describe(m);
        }
    }
}

TEST_F(DownloadFileTest, ADestinationInUseStaysInPlaceAndTheCallFails)
{
    ASSERT_TRUE(WriteFileBytes(destination, "in use"));
    MakeReadOnly(destination);
    qxt::UniqueFileHandle holder(::CreateFileW(destination.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    server.Serve(kTarget, HttpReply::Ok("replacement"));

    EXPECT_EQ(Fetch(kTarget), 0u);

    holder.Reset();
    EXPECT_TRUE(HasBytes(destination, "in use"));
    EXPECT_TRUE(IsReadOnly(destination));
    EXPECT_FALSE(PathExists(temporary));
}

// A program holding the destination with delete sharing lets a delete go
// through only as pending; a delete followed by a move would then lose both
// the old file and the new body. Whatever the holder allows, the destination
// ends whole: the new body with success, or the old file with failure.
TEST_F(DownloadFileTest, TheDestinationIsReplacedInOneStepOrKept)
{
    static const struct {
        const char* label;
        DWORD share;
    } kHolders[] = {
        {"holder shares reading", FILE_SHARE_READ},
        {"holder shares reading and deleting", FILE_SHARE_READ | FILE_SHARE_DELETE},
    };
    for (const auto& c : kHolders) {
        SCOPED_TRACE(c.label);
        ::SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(WriteFileBytes(destination, "the copy in place"));
        MakeReadOnly(destination);
        qxt::UniqueFileHandle holder(
            ::CreateFileW(destination.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        server.Serve(kTarget, HttpReply::Ok("the replacement"));

        const ULONGLONG result = Fetch(kTarget);

        holder.Reset();
        ASSERT_TRUE(PathExists(destination)) << "the old file and the new body are both gone";
        EXPECT_TRUE(IsReadOnly(destination));
        EXPECT_FALSE(PathExists(temporary));
        if (result == 0)
            EXPECT_TRUE(HasBytes(destination, "the copy in place"));
        else
            EXPECT_TRUE(HasBytes(destination, "the replacement"));
    }
}

// With the listed digest, a body that is not the listed file never takes the
// destination's place; the digest's case does not matter.
TEST_F(DownloadFileTest, AnExpectedDigestDecidesWhetherTheBodyIsStored)
{
    const std::string body = PatternBytes(70000, 3);
    std::wstring upper;
    {
        CMD5Checksum md5;
        md5.Update(reinterpret_cast<const BYTE*>(body.data()), static_cast<ULONG>(body.size()));
        upper = md5.Final();
    }
    std::wstring lower = upper;
    for (wchar_t& ch : lower)
        ch = static_cast<wchar_t>(std::towlower(ch));
    const struct {
        const char* label;
        const wchar_t* digest;
        bool stored;
    } kCases[] = {
        {"no digest given", nullptr, true},
        {"listed in upper case", upper.c_str(), true},
        {"listed in lower case", lower.c_str(), true},
        {"another file's digest", L"900150983CD24FB0D6963F7D28E17F72", false},
        {"not a digest at all", L"0123", false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        ::SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(WriteFileBytes(destination, "the copy in place"));
        MakeReadOnly(destination);
        server.Serve(kTarget, HttpReply::Ok(body));
        recorder.Clear();

        EXPECT_EQ(Fetch(kTarget, c.digest), c.stored ? body.size() : 0u);

        EXPECT_TRUE(HasBytes(destination, c.stored ? body : std::string("the copy in place")));
        EXPECT_TRUE(IsReadOnly(destination));
        EXPECT_FALSE(PathExists(temporary));
    }
}

// Lengths past 4 GiB are counted in 64 bits; the progress messages carry them
// scaled alike so that the bar's signed range holds them.
TEST_F(DownloadFileTest, ALengthPastFourGibibytesIsNotCutToThirtyTwoBits)
{
    const unsigned long long declared = 5000000000ull;
    HttpReply reply = HttpReply::Ok(PatternBytes(1000));
    reply.declaredLength = static_cast<long long>(declared);
    reply.closeAfter = 1000;
    server.Serve(kTarget, reply);

    EXPECT_EQ(Fetch(kTarget), 0u) << "the body stops far short of its declared length";

    const std::vector<RecordedMessage> messages = recorder.Messages();
    ASSERT_FALSE(messages.empty());
    const RecordedMessage first = messages.front();
    EXPECT_EQ(first.message, WM_DOWNLOAD_PROGRESS);
    EXPECT_EQ(first.wParam, 0u);
    EXPECT_EQ(static_cast<unsigned long long>(first.lParam), declared / 4);
    EXPECT_FALSE(PathExists(destination));
    EXPECT_FALSE(PathExists(temporary));
}

TEST_F(DownloadFileTest, CancelBetweenChunksKeepsTheDestinationAndTheIncompleteTemporaryFile)
{
    ASSERT_TRUE(WriteFileBytes(destination, "the copy in place"));
    const std::string body = PatternBytes(400000);
    server.Serve(kTarget, HttpReply::Ok(body));
    WPARAM cancelledAt = 0;
    recorder.SetHook([&](const RecordedMessage& m) {
        if (m.message == WM_DOWNLOAD_PROGRESS && m.wParam >= 65536 && cancelledAt == 0) {
            cancelledAt = m.wParam;
            ::InterlockedExchange(&cancel, 1);
        }
    });

    EXPECT_EQ(Fetch(kTarget), 0u);

    ASSERT_NE(cancelledAt, 0u);
    // The chunk read after the request is not written: the temporary file
    // holds exactly what the last progress message reported.
    EXPECT_EQ(recorder.Messages().back().wParam, cancelledAt);
    EXPECT_TRUE(HasBytes(temporary, body.substr(0, cancelledAt)));
    EXPECT_TRUE(HasBytes(destination, "the copy in place"));
}

// A write error on the temporary file (here a full disk: the temporary name
// is a link to /dev/full) fails the download and leaves the destination alone.
// Wine cannot delete a link to a device, so that the temporary file is
// removed shows in the other failures, which take the same way out.
TEST_F(DownloadFileTest, AFullDiskFailsTheDownloadAndRemovesTheTemporaryFile)
{
    const std::wstring folder = LinuxFixtureFolder("download-file");
    const std::wstring target = folder + L"\\full.bin";
    // Wine gives a link to a device no attributes, but opens it.
    ASSERT_TRUE(CanOpen(target + L".tmp")) << "run through ctest: the fixture links full.bin.tmp to /dev/full";
    ASSERT_TRUE(WriteFileBytes(target, "the copy in place"));
    server.Serve(kTarget, HttpReply::Ok(PatternBytes(100000)));

    DownloadFailure failure;
    EXPECT_EQ(DownloadFile(target.c_str(), Url(kTarget).c_str(), recorder.Window(), &cancel, {}, &failure), 0u);

    EXPECT_TRUE(HasBytes(target, "the copy in place"));
    EXPECT_TRUE(MatchesSequence(recorder.Messages(), {{WM_DOWNLOAD_PROGRESS, 0, 100000}}));
    // The box names the disk, the room the file takes and the room there is.
    ULARGE_INTEGER free{};
    ASSERT_TRUE(::GetDiskFreeSpaceExW((folder + L"\\").c_str(), &free, nullptr, nullptr));
    EXPECT_EQ(failure.code, SETUP_ERR_DOWNLOAD);
    EXPECT_EQ(failure.detail, L"磁盘空间不足：full.bin 需要 98 KB，可用空间只有 " + SizeText(free.QuadPart) + L"。");
}

// Every way a download fails gives the error box a line the user can act
// on: check the network, the server's status, a login, a damaged file.
TEST_F(DownloadFileTest, AFailedDownloadSaysWhyInTheLineUnderTheBoxsFirstOne)
{
    TestHttpServer gone;
    ASSERT_TRUE(gone.Started());
    const std::wstring goneHost = gone.Host();
    gone.Stop();

    const std::string body = PatternBytes(50000);
    HttpReply cut = HttpReply::Ok(body);
    cut.closeAfter = 20000;
    HttpReply noLength = HttpReply::Ok(body);
    noLength.declaredLength = HttpReply::kNoLength;
    HttpReply proxyLogin = HttpReply::Status(407, "Proxy Authentication Required");
    proxyLogin.extraHeaders = {"Proxy-Authenticate: Basic realm=\"office\""};
    HttpReply login = HttpReply::Status(401, "Unauthorized");
    login.extraHeaders = {"WWW-Authenticate: Basic realm=\"hotel\""};
    const struct {
        const char* label;
        bool unreachable;  // the address of a server that has gone
        HttpReply reply;
        const wchar_t* digest;
        const wchar_t* detail;
    } kCases[] = {
        {"nothing listens", true, {}, nullptr, L"无法连接到下载服务器，请检查网络连接。"},
        {"the body breaks off on every try", false, cut, nullptr, L"无法连接到下载服务器，请检查网络连接。"},
        {"server error", false, HttpReply::Status(500, "Internal Server Error"), nullptr,
         L"下载服务器返回了错误（HTTP 500）。"},
        {"busy after every retry", false, HttpReply::Status(503, "Service Unavailable"), nullptr,
         L"下载服务器返回了错误（HTTP 503）。"},
        {"no such file", false, HttpReply::Status(404, "Not Found"), nullptr, L"下载服务器返回了错误（HTTP 404）。"},
        {"no length", false, noLength, nullptr, L"下载服务器的应答无法使用（HTTP 200）。"},
        {"a proxy asks for a login", false, proxyLogin, nullptr, L"网络要求登录：代理服务器需要用户名和密码。"},
        {"the network asks for a login", false, login, nullptr,
         L"网络要求登录：网络或代理服务器需要用户名和密码（HTTP 401）。"},
        {"a hotspot asks to sign in", false, HttpReply::Status(511, "Network Authentication Required"), nullptr,
         L"网络要求登录：请先在浏览器中登录网络，然后重试。"},
        {"the body is not the listed file", false, HttpReply::Ok(body), L"0123456789ABCDEF0123456789ABCDEF",
         L"文件在传输中损坏：Client.txt 与文件列表中的校验值不符，请重试。"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        server.Serve(kTarget, c.reply);
        const std::wstring url = c.unreachable ? L"http://" + goneHost + Widen(kTarget) : Url(kTarget);
        DownloadOptions given = options;
        given.expectedDigest = c.digest;
        DownloadFailure failure;
        failure.detail = L"(untouched)";

        EXPECT_EQ(DownloadFile(destination.c_str(), url.c_str(), recorder.Window(), &cancel, given, &failure), 0u);

        EXPECT_EQ(failure.detail, c.detail);
        // Only a login that is still missing has a code of its own.
        EXPECT_EQ(failure.code, c.reply.status == 407 ? SETUP_ERR_PROXY_LOGIN : SETUP_ERR_DOWNLOAD);
        EXPECT_FALSE(PathExists(destination));
        ::DeleteFileW(temporary.c_str());
    }

    // A cancel is the user's own doing: nothing is added.
    cancel = 1;
    server.Serve(kTarget, HttpReply::Ok(body));
    DownloadFailure failure;
    failure.detail = L"(untouched)";
    EXPECT_EQ(DownloadFile(destination.c_str(), Url(kTarget).c_str(), recorder.Window(), &cancel, options, &failure),
              0u);
    EXPECT_EQ(failure.detail, L"(untouched)");
}

TEST(SizeTextTest, KilobytesUpToAMegabyteThenTenthsOfTheUnit)
{
    static const struct {
        ULONGLONG bytes;
        const wchar_t* text;
    } kCases[] = {
        {0, L"0 KB"},
        {1, L"1 KB"},
        {1024, L"1 KB"},
        {1025, L"2 KB"},
        {1024 * 1024 - 1, L"1024 KB"},
        {1024 * 1024, L"1.0 MB"},
        {1024 * 1024 * 5 / 4, L"1.3 MB"},
        {1024ULL * 1024 * 1023, L"1023.0 MB"},
        {1024ULL * 1024 * 1024 * 3 / 2, L"1.5 GB"},
        {1024ULL * 1024 * 1024 * 5000, L"5000.0 GB"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(SizeText(c.bytes), c.text);
    }
}

TEST_F(DownloadFileTest, AnAddressThatIsNotHttpFails)
{
    const std::wstring kUrls[] = {
        L"ftp://" + server.Host() + L"/Custom/DownloadClient?filename=a",
        L"file:///C:/windows/win.ini",
        L"no address at all",
        L"",
    };
    for (const std::wstring& url : kUrls) {
        SCOPED_TRACE(std::string(url.begin(), url.end()));
        EXPECT_EQ(FetchUrl(url), 0u);
        EXPECT_FALSE(PathExists(destination));
        EXPECT_FALSE(PathExists(temporary));
    }
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(MatchesSequence(recorder.Messages(), {}));
}

}  // namespace
