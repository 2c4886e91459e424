// The owning types of framework/Handles.h whose release rule is not simply
// "close what is not empty".
#include "framework/Handles.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <thread>

namespace {

// The apartment this thread is in, told by what a fresh initialisation answers.
HRESULT ProbeApartment(DWORD model)
{
    const HRESULT result = ::CoInitializeEx(nullptr, model);
    if (SUCCEEDED(result))
        ::CoUninitialize();
    return result;
}

TEST(ComInitialization, BalancesItsOwnInitialisationAndLeavesAnotherApartmentAlone)
{
    std::thread([] {
        {
            const qxt::ComInitialization com;
            EXPECT_EQ(com.Result(), S_OK);
            EXPECT_EQ(ProbeApartment(COINIT_APARTMENTTHREADED), S_FALSE) << "initialised while the guard lives";
        }
        EXPECT_EQ(ProbeApartment(COINIT_MULTITHREADED), S_OK) << "the guard's end uninitialised the thread";
    }).join();

    std::thread([] {
        ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            const qxt::ComInitialization com;
            EXPECT_EQ(com.Result(), RPC_E_CHANGED_MODE);
        }
        // The thread's own initialisation is still there: the guard did not undo it.
        EXPECT_EQ(ProbeApartment(COINIT_MULTITHREADED), S_FALSE);
        ::CoUninitialize();
    }).join();
}

TEST(UniqueSnapshot, AFailedSnapshotIsEmpty)
{
    // An unknown process id cannot be snapshot: the call answers INVALID_HANDLE_VALUE.
    qxt::UniqueSnapshot failed(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0xFFFFFFF0));
    EXPECT_FALSE(failed);
    qxt::UniqueSnapshot taken(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    EXPECT_TRUE(taken);
}

}  // namespace
