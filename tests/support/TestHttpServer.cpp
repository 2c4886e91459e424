#include "tests/support/TestHttpServer.h"

#include "tests/support/Wait.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <mutex>
#include <thread>

namespace qxt::test {

namespace {

constexpr DWORD kSocketTimeoutMs = 10000;
constexpr DWORD kHoldLimitMs = 30000;  // a held body goes on by itself after this
constexpr size_t kMaxRequestHead = 64 * 1024;

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool SendAll(SOCKET s, const char* data, size_t length)
{
    while (length > 0) {
        const int chunk = static_cast<int>(std::min<size_t>(length, 1 << 20));
        const int sent = ::send(s, data, chunk, 0);
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

}  // namespace

HttpReply HttpReply::Ok(std::string body)
{
    HttpReply reply;
    reply.body = std::move(body);
    return reply;
}

HttpReply HttpReply::Status(int status, std::string reason)
{
    HttpReply reply;
    reply.status = status;
    reply.reason = std::move(reason);
    reply.body = reply.reason;
    return reply;
}

std::string HttpRequestRecord::Header(const std::string& name) const
{
    const std::string wanted = Lower(name);
    for (const std::string& line : headerLines) {
        const size_t colon = line.find(':');
        if (colon != std::string::npos && Lower(Trim(line.substr(0, colon))) == wanted)
            return Trim(line.substr(colon + 1));
    }
    return {};
}

bool HttpRequestRecord::HasHeader(const std::string& name) const
{
    const std::string wanted = Lower(name);
    for (const std::string& line : headerLines) {
        const size_t colon = line.find(':');
        if (colon != std::string::npos && Lower(Trim(line.substr(0, colon))) == wanted)
            return true;
    }
    return false;
}

struct TestHttpServer::State {
    SOCKET listener = INVALID_SOCKET;
    unsigned short port = 0;
    bool started = false;
    bool winsock = false;
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE held = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread acceptor;

    mutable std::mutex lock;  // guards everything below
    std::map<std::string, HttpReply> replies;
    Handler handler;
    std::vector<HttpRequestRecord> requests;
    std::vector<std::thread> connections;
    size_t closed = 0;  // connections answered and closed

    ~State()
    {
        ::CloseHandle(ready);
        ::CloseHandle(stop);
        ::CloseHandle(release);
        ::CloseHandle(held);
    }

    bool Stopping() const { return ::WaitForSingleObject(stop, 0) == WAIT_OBJECT_0; }

    void AcceptLoop()
    {
        ::SetEvent(ready);
        while (!Stopping()) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener, &readable);
            timeval wait{0, 50 * 1000};
            const int n = ::select(0, &readable, nullptr, nullptr, &wait);
            if (n < 0)
                break;
            if (n == 0)
                continue;
            SOCKET client = ::accept(listener, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                continue;
            std::lock_guard<std::mutex> guard(lock);
            connections.emplace_back([this, client] { Answer(client); });
        }
    }

    bool ReadRequest(SOCKET client, HttpRequestRecord& record)
    {
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            if (head.size() > kMaxRequestHead)
                return false;
            const int got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0)
                return false;
            head.append(buffer, static_cast<size_t>(got));
        }
        head.resize(head.find("\r\n\r\n"));
        size_t start = 0;
        bool first = true;
        while (start <= head.size()) {
            size_t end = head.find("\r\n", start);
            if (end == std::string::npos)
                end = head.size();
            std::string line = head.substr(start, end - start);
            if (first) {
                record.requestLine = line;
                const size_t sp1 = line.find(' ');
                const size_t sp2 = line.rfind(' ');
                if (sp1 != std::string::npos && sp2 > sp1) {
                    record.method = line.substr(0, sp1);
                    record.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
                }
                first = false;
            } else if (!line.empty()) {
                record.headerLines.push_back(line);
            }
            start = end + 2;
        }
        return true;
    }

    HttpReply ReplyFor(const HttpRequestRecord& record)
    {
        Handler answer;
        {
            std::lock_guard<std::mutex> guard(lock);
            requests.push_back(record);
            answer = handler;
        }
        // Outside the lock: connections are answered side by side, and a
        // handler may wait (with a bound) for something another brings.
        if (answer)
            return answer(record);
        std::lock_guard<std::mutex> guard(lock);
        auto found = replies.find(record.target);
        if (found != replies.end())
            return found->second;
        return HttpReply::Status(404, "Not Found");
    }

    // Waits between chunks of a slow body; false when the server stops.
    bool Pause(DWORD ms) { return ::WaitForSingleObject(stop, ms) == WAIT_TIMEOUT; }

    void SendBody(SOCKET client, const HttpReply& reply)
    {
        const size_t limit = std::min(reply.closeAfter, reply.body.size());
        size_t sent = 0;
        const size_t chunk = std::max<size_t>(reply.chunkSize, 1);
        while (sent < limit) {
            size_t next = std::min(limit, sent + chunk);
            if (sent < reply.delayFrom)
                next = std::min(limit, reply.delayFrom);  // the part before the slow one goes at once
            if (reply.holdAfter != HttpReply::kWhole && sent < reply.holdAfter)
                next = std::min(next, reply.holdAfter);
            if (!SendAll(client, reply.body.data() + sent, next - sent))
                return;
            sent = next;
            // A body cut at its hold mark is held first, then cut.
            if (sent == reply.holdAfter && sent < reply.body.size()) {
                ::SetEvent(held);
                HANDLE wake[2] = {release, stop};
                ::WaitForMultipleObjects(2, wake, FALSE, kHoldLimitMs);
            } else if (reply.delayPerChunkMs != 0 && sent >= reply.delayFrom && sent < limit &&
                       !Pause(reply.delayPerChunkMs)) {
                return;
            }
        }
    }

    void Answer(SOCKET client)
    {
        DWORD timeout = kSocketTimeoutMs;
        ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);

        HttpRequestRecord record;
        if (ReadRequest(client, record)) {
            const HttpReply reply = ReplyFor(record);
            char statusLine[128];
            std::snprintf(statusLine, sizeof statusLine, "HTTP/1.1 %d %s\r\n", reply.status,
                          reply.reason.c_str());
            std::string head = statusLine;
            if (reply.declaredLength != HttpReply::kNoLength) {
                const long long length = reply.declaredLength == HttpReply::kBodyLength
                                             ? static_cast<long long>(reply.body.size())
                                             : reply.declaredLength;
                head += "Content-Length: " + std::to_string(length) + "\r\n";
            }
            head += "Content-Type: application/octet-stream\r\nConnection: close\r\n";
            for (const std::string& line : reply.extraHeaders)
                head += line + "\r\n";
            head += "\r\n";
            if (SendAll(client, head.data(), head.size()) && record.method != "HEAD")
                SendBody(client, reply);
        }
        // Orderly close: the client sees the end of the body, not a reset.
        ::shutdown(client, SD_SEND);
        char drain[1024];
        DWORD shortWait = 1000;
        ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&shortWait), sizeof shortWait);
        while (::recv(client, drain, sizeof drain, 0) > 0) {
        }
        ::closesocket(client);
        std::lock_guard<std::mutex> guard(lock);
        ++closed;
    }
};

TestHttpServer::TestHttpServer() : m_state(std::make_shared<State>())
{
    State& s = *m_state;
    WSADATA data;
    s.winsock = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!s.winsock)
        return;
    s.listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s.listener == INVALID_SOCKET)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (::bind(s.listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s.listener, SOMAXCONN) != 0 ||
        ::getsockname(s.listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    s.port = ntohs(address.sin_port);
    s.acceptor = std::thread([state = m_state] { state->AcceptLoop(); });
    s.started = ::WaitForSingleObject(s.ready, 10000) == WAIT_OBJECT_0;
}

TestHttpServer::~TestHttpServer()
{
    Stop();
}

bool TestHttpServer::Started() const
{
    return m_state->started;
}

unsigned short TestHttpServer::Port() const
{
    return m_state->port;
}

std::wstring TestHttpServer::Host() const
{
    return L"127.0.0.1:" + std::to_wstring(m_state->port);
}

void TestHttpServer::Serve(const std::string& target, HttpReply reply)
{
    std::lock_guard<std::mutex> guard(m_state->lock);
    m_state->replies[target] = std::move(reply);
}

void TestHttpServer::SetHandler(Handler handler)
{
    std::lock_guard<std::mutex> guard(m_state->lock);
    m_state->handler = std::move(handler);
}

std::vector<HttpRequestRecord> TestHttpServer::Requests() const
{
    std::lock_guard<std::mutex> guard(m_state->lock);
    return m_state->requests;
}

bool TestHttpServer::WaitUntilHeld(DWORD timeoutMs) const
{
    return ::WaitForSingleObject(m_state->held, timeoutMs) == WAIT_OBJECT_0;
}

bool TestHttpServer::WaitUntilClosed(size_t connections, DWORD timeoutMs) const
{
    return WaitUntil(
        [&] {
            std::lock_guard<std::mutex> guard(m_state->lock);
            return m_state->closed >= connections;
        },
        timeoutMs);
}

void TestHttpServer::Release()
{
    ::SetEvent(m_state->release);
}

void TestHttpServer::Stop()
{
    State& s = *m_state;
    ::SetEvent(s.stop);
    if (s.acceptor.joinable())
        s.acceptor.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        connections.swap(s.connections);
    }
    for (std::thread& connection : connections)
        connection.join();
    if (s.listener != INVALID_SOCKET) {
        ::closesocket(s.listener);
        s.listener = INVALID_SOCKET;
    }
    if (s.winsock) {
        ::WSACleanup();
        s.winsock = false;
    }
}

}  // namespace qxt::test
