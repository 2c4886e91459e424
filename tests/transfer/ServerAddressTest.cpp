// The stamped host text as the download turns it into requests: a bare
// host[:port] stays plain HTTP (every setup stamped so far), a scheme picks
// HTTP or HTTPS, and anything that would change the request's path is refused.
#include "transfer/ServerAddress.h"
#include "transfer/ServerList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The stamped servers in order, each read as one stamped host is; a stamp
// with one bad or empty host is refused whole. Moving on turns a request to
// the failed server into the same request to the next, until none is left.
TEST(ServerList, ReadsTheServersInOrderAndMovesOnToTheNext)
{
    static const struct {
        const wchar_t* text;
        std::vector<std::wstring> bases;  // empty: refused
        const wchar_t* firstHostName;
    } cases[] = {
        {L"dl.quolix.cn", {L"http://dl.quolix.cn/Custom/DownloadClient?filename="}, L"dl.quolix.cn"},
        {L"https://a.example:8443,b.example,http://c.example:81",
         {L"https://a.example:8443/Custom/DownloadClient?filename=", L"http://b.example/Custom/DownloadClient?filename=",
          L"http://c.example:81/Custom/DownloadClient?filename="},
         L"a.example:8443"},
        {L"a.example,,b.example", {}, L"a.example,,b.example"},
        {L"a.example,", {}, L"a.example,"},
        {L",a.example", {}, L",a.example"},
        {L"a.example,ftp://b.example", {}, L"a.example,ftp://b.example"},
        {L"a.example, b.example", {}, L"a.example, b.example"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        ServerList servers;
        ASSERT_TRUE(servers.Parse(L"kept.example"));
        EXPECT_EQ(servers.Parse(c.text), !c.bases.empty());
        EXPECT_EQ(FirstServerHostName(c.text), c.firstHostName);
        if (c.bases.empty()) {
            EXPECT_EQ(servers.Count(), 1u);
            EXPECT_EQ(servers.Current().host, L"kept.example") << "a refused stamp leaves the list as it was";
            continue;
        }
        ASSERT_EQ(servers.Count(), c.bases.size());
        std::wstring url = c.bases[0] + L"data.bin";
        for (size_t n = 0; n < c.bases.size(); ++n) {
            EXPECT_EQ(servers.CurrentNumber(), n + 1);
            EXPECT_EQ(servers.RequestBase(), c.bases[n]);
            EXPECT_EQ(url, c.bases[n] + L"data.bin");
            EXPECT_EQ(servers.MoveOn(url), n + 1 < c.bases.size());
        }
        EXPECT_EQ(servers.CurrentNumber(), c.bases.size()) << "after the last server there is no going back";
        EXPECT_EQ(url, c.bases.back() + L"data.bin");
    }
}

}  // namespace
