// DownloadFile through a proxy that asks for a login (the test's own HTTP
// server standing in for the proxy, named as /PROXY= names one): the login
// is asked for with WM_SETUP_PROXY_LOGIN, asked again after a refusal, kept
// for the requests that follow, and a missing one ends with its own code.
#include "transfer/DownloadFile.h"

#include "core/ProxyLoginRequest.h"
#include "core/SetupMessages.h"
#include "transfer/ProxyLogin.h"
#include "tests/support/DownloadTestSupport.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using namespace qxt::test;

namespace {

constexpr char kTarget[] = "/Custom/DownloadClient?filename=client.dll";
// "alice:right" in Base64.
constexpr char kRightLogin[] = "Basic YWxpY2U6cmlnaHQ=";

// Stands in for the dialog: answers each login request with the next
// scripted login (none left: Cancel) and records what it was asked. Its
// window lives on a thread of its own, as the dialog's does: the request's
// thread sends it the progress while the download waits.
struct LoginAnswers {
    struct Login {
        std::wstring user;
        std::wstring password;
    };
    std::vector<Login> script;
    std::vector<ProxyLoginRequest> asked;
};
LoginAnswers* g_answers = nullptr;

LRESULT CALLBACK AnswerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_SETUP_PROXY_LOGIN)
        return ::DefWindowProcW(window, message, wParam, lParam);
    auto* request = reinterpret_cast<ProxyLoginRequest*>(lParam);
    g_answers->asked.push_back(*request);
    if (g_answers->asked.size() > g_answers->script.size())
        return IDCANCEL;
    const LoginAnswers::Login& login = g_answers->script[g_answers->asked.size() - 1];
    request->user = login.user;
    request->password = login.password;
    return IDOK;
}

struct AnswerThread {
    HANDLE ready = nullptr;
    HWND window = nullptr;
};

DWORD WINAPI RunAnswerWindow(void* parameter)
{
    auto* thread = static_cast<AnswerThread*>(parameter);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = AnswerProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QxtProxyLoginAnswers";
    ::RegisterClassW(&windowClass);
    thread->window = ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       windowClass.hInstance, nullptr);
    ::SetEvent(thread->ready);
    MSG message;
    while (thread->window && ::GetMessageW(&message, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&message);
    return 0;
}

class ProxyLoginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(proxy.Started());
        g_answers = &answers;
        answerThread.ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        threadHandle = ::CreateThread(nullptr, 0, RunAnswerWindow, &answerThread, 0, &threadId);
        ASSERT_NE(threadHandle, nullptr);
        ASSERT_EQ(::WaitForSingleObject(answerThread.ready, 10000), WAIT_OBJECT_0);
        window = answerThread.window;
        ASSERT_NE(window, nullptr);
        // The proxy takes only alice's right password, sent as Basic.
        proxy.SetHandler([](const HttpRequestRecord& request) {
            if (request.Header("Proxy-Authorization") == kRightLogin)
                return HttpReply::Ok("the client");
            HttpReply login = HttpReply::Status(407, "Proxy Authentication Required");
            login.extraHeaders = {"Proxy-Authenticate: Basic realm=\"school\""};
            return login;
        });
        UseProxy(proxy.Host());
        ForgetProxyLogin();
        ForgetProxyLoginDecline();
    }

    void TearDown() override
    {
        UseProxy(L"");
        ForgetProxyLogin();
        if (threadHandle) {
            ::PostThreadMessageW(threadId, WM_QUIT, 0, 0);
            ::WaitForSingleObject(threadHandle, 10000);
            ::CloseHandle(threadHandle);
        }
        if (answerThread.ready)
            ::CloseHandle(answerThread.ready);
        g_answers = nullptr;
    }

    ULONGLONG Fetch(const std::wstring& name, DownloadFailure& failure)
    {
        // The server the requests are for never answers: only the proxy does.
        const std::wstring url = L"http://127.0.0.1:9" + Widen(kTarget);
        DownloadOptions options;
        options.timings.retryPausesMs = {20, 20, 20};
        return DownloadFile((dir / name).c_str(), url.c_str(), window, &cancel, options, &failure);
    }

    TestHttpServer proxy;
    LoginAnswers answers;
    AnswerThread answerThread;
    HANDLE threadHandle = nullptr;
    DWORD threadId = 0;
    HWND window = nullptr;
    TempDir dir;
    volatile LONG cancel = 0;
};

TEST_F(ProxyLoginTest, AWrongPasswordIsAskedForAgainAndTheRightOneServesTheRequestsThatFollow)
{
    answers.script = {{L"alice", L"wrong"}, {L"alice", L"right"}};
    DownloadFailure failure;

    EXPECT_EQ(Fetch(L"first.dll", failure), 10u);
    EXPECT_TRUE(HasBytes(dir / L"first.dll", "the client"));
    ASSERT_EQ(answers.asked.size(), 2u);
    EXPECT_FALSE(answers.asked[0].refused);
    EXPECT_EQ(answers.asked[0].realm, L"school");
    EXPECT_EQ(answers.asked[0].proxy, proxy.Host());
    EXPECT_TRUE(answers.asked[1].refused) << "the second question says the first login was refused";
    EXPECT_EQ(answers.asked[1].user, L"alice") << "the name given before is offered again";
    EXPECT_EQ(answers.asked[1].password, L"");
    for (const HttpRequestRecord& request : proxy.Requests())
        EXPECT_EQ(request.target, "http://127.0.0.1:9" + std::string(kTarget)) << "not a proxy request";

    // The next file goes through with the login the run has, unasked.
    EXPECT_EQ(Fetch(L"second.dll", failure), 10u);
    EXPECT_EQ(answers.asked.size(), 2u);
    EXPECT_EQ(proxy.Requests().back().Header("Proxy-Authorization"), kRightLogin);
}

TEST_F(ProxyLoginTest, WithoutALoginTheDownloadEndsWithItsOwnCodeAndLine)
{
    const struct {
        const char* label;
        std::vector<LoginAnswers::Login> script;  // then Cancel
        size_t asked;
        const wchar_t* detail;
    } kCases[] = {
        {"nobody gives one (a silent run)", {}, 1, L"网络要求登录：代理服务器需要用户名和密码。"},
        {"the user leaves the box after a wrong one", {{L"alice", L"wrong"}}, 2,
         L"网络要求登录：代理服务器拒绝了所给的用户名或密码。"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        // Each case stands for a run of its own.
        ForgetProxyLogin();
        ForgetProxyLoginDecline();
        answers.script = c.script;
        answers.asked.clear();
        DownloadFailure failure;

        EXPECT_EQ(Fetch(L"client.dll", failure), 0u);

        EXPECT_EQ(answers.asked.size(), c.asked);
        EXPECT_EQ(failure.code, SETUP_ERR_PROXY_LOGIN);
        EXPECT_EQ(failure.detail, c.detail);
        EXPECT_FALSE(PathExists(dir / L"client.dll"));
        EXPECT_FALSE(PathExists(dir / L"client.dll.tmp"));
    }
}

// A login given before the first request (/PROXYUSER=, /PROXYPASS=) is
// used without asking.
TEST_F(ProxyLoginTest, ALoginFromTheCommandLineIsUsedWithoutAsking)
{
    ProxyLogin login;
    login.user = L"alice";
    login.password = L"right";
    RememberProxyLogin(login);
    DownloadFailure failure;

    EXPECT_EQ(Fetch(L"client.dll", failure), 10u);

    EXPECT_TRUE(answers.asked.empty());
    EXPECT_EQ(proxy.Requests().back().Header("Proxy-Authorization"), kRightLogin);
}

}  // namespace
