#include "framework/WorkerThreads.h"

#include "framework/Handles.h"

#include <vector>

namespace {

DWORD WINAPI RunWork(void* parameter)
{
    (*static_cast<const std::function<void()>*>(parameter))();
    return 0;
}

}  // namespace

unsigned RunOnThreads(unsigned count, const std::function<void()>& work, SIZE_T stackBytes)
{
    if (count > MAXIMUM_WAIT_OBJECTS)
        count = MAXIMUM_WAIT_OBJECTS;
    std::vector<qxt::UniqueKernelHandle> threads;
    std::vector<HANDLE> waits;
    for (unsigned i = 0; i < count; ++i) {
        qxt::UniqueKernelHandle thread(
            ::CreateThread(nullptr, stackBytes, RunWork, const_cast<std::function<void()>*>(&work),
                           stackBytes != 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, nullptr));
        if (!thread)
            continue;
        waits.push_back(thread.Get());
        threads.push_back(std::move(thread));
    }
    if (threads.empty()) {
        work();
        return 1;
    }
    // The threads use work until they end: never return before they have.
    if (::WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), TRUE, INFINITE) == WAIT_FAILED)
        for (HANDLE thread : waits)
            ::WaitForSingleObject(thread, INFINITE);
    return static_cast<unsigned>(threads.size());
}
