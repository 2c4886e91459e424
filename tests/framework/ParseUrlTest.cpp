// AfxParseURL as the download uses it: the object keeps its query verbatim,
// the port comes from the address or the scheme.
#include "framework/ParseUrl.h"

#include <gtest/gtest.h>

namespace {

TEST(AfxParseURL, SplitsServiceServerObjectAndPort)
{
    static const struct {
        const wchar_t* url;
        DWORD service;
        const wchar_t* server;
        const wchar_t* object;
        INTERNET_PORT port;
    } kCases[] = {
        {L"http://dl.example.com/Custom/DownloadClient?filename=files&dotnet=1", AFX_INET_SERVICE_HTTP,
         L"dl.example.com", L"/Custom/DownloadClient?filename=files&dotnet=1", 80},
        {L"http://127.0.0.1:8080/Custom/DownloadClient?filename=QXTClient.exe", AFX_INET_SERVICE_HTTP,
         L"127.0.0.1", L"/Custom/DownloadClient?filename=QXTClient.exe", 8080},
        {L"http://h/Custom/DownloadClient?filename=plugins\\np.dll", AFX_INET_SERVICE_HTTP, L"h",
         L"/Custom/DownloadClient?filename=plugins\\np.dll", 80},
        {L"https://secure.example.com/a?b", AFX_INET_SERVICE_HTTPS, L"secure.example.com", L"/a?b", 443},
        {L"http://host", AFX_INET_SERVICE_HTTP, L"host", L"/", 80},
        {L"ftp://files.example.com/pub/x", AFX_INET_SERVICE_FTP, L"files.example.com", L"/pub/x", 21},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.url)));
        DWORD service = 0xdeadbeef;
        std::wstring server = L"sentinel", object = L"sentinel";
        INTERNET_PORT port = 0xbeef;
        ASSERT_TRUE(AfxParseURL(c.url, service, server, object, port));
        EXPECT_EQ(service, c.service);
        EXPECT_EQ(server, c.server);
        EXPECT_EQ(object, c.object);
        EXPECT_EQ(port, c.port);
    }
}

TEST(AfxParseURL, RefusesWhatIsNotAnAddress)
{
    for (const wchar_t* url : {L"", L"no address", L"http//missing-colon/x", L"/Custom/DownloadClient"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(url)));
        DWORD service = 0;
        std::wstring server, object;
        INTERNET_PORT port = 0;
        EXPECT_FALSE(AfxParseURL(url, service, server, object, port));
    }
}

}  // namespace
