// DownloadClientFiles with the signed file list, against a real HTTP server
// on 127.0.0.1: a keyed run that must have a good list and files of the
// listed size and SHA-256, the refusals with their codes and log lines, and
// an unkeyed run that uses a signed list when the server has one. Keys, files
// and lists come from tests/support/signed_lists.py (fixture signed_loop_cases).
#include "download/DownloadClientFiles.h"

#include "core/SetupMessages.h"
#include "transfer/FailureDetail.h"
#include "framework/LogFile.h"
#include "framework/Sha256.h"
#include "tests/support/DownloadTestSupport.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace qxt::test;

namespace {

const char* const kNames[] = {"QXTClient.exe", "data.bin", "readme.txt"};
constexpr ULONGLONG kGoodVersion = 200;

std::wstring CasesFolder()
{
    std::wstring folder = ProgramFolder();
    for (int up = 0; up < 2; ++up)
        folder.resize(folder.find_last_of(L'\\'));
    return folder + L"\\fixtures\\signed-loop\\";
}

std::string Fixture(const std::string& name)
{
    const std::string bytes = ReadFileBytes(CasesFolder() + Widen(name));
    EXPECT_FALSE(bytes.empty()) << name << ": run through ctest, the fixture writes it";
    return bytes;
}

std::wstring FromUtf8(const std::string& bytes)
{
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

// A file as a list made here names it: its bytes give the SHA-256, and the
// listed size may be any (a file that is never served).
struct ListedBytes {
    std::string name;
    ULONGLONG size;
    std::string bytes;
};

// A signed list made here, names in byte order. Without a key its signature
// is not checked, so any 64 bytes do.
std::string MadeList(const std::vector<ListedBytes>& files)
{
    std::string list = "format qxt-signed-file-list 1\nversion 7\nexpires 2099-12-31T23:59:59Z\n";
    for (const ListedBytes& file : files) {
        Sha256Digest digest{};
        EXPECT_TRUE(Sha256OfBytes(file.bytes.data(), file.bytes.size(), digest));
        const std::wstring hex = HexText(digest);
        list += "file " + std::to_string(file.size) + " " + std::string(hex.begin(), hex.end()) + " " + file.name + "\n";
    }
    return list + "signature " + std::string(128, '0') + "\n";
}

ULONGLONG FreeBytes(const std::wstring& folder)
{
    ULARGE_INTEGER available{};
    EXPECT_TRUE(::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr));
    return available.QuadPart;
}

class SignedDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Started());
        ASSERT_NE(recorder.Window(), nullptr);
        folder = dir / L"Quolix Client";
        wcscpy_s(info.InstallLocation, folder.c_str());
        timings.retryPausesMs = {20, 20, 20};
        // One transfer at a time: the cases name what is asked for in list order.
        timings.transfers = 1;
        const std::string key = Fixture("publisher.xy");
        ASSERT_EQ(key.size(), trust.key.size());
        std::memcpy(trust.key.data(), key.data(), key.size());
        trust.keyState = PublisherKeyState::Present;
        for (const char* name : kNames) {
            files[name] = Fixture(std::string("files\\") + name);
            server.Serve(kBase + name, HttpReply::Ok(files[name]));
        }
        // The plain list is there too, for the setups already in the field.
        std::string plain;
        for (const char* name : kNames)
            plain += std::string(name) + "|" + Md5(files[name]) + "\r\n";
        server.Serve(kPlainTarget, HttpReply::Ok(plain));
        logPath = dir / L"run.log";
        ASSERT_TRUE(ProcessLog().Open(logPath, L""));
    }

    void TearDown() override { ProcessLog().Close(); }

    void ServeList(const std::string& label) { server.Serve(kSignedTarget, HttpReply::Ok(Fixture(label + ".signed"))); }

    BOOL Run()
    {
        failure = DownloadFailure{};
        failure.code = SETUP_OK;
        listVersion = 0xDEADBEEF;
        return DownloadClientFiles(server.Host().c_str(), &cancel, recorder.Window(), info, timings, &failure, trust,
                                   &listVersion);
    }

    std::vector<std::string> Targets() const
    {
        std::vector<std::string> targets;
        for (const HttpRequestRecord& r : server.Requests())
            targets.push_back(r.target);
        return targets;
    }

    std::wstring Local(const std::string& name) const { return folder + L"\\" + Widen(name); }
    std::wstring Log() const { return FromUtf8(ReadFileBytes(logPath)); }

    TestHttpServer server;
    MessageRecorder recorder;
    TempDir dir;
    std::wstring folder;
    std::wstring logPath;
    InstallInfo info{};
    DownloadTimings timings;
    DownloadTrust trust;
    DownloadFailure failure;
    ULONGLONG listVersion = 0;
    volatile LONG cancel = 0;
    std::map<std::string, std::string> files;
};

TEST_F(SignedDownloadTest, AKeyedRunFetchesTheListedFilesThenASecondRunKeepsThem)
{
    ServeList("good");
    ASSERT_EQ(Run(), TRUE) << Log();
    EXPECT_EQ(listVersion, kGoodVersion);
    std::vector<std::string> expected = {kSignedTarget};
    for (const char* name : kNames)
        expected.push_back(kBase + name);
    EXPECT_EQ(Targets(), expected) << "the plain list is never asked for";
    ULONGLONG total = 0;
    for (const char* name : kNames) {
        EXPECT_TRUE(HasBytes(Local(name), files[name])) << name;
        EXPECT_TRUE(IsReadOnly(Local(name))) << name;
        total += files[name].size();
    }
    EXPECT_EQ(info.EstimatedSize, total);
    EXPECT_NE(Log().find(L"Signed file list: version 200, expires 2099-12-31T23:59:59Z, 3 files, signature good"),
              std::wstring::npos)
        << Log();

    // The second run reads every file's size and SHA-256 and fetches nothing.
    info.EstimatedSize = 0;
    ASSERT_EQ(Run(), TRUE) << Log();
    EXPECT_EQ(server.Requests().size(), expected.size() + 1);
    EXPECT_EQ(Targets().back(), kSignedTarget);
    EXPECT_EQ(info.EstimatedSize, total);
    EXPECT_EQ(listVersion, kGoodVersion);
}

TEST_F(SignedDownloadTest, AFileInPlaceIsKeptOnlyWithTheListedSizeAndSha256)
{
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    // QXTClient.exe in place as listed; data.bin of the listed size but other
    // bytes; readme.txt with the listed bytes and one more.
    ASSERT_TRUE(WriteFileBytes(Local("QXTClient.exe"), files["QXTClient.exe"]));
    std::string changed = files["data.bin"];
    changed[2500] ^= 0x40;
    ASSERT_TRUE(WriteFileBytes(Local("data.bin"), changed));
    ASSERT_TRUE(WriteFileBytes(Local("readme.txt"), files["readme.txt"] + "x"));
    ServeList("good");

    ASSERT_EQ(Run(), TRUE) << Log();
    const std::vector<std::string> expected = {kSignedTarget, kBase + "data.bin", kBase + "readme.txt"};
    EXPECT_EQ(Targets(), expected);
    for (const char* name : kNames)
        EXPECT_TRUE(HasBytes(Local(name), files[name])) << name;
    EXPECT_FALSE(IsReadOnly(Local("QXTClient.exe"))) << "a kept file is not touched";
    const std::wstring log = Log();
    EXPECT_NE(log.find(Local("data.bin") + L": local 5000 bytes, SHA-256 "), std::wstring::npos) << log;
    EXPECT_NE(log.find(L", listed 15 bytes, SHA-256 c99bbf090bc3c07c798d6dc8b0d893ace0590c7b46ea8373259c4e0051b26e45: fetch"),
              std::wstring::npos)
        << log;
}

// Each refusal: its code, the box's line, the log's line with the check and
// both values, and nothing from the list in the install folder (the copies
// already there stay as they were).
TEST_F(SignedDownloadTest, EveryRefusalEndsWithItsCodeAndLeavesTheFolderAlone)
{
    struct Case {
        const char* label;
        const char* list;           // served as the signed list; nullptr: none (404)
        const char* tamperedFile;   // served with one byte changed
        const char* longerFile;     // served with more bytes than listed
        PublisherKeyState keyState;
        ULONGLONG accepted;
        SetupResult code;
        const wchar_t* logLine;     // the start of the log's refusal
        bool filesRequested;
    };
    const Case cases[] = {
        {"no signed list", nullptr, nullptr, nullptr, PublisherKeyState::Present, 0, SETUP_ERR_NO_SIGNED_LIST,
         L"Signed file list refused: signed list: expected a signed file list at http://", false},
        {"another key", "other-key", nullptr, nullptr, PublisherKeyState::Present, 0, SETUP_ERR_BAD_SIGNATURE,
         L"Signed file list refused: signature: expected a signature by the publisher's key ", false},
        {"expired", "expired", nullptr, nullptr, PublisherKeyState::Present, 0, SETUP_ERR_EXPIRED_LIST,
         L"Signed file list refused: expiry: expected a list that expires after ", false},
        {"older", "older", nullptr, nullptr, PublisherKeyState::Present, 150, SETUP_ERR_OLDER_LIST,
         L"Signed file list refused: version: expected version 150 or higher (accepted before), received version 100",
         false},
        {"damaged key slot", "good", nullptr, nullptr, PublisherKeyState::Damaged, 0, SETUP_ERR_BAD_SIGNATURE,
         L"Publisher key refused: publisher key: expected the key slot as the build makes it", false},
        {"tampered file", "good", "data.bin", nullptr, PublisherKeyState::Present, 0, SETUP_ERR_FILE_MISMATCH,
         L"File refused: file: expected SHA-256 61005d719d55169d8eaa5512b3e1ac8a6c360e9eb8deab87c517ed5bef93c3b1 for "
         L"data.bin, received SHA-256 ",
         true},
        {"more than listed", "good", nullptr, "data.bin", PublisherKeyState::Present, 0, SETUP_ERR_FILE_MISMATCH,
         L"File refused: file: expected 5000 bytes listed for data.bin, received 5001 bytes declared by the server",
         true},
        {"tampered file without a key", "other-key", "data.bin", nullptr, PublisherKeyState::None, 0,
         SETUP_ERR_FILE_MISMATCH, L"File refused: file: expected SHA-256 61005d71", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir caseDir;
        folder = caseDir / L"client";
        wcscpy_s(info.InstallLocation, folder.c_str());
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        // An older installation: every file in place with other bytes.
        for (const char* name : kNames)
            ASSERT_TRUE(WriteFileBytes(Local(name), std::string("old ") + name));
        if (c.list)
            ServeList(c.list);
        else
            server.Serve(kSignedTarget, HttpReply::Status(404, "Not Found"));
        for (const char* name : kNames)
            server.Serve(kBase + name, HttpReply::Ok(files[name]));
        if (c.tamperedFile) {
            std::string tampered = files[c.tamperedFile];
            tampered[100] ^= 0x01;
            server.Serve(kBase + c.tamperedFile, HttpReply::Ok(tampered));
        }
        if (c.longerFile)
            server.Serve(kBase + c.longerFile, HttpReply::Ok(files[c.longerFile] + "!"));
        trust.keyState = c.keyState;
        trust.acceptedVersion = c.accepted;
        const size_t before = server.Requests().size();

        EXPECT_EQ(Run(), FALSE);

        EXPECT_EQ(failure.code, c.code);
        EXPECT_FALSE(failure.detail.empty());
        EXPECT_EQ(listVersion, 0u);
        const std::wstring log = Log();
        EXPECT_NE(log.find(c.logLine), std::wstring::npos) << log;
        const std::vector<HttpRequestRecord> requests = server.Requests();
        bool askedForFiles = false;
        for (size_t i = before; i < requests.size(); ++i) {
            EXPECT_NE(requests[i].target, kPlainTarget) << "a keyed setup never falls back to the plain list";
            askedForFiles = askedForFiles || requests[i].target.find("&") == std::string::npos;
        }
        EXPECT_EQ(askedForFiles, c.filesRequested);
        const char* changedFile = c.tamperedFile ? c.tamperedFile : c.longerFile;
        for (const char* name : kNames) {
            // Files before the refused one were fetched and checked; the
            // refused one and those after it are the old ones.
            if (changedFile && std::strcmp(name, "QXTClient.exe") == 0)
                EXPECT_TRUE(HasBytes(Local(name), files[name])) << name;
            else
                EXPECT_TRUE(HasBytes(Local(name), std::string("old ") + name)) << name;
            EXPECT_FALSE(PathExists(Local(name) + L".tmp")) << name;
        }
        if (!c.filesRequested) {
            EXPECT_FALSE(PathExists(Local("Client.signed"))) << "a refused list is not left behind";
        }
    }
}

TEST_F(SignedDownloadTest, ADamagedKeySlotAsksTheServerForNothing)
{
    ServeList("good");
    trust.keyState = PublisherKeyState::Damaged;
    EXPECT_EQ(Run(), FALSE);
    EXPECT_EQ(failure.code, SETUP_ERR_BAD_SIGNATURE);
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(SignedDownloadTest, AnEmptySignedListIsAFailedDownload)
{
    ServeList("empty");
    EXPECT_EQ(Run(), FALSE);
    EXPECT_EQ(failure.code, SETUP_ERR_DOWNLOAD);
    EXPECT_NE(Log().find(L"The signed file list names no file"), std::wstring::npos);
    EXPECT_EQ(listVersion, 0u);
}

TEST_F(SignedDownloadTest, AnUnkeyedRunUsesASignedListWithoutDemandingItsSignature)
{
    trust.keyState = PublisherKeyState::None;
    trust.acceptedVersion = 1000;  // not compared without a key
    ServeList("other-key");

    ASSERT_EQ(Run(), TRUE) << Log();
    std::vector<std::string> expected = {kSignedTarget};
    for (const char* name : kNames)
        expected.push_back(kBase + name);
    EXPECT_EQ(Targets(), expected);
    for (const char* name : kNames)
        EXPECT_TRUE(HasBytes(Local(name), files[name])) << name;
    EXPECT_EQ(listVersion, 0u) << "only a list checked with the key is kept as accepted";
    EXPECT_NE(Log().find(L"signature not checked (the program carries no key)"), std::wstring::npos) << Log();
    EXPECT_FALSE(PathExists(Local("Client.txt")));
}

TEST_F(SignedDownloadTest, AnUnkeyedRunFallsBackToThePlainListWhenTheServerHasNoSignedOne)
{
    trust.keyState = PublisherKeyState::None;
    const struct {
        const char* label;
        HttpReply reply;
    } cases[] = {
        {"404", HttpReply::Status(404, "Not Found")},
        // A server from before signed lists that ignores the parameter.
        {"the plain list again", HttpReply::Ok("QXTClient.exe|" + Md5(files["QXTClient.exe"]) + "\r\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir caseDir;
        folder = caseDir / L"client";
        wcscpy_s(info.InstallLocation, folder.c_str());
        server.Serve(kSignedTarget, c.reply);
        const size_t before = server.Requests().size();

        ASSERT_EQ(Run(), TRUE) << Log();
        const std::vector<std::string> targets = Targets();
        ASSERT_GE(targets.size(), before + 2);
        EXPECT_EQ(targets[before], kSignedTarget);
        EXPECT_EQ(targets[before + 1], kPlainTarget);
        for (const char* name : kNames)
            EXPECT_TRUE(HasBytes(Local(name), files[name])) << name;
        EXPECT_FALSE(PathExists(Local("Client.signed")));
        EXPECT_EQ(listVersion, 0u);
    }
    // A 404 for the signed list is an answer, not an error of the run.
    EXPECT_EQ(Log().find(L"error: GET " + server.Host()), std::wstring::npos) << Log();
}

TEST_F(SignedDownloadTest, ADamagedSignedListIsRefusedEvenWithoutAKey)
{
    trust.keyState = PublisherKeyState::None;
    std::string damaged = Fixture("good.signed");
    damaged.replace(damaged.find("version 200"), 11, "version 0200");
    server.Serve(kSignedTarget, HttpReply::Ok(damaged));
    EXPECT_EQ(Run(), FALSE);
    EXPECT_EQ(failure.code, SETUP_ERR_DAMAGED_LIST);
    EXPECT_NE(Log().find(L"Signed file list refused: format: expected line 2: version N"), std::wstring::npos)
        << Log();
    EXPECT_EQ(Targets().size(), 1u);
}

TEST_F(SignedDownloadTest, ASignedListPastItsCapIsNotRead)
{
    HttpReply huge = HttpReply::Ok("format qxt-signed-file-list 1\n");
    huge.declaredLength = 64LL * 1024 * 1024;
    huge.closeAfter = huge.body.size();
    server.Serve(kSignedTarget, huge);
    EXPECT_EQ(Run(), FALSE);
    EXPECT_EQ(failure.code, SETUP_ERR_DAMAGED_LIST);
    EXPECT_NE(Log().find(L"list size: expected 8388608 bytes at most, received 67108864 bytes declared by the server"),
              std::wstring::npos)
        << Log();
}

// The room asked for is what must still arrive: a file in place with the
// listed size and SHA-256 takes none, one of the listed size but other bytes
// its whole size (the old copy stays until the new one is whole), and one
// whose transfer an earlier run began only the rest.
TEST_F(SignedDownloadTest, TheRoomAskedForIsWhatMustStillArrive)
{
    trust.keyState = PublisherKeyState::None;
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::string current = PatternBytes(7000, 21);
    const std::string held = PatternBytes(30000, 22);
    const std::string missing = PatternBytes(11000, 23);
    const std::string stale = PatternBytes(5000, 24);
    ASSERT_TRUE(WriteFileBytes(Local("current.bin"), current));
    ASSERT_TRUE(WriteFileBytes(Local("held.bin.tmp"), held.substr(0, 12000)));
    ASSERT_TRUE(WriteFileBytes(Local("stale.bin"), PatternBytes(5000, 25)));
    const std::string list = MadeList({{"current.bin", current.size(), current},
                                       {"held.bin", held.size(), held},
                                       {"missing.bin", missing.size(), missing},
                                       {"stale.bin", stale.size(), stale}});
    server.SetHandler([&](const HttpRequestRecord& request) {
        if (request.target == kSignedTarget)
            return HttpReply::Ok(list);
        if (request.target == kBase + "held.bin")
            return RangeAnswer(held, request);
        if (request.target == kBase + "missing.bin")
            return HttpReply::Ok(missing);
        if (request.target == kBase + "stale.bin")
            return HttpReply::Ok(stale);
        return HttpReply::Status(404, "Not Found");
    });

    ASSERT_EQ(Run(), TRUE) << Log();

    const std::wstring expected = L"Room on the disk for 3 files to fetch: " +
                                  std::to_wstring(18000 + missing.size() + stale.size()) + L" bytes needed, ";
    EXPECT_NE(Log().find(expected), std::wstring::npos) << Log();
    EXPECT_TRUE(HasBytes(Local("held.bin"), held));
    EXPECT_TRUE(HasBytes(Local("stale.bin"), stale));
    bool resumed = false;
    for (const HttpRequestRecord& request : server.Requests())
        resumed = resumed || (request.target == kBase + "held.bin" && request.Header("Range") == "bytes=12000-");
    EXPECT_TRUE(resumed) << "the held part was used";
}

// Files that do not fit on the install folder's volume (this machine's real
// free space) stop the run before the first byte, with the box's line naming
// the space needed and free; the folder is left as it was.
TEST_F(SignedDownloadTest, FilesThatDoNotFitStopTheRunBeforeTheFirstByte)
{
    trust.keyState = PublisherKeyState::None;
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const ULONGLONG free = FreeBytes(folder);
    ASSERT_GT(free, 0u);
    const std::string small = PatternBytes(3000, 26);
    static const struct {
        const char* label;
        ULONGLONG first;   // listed sizes of a.bin and b.bin
        ULONGLONG second;
    } kCases[] = {
        {"one file past the free space", 1ull << 30, 0},
        {"two files that fit one by one but not together", 0, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        const ULONGLONG first = c.first ? free + c.first : free / 10 * 6;
        const ULONGLONG second = c.first ? small.size() : free / 10 * 6;
        ASSERT_TRUE(WriteFileBytes(Local("b.bin.tmp"), small.substr(0, 1000)));
        server.Serve(kSignedTarget, HttpReply::Ok(MadeList({{"a.bin", first, "a"}, {"b.bin", second, small}})));
        server.Serve(kBase + "a.bin", HttpReply::Ok("a"));
        server.Serve(kBase + "b.bin", HttpReply::Ok(small));
        const size_t before = server.Requests().size();

        EXPECT_EQ(Run(), FALSE);

        const ULONGLONG needed = first + second - 1000;
        EXPECT_EQ(failure.code, SETUP_ERR_DOWNLOAD);
        const ULONGLONG tenths = (needed * 10 + 1048575) / 1048576;
        const std::wstring neededText = std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10) + L" MB";
        EXPECT_EQ(failure.detail.rfind(L"磁盘空间不足：需要 " + neededText + L"，安装文件夹所在的磁盘只有 ", 0), 0u)
            << std::string(neededText.begin(), neededText.end());
        EXPECT_NE(failure.detail.find(L" MB 可用。"), std::wstring::npos);
        EXPECT_NE(Log().find(L"error: No room on the disk for 2 files to fetch: " + std::to_wstring(needed) +
                             L" bytes needed, "),
                  std::wstring::npos)
            << Log();
        const std::vector<HttpRequestRecord> requests = server.Requests();
        ASSERT_EQ(requests.size(), before + 1);
        EXPECT_EQ(requests.back().target, kSignedTarget);
        EXPECT_FALSE(PathExists(Local("a.bin")));
        EXPECT_FALSE(PathExists(Local("a.bin.tmp")));
        EXPECT_TRUE(HasBytes(Local("b.bin.tmp"), small.substr(0, 1000))) << "a held part stays for a later run";
    }
}

}  // namespace

// Two servers, the first of which fails. The list comes whole from one of
// them and the client is configured with that one; every file, from either
// server, is checked against that list and so against the publisher's key.
// A failed server is left for the rest of the run.
TEST_F(SignedDownloadTest, EveryServerIsCheckedAgainstTheKeyAndTheListOfTheRun)
{
    struct Case {
        const char* label;
        bool firstReachable;
        const char* firstFailsOn;     // the first server answers 500 from this request on (nullptr: never)
        const char* secondList;       // the second server's signed list
        const char* secondTampered;   // the second server serves this file with one byte changed
        BOOL result;
        SetupResult code;
        bool listFromFirst;
        std::vector<std::string> firstTargets;
        std::vector<std::string> secondTargets;
    };
    const Case cases[] = {
        {"the first refuses connections", false, nullptr, "good", nullptr, TRUE, SETUP_OK, false, {},
         {kSignedTarget, kBase + "QXTClient.exe", kBase + "data.bin", kBase + "readme.txt"}},
        {"the first answers 500 after the list and a file", true, "data.bin", "good", nullptr, TRUE, SETUP_OK, true,
         {kSignedTarget, kBase + "QXTClient.exe", kBase + "data.bin"}, {kBase + "data.bin", kBase + "readme.txt"}},
        {"the second serves a tampered file", true, "data.bin", "good", "data.bin", FALSE, SETUP_ERR_FILE_MISMATCH,
         true, {kSignedTarget, kBase + "QXTClient.exe", kBase + "data.bin"}, {kBase + "data.bin"}},
        {"the second's list is signed by another key", false, nullptr, "other-key", nullptr, FALSE,
         SETUP_ERR_BAD_SIGNATURE, false, {}, {kSignedTarget}},
        {"the first answers 500 to the list", true, kSignedTarget.c_str(), "good", nullptr, TRUE, SETUP_OK, false,
         {kSignedTarget}, {kSignedTarget, kBase + "QXTClient.exe", kBase + "data.bin", kBase + "readme.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir caseDir;
        folder = caseDir / L"client";
        wcscpy_s(info.InstallLocation, folder.c_str());

        TestHttpServer first;
        bool failing = false;
        first.SetHandler([&](const HttpRequestRecord& request) {
            const std::string name = request.target.substr(kBase.size());
            failing = failing || (c.firstFailsOn && (request.target == c.firstFailsOn || name == c.firstFailsOn));
            if (failing)
                return HttpReply::Status(500, "Internal Server Error");
            if (request.target == kSignedTarget)
                return HttpReply::Ok(Fixture("good.signed"));
            return HttpReply::Ok(files[name]);
        });
        const std::wstring firstHost = first.Host();
        if (!c.firstReachable)
            first.Stop();
        TestHttpServer second;
        second.Serve(kSignedTarget, HttpReply::Ok(Fixture(std::string(c.secondList) + ".signed")));
        for (const char* name : kNames)
            second.Serve(kBase + name, HttpReply::Ok(files[name]));
        if (c.secondTampered) {
            std::string tampered = files[c.secondTampered];
            tampered[100] ^= 0x01;
            second.Serve(kBase + c.secondTampered, HttpReply::Ok(tampered));
        }

        failure = DownloadFailure{};
        std::wstring listHost = L"(not set)";
        const std::wstring hosts = firstHost + L"," + second.Host();
        EXPECT_EQ(DownloadClientFiles(hosts.c_str(), &cancel, recorder.Window(), info, timings, &failure, trust,
                                      &listVersion, &listHost),
                  c.result)
            << ToUtf8(Log());

        std::vector<std::string> firstTargets, secondTargets;
        for (const HttpRequestRecord& r : first.Requests())
            firstTargets.push_back(r.target);
        for (const HttpRequestRecord& r : second.Requests())
            secondTargets.push_back(r.target);
        EXPECT_EQ(firstTargets, c.firstTargets);
        EXPECT_EQ(secondTargets, c.secondTargets);
        if (c.result) {
            EXPECT_EQ(listHost, c.listFromFirst ? firstHost : second.Host());
            for (const char* name : kNames)
                EXPECT_TRUE(HasBytes(Local(name), files[name])) << name;
        } else {
            EXPECT_EQ(failure.code, c.code);
            EXPECT_EQ(listHost, L"(not set)");
            if (c.secondTampered) {
                EXPECT_FALSE(PathExists(Local(c.secondTampered)));
            }
        }
        EXPECT_NE(Log().find(L"Server host " + firstHost + L" failed; the rest of the run uses " + second.Host() +
                             L" (server 2 of 2)"),
                  std::wstring::npos);
    }
}

// A network that answers every request with its login page (a hotel's or a
// school's): a keyed run refuses the page as a list, and its box says to log
// in rather than that the list is damaged; a run without a key falls back to
// the plain list, which is the same page.
TEST_F(SignedDownloadTest, ALoginPageInPlaceOfTheListsIsNamedAsALoginTheNetworkAsksFor)
{
    const std::string page = "  <!DOCTYPE html>\r\n<html><body><form action=\"/login\"></form></body></html>\r\n";
    const struct {
        const char* label;
        PublisherKeyState keyState;
        SetupResult code;
    } kCases[] = {
        {"with the publisher's key", PublisherKeyState::Present, SETUP_ERR_DAMAGED_LIST},
        {"without a key", PublisherKeyState::None, SETUP_ERR_DOWNLOAD},
    };
    server.Serve(kSignedTarget, HttpReply::Ok(page));
    server.Serve(kPlainTarget, HttpReply::Ok(page));
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        trust.keyState = c.keyState;

        EXPECT_EQ(Run(), FALSE);

        EXPECT_EQ(failure.code, c.code);
        EXPECT_EQ(failure.detail, LoginPageDetail());
        EXPECT_FALSE(PathExists(Local("data.bin")));
        EXPECT_FALSE(PathExists(Local("Client.signed")));
    }
}
