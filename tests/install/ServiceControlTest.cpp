// Stopping and starting a service through the service control manager, on
// services of the test prefix that run tests/helpers/TestService.cpp. The
// product acts on WuAuServ; these tests point the same code at their own.
#include "install/ServiceControl.h"

#include "framework/Handles.h"
#include "framework/LogFile.h"
#include "tests/install/ConsoleCapture.h"
#include "tests/support/RunLogCapture.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

using qxt::test::ConsoleCapture;
using qxt::test::HelperPath;
using qxt::test::TempDir;

namespace {

constexpr DWORD kEndNowControl = 200;  // testservice.exe ends at once on it

using Lines = std::vector<std::string>;

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// One service of the test prefix's service control manager, running
// testservice.exe with the given settings; ended and deleted when the object
// goes, so that no service or service process outlives the test.
class TestService {
public:
    TestService(const std::wstring& settings, const std::wstring& log, const std::wstring& dependsOn = L"",
                const std::wstring& program = HelperPath(L"testservice.exe"))
    {
        static std::atomic<unsigned> counter{0};
        m_name = L"QxtTestSvc" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(counter++);
        const std::wstring binary =
            L"\"" + program + L"\" " + m_name + L" " + settings + L" log=" + log;
        std::wstring dependencies = dependsOn;
        dependencies.push_back(L'\0');  // a list of names, ended by an empty one
        qxt::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        m_service.Reset(::CreateServiceW(manager.Get(), m_name.c_str(), m_name.c_str(), SERVICE_ALL_ACCESS,
                                         SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                         binary.c_str(), nullptr, nullptr,
                                         dependsOn.empty() ? nullptr : dependencies.c_str(), nullptr, nullptr));
    }
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    ~TestService()
    {
        if (!m_service)
            return;
        SERVICE_STATUS_PROCESS status = Status();
        const DWORD processId = status.dwProcessId;
        if (status.dwCurrentState != SERVICE_STOPPED) {
            SERVICE_STATUS plain{};
            ::ControlService(m_service.Get(), kEndNowControl, &plain);
            if (!WaitForState(SERVICE_STOPPED, 20000))
                ADD_FAILURE() << Narrow(m_name) << " did not end";
        }
        if (processId != 0) {
            qxt::UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
            if (process)
                ::WaitForSingleObject(process.Get(), 20000);
        }
        ::DeleteService(m_service.Get());
    }

    const std::wstring& Name() const { return m_name; }
    explicit operator bool() const { return static_cast<bool>(m_service); }

    bool Start() { return ::StartServiceW(m_service.Get(), 0, nullptr) != FALSE; }

    // Asks the service to stop, as someone else than the code under test would.
    bool RequestStop()
    {
        SERVICE_STATUS plain{};
        return ::ControlService(m_service.Get(), SERVICE_CONTROL_STOP, &plain) != FALSE;
    }

    SERVICE_STATUS_PROCESS Status() const
    {
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        ::QueryServiceStatusEx(m_service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                               sizeof status, &needed);
        return status;
    }
    DWORD State() const { return Status().dwCurrentState; }

    bool WaitForState(DWORD state, DWORD timeoutMs = 20000) const
    {
        return qxt::test::WaitUntil([&] { return State() == state; }, timeoutMs);
    }

private:
    std::wstring m_name;
    qxt::UniqueServiceHandle m_service;
};

// Wine 8's EnumDependentServicesW reports no dependents even while one runs,
// so the tests of the dependents' stop hand StopServiceAndWait this stand-in,
// which lists the services named in g_dependents (all taken as active) in the
// shape of the real call: no buffer gives ERROR_MORE_DATA and the size.
std::vector<std::wstring> g_dependents;
DWORD g_enumerateError = 0;  // non-zero: the enumeration fails with this error
int g_enumerateCalls = 0;

BOOL WINAPI EnumerateTestDependents(SC_HANDLE, DWORD state, LPENUM_SERVICE_STATUSW services, DWORD bufferSize,
                                    LPDWORD bytesNeeded, LPDWORD count)
{
    ++g_enumerateCalls;
    EXPECT_EQ(state, static_cast<DWORD>(SERVICE_ACTIVE));
    if (g_enumerateError != 0) {
        ::SetLastError(g_enumerateError);
        return FALSE;
    }
    DWORD needed = static_cast<DWORD>(g_dependents.size() * sizeof(ENUM_SERVICE_STATUSW));
    for (const auto& name : g_dependents)
        needed += static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t) * 2);
    *count = 0;
    *bytesNeeded = needed;
    if (g_dependents.empty())
        return TRUE;
    if (services == nullptr || bufferSize < needed) {
        ::SetLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    auto* strings = reinterpret_cast<wchar_t*>(services + g_dependents.size());
    for (const auto& name : g_dependents) {
        ENUM_SERVICE_STATUSW& entry = services[(*count)++];
        std::memcpy(strings, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        entry.lpServiceName = strings;
        strings += name.size() + 1;
        std::memcpy(strings, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        entry.lpDisplayName = strings;
        strings += name.size() + 1;
        entry.ServiceStatus.dwCurrentState = SERVICE_RUNNING;
    }
    return TRUE;
}

class ServiceControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_dependents.clear();
        g_enumerateError = 0;
        g_enumerateCalls = 0;
    }

    // What the services did, in order: "<name> start" and "<name> stop" lines.
    Lines Events() const
    {
        Lines events;
        const std::string text = qxt::test::ReadFileBytes(m_log);
        size_t begin = 0;
        while (begin < text.size()) {
            const size_t end = text.find('\n', begin);
            events.push_back(text.substr(begin, end - begin));
            begin = end == std::string::npos ? text.size() : end + 1;
        }
        return events;
    }
    std::string Event(const TestService& service, const char* what) const
    {
        return Narrow(service.Name()) + " " + what;
    }

    TempDir m_dir;
    const std::wstring m_log = m_dir / L"services.log";
};

TEST(PendingPollPauseTest, IsATenthOfTheWaitHintBetweenOneAndTenSeconds)
{
    static const struct {
        DWORD waitHint;
        DWORD pause;
    } kCases[] = {
        {0, 1000}, {5000, 1000}, {10000, 1000}, {10010, 1001}, {50000, 5000}, {100000, 10000}, {200000, 10000},
        {0xFFFFFFFF, 10000},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(PendingPollPause(c.waitHint), c.pause) << "wait hint " << c.waitHint;
}

// A service that reports no wait hint is not asked again at once, over and
// over, while it stops; one whose hint is longer than the stop may take is
// not waited for beyond it.
TEST(StopPollPauseTest, IsTheWaitHintBetweenATenthOfASecondAndThirtySeconds)
{
    static const struct {
        DWORD waitHint;
        DWORD pause;
    } kCases[] = {
        {0, 100}, {1, 100}, {99, 100}, {100, 100}, {300, 300}, {5000, 5000}, {30000, 30000}, {30001, 30000},
        {0xFFFFFFFF, 30000},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(StopPollPause(c.waitHint), c.pause) << "wait hint " << c.waitHint;
}

// The stop says what it did; putting the service back starts what ran before
// (the service, then its dependents, the last stopped first) and nothing else.
// The run log has every outcome with the service's name.
TEST_F(ServiceControlTest, ARunningServiceAndItsStoppedDependentsRunAgainAfterwards)
{
    TestService main(L"stop-ms=300 stop-hint=0", m_log);
    TestService first(L"stop-hint=0", m_log, main.Name());
    TestService second(L"", m_log, main.Name());
    ASSERT_TRUE(main && first && second);
    for (TestService* service : {&main, &first, &second}) {
        ASSERT_TRUE(service->Start());
        ASSERT_TRUE(service->WaitForState(SERVICE_RUNNING));
    }
    g_dependents = {first.Name(), second.Name()};

    qxt::test::RunLogCapture log;
    ConsoleCapture console;
    const ServiceStop stop = StopServiceAndWait(main.Name().c_str(), EnumerateTestDependents);
    EXPECT_TRUE(stop.stopped);
    EXPECT_TRUE(stop.wasActive);
    EXPECT_EQ(stop.stoppedDependents, (std::vector<std::wstring>{first.Name(), second.Name()}));
    for (TestService* service : {&main, &first, &second})
        EXPECT_EQ(service->State(), static_cast<DWORD>(SERVICE_STOPPED)) << Narrow(service->Name());

    RestoreService(main.Name().c_str(), stop);

    for (TestService* service : {&main, &first, &second})
        EXPECT_EQ(service->State(), static_cast<DWORD>(SERVICE_RUNNING)) << Narrow(service->Name());
    const Lines events = Events();
    ASSERT_EQ(events.size(), 9u);
    EXPECT_EQ(Lines(events.begin() + 3, events.end()),
              Lines({Event(first, "stop"), Event(second, "stop"), Event(main, "stop"), Event(main, "start"),
                     Event(second, "start"), Event(first, "start")}));
    const Lines started = {"Service start pending...\n", "Service started successfully.\n"};
    EXPECT_EQ(console.Lines(), Lines({"Service stopped successfully\n", started[0], started[1], started[0],
                                      started[1], started[0], started[1]}));
    const std::string mainName = Narrow(main.Name());
    EXPECT_EQ(log.Events(), Lines({"Service " + mainName + ": Service stopped successfully",
                                   "Service " + mainName + ": Service start pending...",
                                   "Service " + mainName + ": Service started successfully.",
                                   "Service " + Narrow(second.Name()) + ": Service start pending...",
                                   "Service " + Narrow(second.Name()) + ": Service started successfully.",
                                   "Service " + Narrow(first.Name()) + ": Service start pending...",
                                   "Service " + Narrow(first.Name()) + ": Service started successfully."}));
}

TEST_F(ServiceControlTest, AServiceThatWasNotRunningStaysStopped)
{
    TestService stopped(L"", m_log);
    // One that someone else was stopping when the stop came would have been stopped anyway.
    TestService stopping(L"stop-ms=1500 stop-hint=5000", m_log);
    ASSERT_TRUE(stopped && stopping);
    ASSERT_TRUE(stopping.Start());
    ASSERT_TRUE(stopping.WaitForState(SERVICE_RUNNING));
    ASSERT_TRUE(stopping.RequestStop());

    for (TestService* service : {&stopped, &stopping}) {
        SCOPED_TRACE(Narrow(service->Name()));
        qxt::test::RunLogCapture log;
        ConsoleCapture console;
        const ServiceStop stop = StopServiceAndWait(service->Name().c_str(), EnumerateTestDependents);
        EXPECT_TRUE(stop.stopped);
        EXPECT_FALSE(stop.wasActive);
        RestoreService(service->Name().c_str(), stop);

        const Lines lines = console.Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "Service was not running before; it stays stopped.\n");
        EXPECT_EQ(log.Events().back(),
                  "Service " + Narrow(service->Name()) + ": Service was not running before; it stays stopped.");
        EXPECT_EQ(service->State(), static_cast<DWORD>(SERVICE_STOPPED));
    }
    EXPECT_EQ(Events(), Lines({Event(stopping, "start"), Event(stopping, "stop")}));
}

TEST_F(ServiceControlTest, StoppingAStoppedServiceSendsNoStopRequest)
{
    TestService service(L"", m_log);
    ASSERT_TRUE(service);

    ConsoleCapture console;
    EXPECT_TRUE(StopServiceAndWait(service.Name().c_str(), EnumerateTestDependents).stopped);

    EXPECT_EQ(console.Lines(), Lines({"Service is already stopped.\n"}));
    EXPECT_EQ(g_enumerateCalls, 0);
    EXPECT_TRUE(Events().empty());
}

TEST_F(ServiceControlTest, StoppingARunningServiceWaitsUntilItHasStopped)
{
    // The real enumeration: a service without dependents.
    TestService service(L"stop-ms=1500 stop-hint=300", m_log);
    ASSERT_TRUE(service);
    ASSERT_TRUE(service.Start());
    ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING));

    ConsoleCapture console;
    EXPECT_TRUE(StopServiceAndWait(service.Name().c_str()).stopped);

    EXPECT_EQ(console.Lines(), Lines({"Service stopped successfully\n"}));
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(Events(), Lines({Event(service, "start"), Event(service, "stop")}));
}

TEST_F(ServiceControlTest, AnEarlierPendingStopIsWaitedForWithoutANewRequest)
{
    // Wait hint 5000 ms: a pause of 1000 ms between the queries.
    TestService service(L"stop-ms=2500 stop-hint=5000", m_log);
    ASSERT_TRUE(service);
    ASSERT_TRUE(service.Start());
    ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING));
    ASSERT_TRUE(service.RequestStop());
    ASSERT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOP_PENDING));

    ConsoleCapture console;
    const DWORD begin = ::GetTickCount();
    EXPECT_TRUE(StopServiceAndWait(service.Name().c_str(), EnumerateTestDependents).stopped);
    const DWORD took = ::GetTickCount() - begin;

    const Lines lines = console.Lines();
    ASSERT_GE(lines.size(), 2u);
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i], "Service stop pending...\n");
    EXPECT_EQ(lines.back(), "Service stopped successfully.\n");
    // One line per pause of a second until the stop of 2.5 s was over.
    EXPECT_EQ(lines.size() - 1, took / 1000);
    EXPECT_EQ(g_enumerateCalls, 0);
    EXPECT_EQ(Events(), Lines({Event(service, "start"), Event(service, "stop")}));
}

TEST_F(ServiceControlTest, ActiveDependentsAreStoppedFirstInTheirOrder)
{
    TestService main(L"stop-ms=300 stop-hint=100", m_log);
    TestService first(L"stop-ms=600 stop-hint=200", m_log, main.Name());
    TestService second(L"", m_log, main.Name());
    ASSERT_TRUE(main && first && second);
    for (TestService* service : {&main, &first, &second}) {
        ASSERT_TRUE(service->Start());
        ASSERT_TRUE(service->WaitForState(SERVICE_RUNNING));
    }
    g_dependents = {first.Name(), second.Name()};

    ConsoleCapture console;
    EXPECT_TRUE(StopServiceAndWait(main.Name().c_str(), EnumerateTestDependents).stopped);

    EXPECT_EQ(console.Lines(), Lines({"Service stopped successfully\n"}));
    EXPECT_EQ(g_enumerateCalls, 2);
    for (TestService* service : {&main, &first, &second})
        EXPECT_EQ(service->State(), static_cast<DWORD>(SERVICE_STOPPED)) << Narrow(service->Name());
    const Lines events = Events();
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(Lines(events.begin() + 3, events.end()),
              Lines({Event(first, "stop"), Event(second, "stop"), Event(main, "stop")}));
}

TEST_F(ServiceControlTest, ADependentThatCannotBeStoppedEndsTheDependentsButNotTheStop)
{
    TestService main(L"", m_log);
    TestService unstoppable(L"accept-stop=0", m_log, main.Name());
    TestService later(L"", m_log, main.Name());
    TestService missing(L"", m_log);  // deleted below, so it cannot be opened
    ASSERT_TRUE(main && unstoppable && later);
    for (TestService* service : {&main, &unstoppable, &later}) {
        ASSERT_TRUE(service->Start());
        ASSERT_TRUE(service->WaitForState(SERVICE_RUNNING));
    }

    static const struct {
        const char* label;
        std::vector<std::wstring> dependents;
    } kCases[] = {
        {"cannot be stopped", {unstoppable.Name(), later.Name()}},
        {"cannot be opened", {L"QxtNoSuchService", later.Name()}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(main.State(), static_cast<DWORD>(SERVICE_RUNNING));
        g_dependents = c.dependents;
        qxt::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        qxt::UniqueServiceHandle service(::OpenServiceW(manager.Get(), main.Name().c_str(), SERVICE_ALL_ACCESS));
        EXPECT_FALSE(StopDependentServices(service.Get(), manager.Get(), EnumerateTestDependents));
        EXPECT_EQ(unstoppable.State(), static_cast<DWORD>(SERVICE_RUNNING));
        EXPECT_EQ(later.State(), static_cast<DWORD>(SERVICE_RUNNING));
    }

    ConsoleCapture console;
    EXPECT_TRUE(StopServiceAndWait(main.Name().c_str(), EnumerateTestDependents).stopped);

    EXPECT_EQ(console.Lines(), Lines({"Service stopped successfully\n"}));
    EXPECT_EQ(main.State(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(unstoppable.State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(later.State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(Events().back(), Event(main, "stop"));
}

TEST_F(ServiceControlTest, DependentsAreFoundByTheRealEnumerationOrNotAtAll)
{
    TestService main(L"", m_log);
    ASSERT_TRUE(main);
    ASSERT_TRUE(main.Start());
    ASSERT_TRUE(main.WaitForState(SERVICE_RUNNING));
    qxt::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    qxt::UniqueServiceHandle service(::OpenServiceW(manager.Get(), main.Name().c_str(), SERVICE_ALL_ACCESS));

    // No dependents: the enumeration without a buffer succeeds.
    EXPECT_TRUE(StopDependentServices(service.Get(), manager.Get()));
    g_dependents.clear();
    EXPECT_TRUE(StopDependentServices(service.Get(), manager.Get(), EnumerateTestDependents));
    EXPECT_EQ(g_enumerateCalls, 1);
    // An enumeration that fails otherwise than for want of a buffer.
    g_enumerateError = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(StopDependentServices(service.Get(), manager.Get(), EnumerateTestDependents));
    EXPECT_EQ(main.State(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(ServiceControlTest, AMissingServiceIsReportedByBothOperations)
{
    ConsoleCapture console;
    EXPECT_FALSE(StopServiceAndWait(L"QxtNoSuchService").stopped);
    StartServiceAndWait(L"QxtNoSuchService");
    EXPECT_EQ(console.Lines(), Lines({"OpenService failed (1060)\n", "OpenService failed (1060)\n"}));
}

TEST_F(ServiceControlTest, RefusedRequestsAreReportedWithTheirError)
{
    // A running service that accepts no stop request.
    TestService unstoppable(L"accept-stop=0", m_log);
    ASSERT_TRUE(unstoppable);
    ASSERT_TRUE(unstoppable.Start());
    ASSERT_TRUE(unstoppable.WaitForState(SERVICE_RUNNING));
    // A service whose program is missing cannot start.
    TestService broken(L"", m_log, L"", L"Z:\\nonexistent\\QxtNoSuchProgram.exe");
    ASSERT_TRUE(broken);

    ConsoleCapture console;
    EXPECT_FALSE(StopServiceAndWait(unstoppable.Name().c_str(), EnumerateTestDependents).stopped);
    StartServiceAndWait(broken.Name().c_str());

    EXPECT_EQ(console.Lines(), Lines({"ControlService failed (1052)\n", "StartService failed (2)\n"}));
    EXPECT_EQ(unstoppable.State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(broken.State(), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServiceControlTest, StartingWaitsWhileTheServiceStarts)
{
    // The check point grows every 100 ms, so a wait hint shorter than the
    // start does not end the wait.
    TestService service(L"start-ms=2500 start-hint=800", m_log);
    ASSERT_TRUE(service);

    ConsoleCapture console;
    StartServiceAndWait(service.Name().c_str());

    EXPECT_EQ(console.Lines(), Lines({"Service start pending...\n", "Service started successfully.\n"}));
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(ServiceControlTest, StartingARunningServiceSendsNoStartRequest)
{
    TestService service(L"", m_log);
    ASSERT_TRUE(service);
    ASSERT_TRUE(service.Start());
    ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING));

    ConsoleCapture console;
    StartServiceAndWait(service.Name().c_str());

    EXPECT_EQ(console.Lines(), Lines({"Cannot start the service because it is already running\n"}));
    EXPECT_EQ(Events(), Lines({Event(service, "start")}));
}

TEST_F(ServiceControlTest, AStartThatStaysPendingEndsTheWaitAfterTheWaitHint)
{
    TestService service(L"start-ms=8000 start-hint=1500 start-progress=0 start-end=stopped exit-code=1053", m_log);
    ASSERT_TRUE(service);

    ConsoleCapture console;
    const DWORD begin = ::GetTickCount();
    StartServiceAndWait(service.Name().c_str());
    const DWORD took = ::GetTickCount() - begin;

    EXPECT_EQ(console.Lines(), Lines({"Service start pending...\n", "Service not started. \n", "  Current State: 2\n",
                                      "  Exit Code: 1053\n", "  Check Point: 1\n", "  Wait Hint: 1500\n"}));
    // Two pauses of a second: the first leaves 1000 <= 1500 ms without progress.
    EXPECT_GE(took, 2000u);
}

TEST_F(ServiceControlTest, StartingWaitsForAPendingStopThatAdvances)
{
    TestService service(L"stop-ms=2500 stop-hint=500", m_log);
    ASSERT_TRUE(service);
    ASSERT_TRUE(service.Start());
    ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING));
    ASSERT_TRUE(service.RequestStop());

    ConsoleCapture console;
    StartServiceAndWait(service.Name().c_str());

    EXPECT_EQ(console.Lines(), Lines({"Service start pending...\n", "Service started successfully.\n"}));
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(Events(), Lines({Event(service, "start"), Event(service, "stop"), Event(service, "start")}));
}

TEST_F(ServiceControlTest, StartingGivesUpOnAPendingStopWithoutProgress)
{
    TestService service(L"stop-ms=6000 stop-hint=1500 stop-progress=0", m_log);
    ASSERT_TRUE(service);
    ASSERT_TRUE(service.Start());
    ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING));
    ASSERT_TRUE(service.RequestStop());

    ConsoleCapture console;
    StartServiceAndWait(service.Name().c_str());

    EXPECT_EQ(console.Lines(), Lines({"Timeout waiting for service to stop\n"}));
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(Events(), Lines({Event(service, "start"), Event(service, "stop")}));
}

// 30 s each: the stop's own time limit.
TEST_F(ServiceControlTest, AStopThatTakesTooLongTimesOut)
{
    TestService service(L"stop-ms=70000 stop-hint=1000", m_log);
    ASSERT_TRUE(service);
    ASSERT_TRUE(service.Start());
    ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING));

    {
        ConsoleCapture console;
        const DWORD begin = ::GetTickCount();
        EXPECT_FALSE(StopServiceAndWait(service.Name().c_str(), EnumerateTestDependents).stopped);
        const DWORD took = ::GetTickCount() - begin;
        EXPECT_EQ(console.Lines(), Lines({"Wait timed out\n"}));
        EXPECT_GT(took, 30000u);
    }
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOP_PENDING));

    // Now the stop is an earlier one that is still pending.
    ConsoleCapture console;
    EXPECT_FALSE(StopServiceAndWait(service.Name().c_str(), EnumerateTestDependents).stopped);
    const Lines lines = console.Lines();
    ASSERT_GE(lines.size(), 2u);
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i], "Service stop pending...\n");
    EXPECT_EQ(lines.back(), "Service stop timed out.\n");
    EXPECT_EQ(Events(), Lines({Event(service, "start"), Event(service, "stop")}));
}

}  // namespace
