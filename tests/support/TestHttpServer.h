// A real HTTP server on 127.0.0.1 inside the test program: one thread accepts,
// one thread per connection answers from a script, every request is recorded
// so tests can assert the exact request line and headers. Each answer closes
// its connection, so no client keeps an idle connection to it.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qxt::test {

struct HttpReply {
    static constexpr long long kBodyLength = -1;  // declare the body's own size
    static constexpr long long kNoLength = -2;    // send no Content-Length header
    static constexpr size_t kWhole = static_cast<size_t>(-1);

    int status = 200;
    std::string reason = "OK";
    std::string body;
    long long declaredLength = kBodyLength;  // or any value to declare instead
    std::vector<std::string> extraHeaders;    // whole lines, without CRLF
    size_t closeAfter = kWhole;  // close the connection after this many body bytes
    size_t holdAfter = kWhole;   // after this many body bytes wait for Release() (then cut there at closeAfter)
    DWORD delayPerChunkMs = 0;   // a slow body: pause between chunks of chunkSize bytes
    size_t delayFrom = 0;        // ... once this many body bytes have gone out at once
    size_t chunkSize = 16384;

    static HttpReply Ok(std::string body);
    static HttpReply Status(int status, std::string reason);
};

struct HttpRequestRecord {
    std::string requestLine;               // e.g. "GET /x?y=1 HTTP/1.1"
    std::string method;
    std::string target;                    // path and query as sent
    std::vector<std::string> headerLines;  // in the order received
    // The value of the first header of that name (any case), or "" when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
};

class TestHttpServer {
public:
    using Handler = std::function<HttpReply(const HttpRequestRecord&)>;

    // Starts listening on an ephemeral loopback port; Started() tells whether
    // the serving thread came up within its bounded wait.
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    bool Started() const;
    unsigned short Port() const;
    std::wstring Host() const;  // "127.0.0.1:<port>"

    // Scripted answers by request target; unknown targets get 404. A handler,
    // when set, answers every request instead, on the request's own thread
    // (several at once when requests come side by side).
    void Serve(const std::string& target, HttpReply reply);
    void SetHandler(Handler handler);

    std::vector<HttpRequestRecord> Requests() const;
    // Waits (bounded) until a body is held at its holdAfter mark.
    bool WaitUntilHeld(DWORD timeoutMs = 10000) const;
    // Lets every held body go on.
    void Release();
    // Waits (bounded) until this many connections have been answered and
    // closed: the client has closed its end, or has gone quiet for a second.
    bool WaitUntilClosed(size_t connections, DWORD timeoutMs = 10000) const;

    void Stop();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

}  // namespace qxt::test
