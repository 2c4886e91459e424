// Benchmark helper for scripts/bench: what a network that misbehaves costs.
// Against the tests' HTTP server on 127.0.0.1 it prints
//   - the time from a confirmed cancel to DownloadFile's return while the
//     server has stopped sending (5 rounds), and
//   - the bytes the server sent for a 64 MiB file whose first transfer is cut
//     half-way and resumed, next to the file's size.
//   resume_bench.exe FOLDER
#include "transfer/DownloadFile.h"

#include "tests/support/DownloadTestSupport.h"
#include "tests/support/TestHttpServer.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace qxt::test;

namespace {

constexpr char kTarget[] = "/Custom/DownloadClient?filename=bench.bin";

std::wstring UrlOf(const TestHttpServer& server)
{
    return L"http://" + server.Host() + Widen(kTarget);
}

void ClearFiles(const std::wstring& destination)
{
    ::SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(destination.c_str());
    ::DeleteFileW((destination + L".tmp").c_str());
}

// Milliseconds from the cancel to the return; negative when the server never
// reached its stall.
double CancelWhileStalled(const std::wstring& destination)
{
    TestHttpServer server;
    HttpReply reply = HttpReply::Ok(PatternBytes(4 * 1024 * 1024));
    reply.holdAfter = 1024 * 1024;
    server.Serve(kTarget, reply);
    volatile LONG cancel = 0;
    LARGE_INTEGER frequency, cancelledAt{}, returnedAt;
    ::QueryPerformanceFrequency(&frequency);
    std::thread user([&] {
        if (server.WaitUntilHeld(30000)) {
            ::QueryPerformanceCounter(&cancelledAt);
            ::InterlockedExchange(&cancel, 1);
        }
    });
    DownloadFile(destination.c_str(), UrlOf(server).c_str(), nullptr, &cancel);
    ::QueryPerformanceCounter(&returnedAt);
    user.join();
    server.Release();
    ClearFiles(destination);
    if (cancelledAt.QuadPart == 0)
        return -1;
    return static_cast<double>(returnedAt.QuadPart - cancelledAt.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: resume_bench.exe FOLDER\n");
        return 2;
    }
    const std::wstring destination = std::wstring(argv[1]) + L"\\bench.bin";

    std::vector<double> cancels;
    for (int round = 0; round < 5; ++round) {
        const double ms = CancelWhileStalled(destination);
        if (ms < 0) {
            std::fprintf(stderr, "the server never stalled\n");
            return 1;
        }
        cancels.push_back(ms);
        std::printf("cancel_ms %.1f\n", ms);
    }
    std::sort(cancels.begin(), cancels.end());
    std::printf("cancel_median_ms %.1f\n", cancels[cancels.size() / 2]);

    // A file cut half-way on its first transfer; the server counts what it sends.
    const size_t size = 64 * 1024 * 1024;
    const std::string body = PatternBytes(size, 21);
    const std::wstring digest = Widen(Md5(body));
    TestHttpServer server;
    auto sent = std::make_shared<std::atomic<unsigned long long>>(0);
    auto requests = std::make_shared<std::atomic<int>>(0);
    server.SetHandler([&body, sent, requests](const HttpRequestRecord& request) {
        HttpReply reply = RangeAnswer(body, request);
        if ((*requests)++ == 0)
            reply.closeAfter = body.size() / 2;
        *sent += std::min(reply.closeAfter, reply.body.size());
        return reply;
    });
    DownloadOptions options;
    options.expectedDigest = digest.c_str();
    volatile LONG cancel = 0;
    const ULONGLONG stored = DownloadFile(destination.c_str(), UrlOf(server).c_str(), nullptr, &cancel, options);
    ClearFiles(destination);
    std::printf("resume_requests %d\nresume_sent_bytes %llu\nresume_file_bytes %llu\nresume_stored %llu\n",
                requests->load(), sent->load(), static_cast<unsigned long long>(size), stored);
    return stored == size ? 0 : 1;
}
