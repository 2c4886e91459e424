// The threads a run reads and fetches on.
#pragma once

#include <windows.h>

// The stack each reading or transfer thread reserves: they wait, read and
// hash with buffers on the heap, and several run at once (under Wine a
// thread's whole default stack stays resident).
inline constexpr SIZE_T kThreadStackBytes = 256 * 1024;

inline unsigned ProcessorCount()
{
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    return system.dwNumberOfProcessors != 0 ? system.dwNumberOfProcessors : 1;
}
