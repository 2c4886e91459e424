// The stamped host text as the download turns it into requests: a bare
// host[:port] stays plain HTTP (every setup stamped so far), a scheme picks
// HTTP or HTTPS, and anything that would change the request's path is refused.
#include "download/ServerAddress.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ServerAddress, TheSchemeDecidesTheProtocolAndNeverReachesTheHostName)
{
    static const struct {
        const wchar_t* text;
        bool parses;
        bool secure;
        const wchar_t* host;
        const wchar_t* requestBase;
    } cases[] = {
        {L"dl.quolix.cn", true, false, L"dl.quolix.cn", L"http://dl.quolix.cn/Custom/DownloadClient?filename="},
        {L"127.0.0.1:8080", true, false, L"127.0.0.1:8080",
         L"http://127.0.0.1:8080/Custom/DownloadClient?filename="},
        {L"http://127.0.0.1:8080", true, false, L"127.0.0.1:8080",
         L"http://127.0.0.1:8080/Custom/DownloadClient?filename="},
        {L"https://localhost:8443", true, true, L"localhost:8443",
         L"https://localhost:8443/Custom/DownloadClient?filename="},
        {L"https://dl.quolix.cn", true, true, L"dl.quolix.cn", L"https://dl.quolix.cn/Custom/DownloadClient?filename="},
        {L"HTTPS://Localhost:8443", true, true, L"Localhost:8443",
         L"https://Localhost:8443/Custom/DownloadClient?filename="},
        {L"hTtP://host", true, false, L"host", L"http://host/Custom/DownloadClient?filename="},
        {L"https://localhost:8443/", true, true, L"localhost:8443",
         L"https://localhost:8443/Custom/DownloadClient?filename="},
        // A bare host that merely starts like a scheme's name is a host.
        {L"https.example:81", true, false, L"https.example:81",
         L"http://https.example:81/Custom/DownloadClient?filename="},
        {L"", false, false, L"", L""},
        {L"https://", false, false, L"", L""},
        {L"https:///", false, false, L"", L""},
        {L"https://:8443", false, false, L"", L""},
        {L"ftp://host", false, false, L"", L""},
        {L"https:/host", false, false, L"", L""},
        {L"https://host/mirror", false, false, L"", L""},
        {L"https://host//", false, false, L"", L""},
        {L"host/mirror", false, false, L"", L""},
        {L"https://host?x=1", false, false, L"", L""},
        {L"https://host#top", false, false, L"", L""},
        {L"https://user@host", false, false, L"", L""},
        {L"https://host\\x", false, false, L"", L""},
        {L"https://a b", false, false, L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        ServerAddress address;
        address.secure = true;
        address.host = L"unchanged";
        EXPECT_EQ(ParseServerAddress(c.text, address), c.parses);
        if (c.parses) {
            EXPECT_EQ(address.secure, c.secure);
            EXPECT_EQ(address.host, c.host);
            EXPECT_EQ(DownloadRequestBase(address), c.requestBase);
            EXPECT_EQ(ServerHostName(c.text), c.host);
        } else {
            EXPECT_TRUE(address.secure) << "a refused text leaves the address as it was";
            EXPECT_EQ(address.host, L"unchanged");
            EXPECT_EQ(ServerHostName(c.text), c.text) << "a text that does not parse stays whole";
        }
    }
}

}  // namespace
