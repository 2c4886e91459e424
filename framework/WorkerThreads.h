// A few threads that run the same work at once, for a caller that waits.
#pragma once

#include <windows.h>

#include <functional>

// Starts count threads (at most MAXIMUM_WAIT_OBJECTS) that each call work()
// once, and returns when every one has returned. A thread that cannot be
// created leaves its share to the others; when none can be, work() runs
// once on the calling thread. Returns the number of threads that ran work().
// stackBytes reserves each thread's stack (0: the executable's default).
unsigned RunOnThreads(unsigned count, const std::function<void()>& work, SIZE_T stackBytes = 0);
